#include "expr/expr_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/host.h"
#include "util/number_text.h"

namespace sx {

namespace {

constexpr int kSignificantDigits = 15;
// Decimal exponents (of the first significant digit) written in fixed notation.
constexpr int kLowestFixedExponent = -4;
constexpr int kHighestFixedExponent = kSignificantDigits - 1;

}  // namespace

long double ExprNumber(std::string_view text) {
  // Plain integers (the usual case in conditions) are read directly; they are exact.
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
  if (text.size() > i && text.size() - i <= 18) {
    int64_t value = 0;
    size_t k = i;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) value = value * 10 + (text[k] - '0');
    if (k == text.size()) return negative ? -static_cast<long double>(value) : value;
  }
  return TextToNumber(text, 0.0L);
}

std::string NumberText(long double value, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";  // -0 as well
  // Whole numbers of up to 15 digits are written as they are.
  if (std::fabs(value) < 1e15L && value == std::trunc(value)) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(value)).ptr;
    return std::string(digits, end);
  }

  // The value rounded to 15 significant digits: "d.dddddddddddddde[+-]x".
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*Le", kSignificantDigits - 1, value);
  const char* p = buffer;
  const bool negative = *p == '-';
  if (negative) ++p;
  std::string digits;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text;
  if (negative) text += '-';
  if (exponent >= kLowestFixedExponent && exponent <= kHighestFixedExponent) {
    if (exponent >= 0) {
      const size_t whole = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        text += digits;
        text.append(whole - digits.size(), '0');
      } else {
        text.append(digits, 0, whole);
        text += decimalSeparator;
        text.append(digits, whole);
      }
    } else {
      text += '0';
      text += decimalSeparator;
      text.append(static_cast<size_t>(-exponent - 1), '0');
      text += digits;
    }
    return text;
  }
  text += digits[0];
  if (digits.size() > 1) {
    text += decimalSeparator;
    text.append(digits, 1);
  }
  text += 'E';
  if (exponent < 0) text += '-';
  text += std::to_string(std::abs(exponent));
  return text;
}

char LocaleDecimalSeparator() {
  const std::string& separator = host::CurrentHost().Facts().decimalSeparator;
  return separator.empty() ? '.' : separator.front();
}

std::string SignText(int sign) {
  if (sign < 0) return "-1";
  return sign > 0 ? "1" : "0";
}

int32_t ExprInteger(std::string_view text, int32_t def) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i < text.size() && text[i] == '$') {
    ++i;
    if (i == text.size() || text.size() - i > 8) return def;
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else return def;
      value = value * 16 + static_cast<uint32_t>(digit);
    }
    // Hexadecimal digits give the 32-bit pattern, as Windows' own parsers do.
    const int32_t pattern = static_cast<int32_t>(value);
    return negative ? static_cast<int32_t>(0u - value) : pattern;
  }
  if (i == text.size()) return def;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return def;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return def;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return def;
  return static_cast<int32_t>(value);
}

}  // namespace sx
