#include "util/number_text.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace sx {

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Skips leading spaces and one sign; returns true for "-".
bool TakeSpacesAndSign(std::string_view& text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  return negative;
}

}  // namespace

long double TextToNumber(std::string_view text, long double fallback) {
  const bool negative = TakeSpacesAndSign(text);

  // Check the whole form first: from_chars alone would accept a prefix, "inf" or "nan".
  size_t i = 0;
  size_t intDigits = 0, leadingZeros = 0, fracDigits = 0, fracZeros = 0;
  bool significant = false;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++intDigits) {
    if (!significant && text[i] == '0') ++leadingZeros; else significant = true;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++fracDigits) {
      if (!significant && text[i] == '0') ++fracZeros; else significant = true;
    }
  }
  if (intDigits + fracDigits == 0) return fallback;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    const size_t exponentStart = i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (i == exponentStart) return fallback;
    if (negativeExponent) exponent = -exponent;
  }
  if (i != text.size()) return fallback;
  if (!significant) return negative ? -0.0L : 0.0L;

  long double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Decimal magnitude of the first significant digit decides between overflow and underflow.
    const long magnitude = intDigits > leadingZeros
                               ? static_cast<long>(intDigits - leadingZeros) + exponent
                               : exponent - static_cast<long>(fracZeros);
    if (magnitude > 0) return fallback;
    return negative ? -0.0L : 0.0L;
  }
  if (error != std::errc() || end != text.data() + text.size()) return fallback;
  return negative ? -value : value;
}

uint32_t ParseUInt(std::string_view text, uint32_t fallback) {
  const bool negative = TakeSpacesAndSign(text);
  if (text.empty()) return fallback;
  constexpr uint64_t kUnsignedMax = std::numeric_limits<uint32_t>::max();
  uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return fallback;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > kUnsignedMax) return fallback;  // beyond every 32-bit reading
  }
  if (negative) {
    // -2147483648 is the smallest signed value; its pattern is 0x80000000.
    if (value > uint64_t{1} << 31) return fallback;
    return static_cast<uint32_t>(-value);  // two's complement pattern, modulo 2^32
  }
  return static_cast<uint32_t>(value);
}

std::string UIntToStr(uint32_t value) { return std::to_string(value); }

int32_t HexToInt(std::string_view text) {
  // The text is taken as it would be with a "$" put in front unless it holds one: only then may a
  // sign stand before the "$".
  bool negative = false;
  if (text.find('$') != std::string_view::npos) {
    negative = TakeSpacesAndSign(text);
    if (text.empty() || text.front() != '$') return 0;
    text.remove_prefix(1);
  }
  if (text.empty()) return 0;
  uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return 0;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return 0;
  }
  uint32_t pattern = static_cast<uint32_t>(value);
  if (negative) pattern = 0u - pattern;
  return static_cast<int32_t>(pattern);
}

std::string IntToHex(uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string result;
  do {
    result.insert(result.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (digits > 0 && result.size() < static_cast<size_t>(digits)) {
    result.insert(0, static_cast<size_t>(digits) - result.size(), '0');
  }
  return result;
}

std::string IntToBase(int64_t value, int length, int base) {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  if (value < 0 || base < 2 || base > 36) return {};
  std::string result;
  do {
    result.insert(result.begin(), kDigits[value % base]);
    value /= base;
  } while (value != 0);
  if (length > 0 && result.size() < static_cast<size_t>(length)) {
    result.insert(0, static_cast<size_t>(length) - result.size(), '0');
  }
  return result;
}

int Sign(long double value) { return value > 0 ? 1 : value < 0 ? -1 : 0; }

}  // namespace sx
