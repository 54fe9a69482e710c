#include "xml/xml_escape.h"

#include <algorithm>

#include "xml/xml_text.h"

namespace sx {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsEncodedByte(unsigned char c, char quote) {
  return c < 0x20 || c == '&' || (c >= 0x7F && c <= 0xBF) || c == static_cast<unsigned char>(quote);
}

}  // namespace

std::string DecodeAttributeValue(std::string_view value) {
  if (value.find('&') == std::string_view::npos) return std::string(TrimBlanks(value));
  // The part of the value right of the scan position is kept reversed in `rev`, so that its first
  // characters are at the back: replacing "&" plus the five characters after it is popping five
  // characters and pushing one.
  std::string rev;
  rev.reserve(value.size());
  auto suffixAt = [&rev](std::size_t i) { return rev[rev.size() - 1 - i]; };
  for (std::size_t k = value.size(); k-- > 0;) {
    char c = value[k];
    if (c == '&' && rev.size() >= 5 && suffixAt(0) == '#' && suffixAt(1) == 'x') {
      int high = HexDigit(suffixAt(2)), low = HexDigit(suffixAt(3));
      char decoded = (high < 0 || low < 0) ? '\0' : static_cast<char>(high * 16 + low);
      rev.resize(rev.size() - 5);
      rev.push_back(decoded);
    } else {
      rev.push_back(c);
    }
  }
  std::reverse(rev.begin(), rev.end());
  std::string_view trimmed = TrimBlanks(rev);
  return std::string(trimmed);
}

std::string EncodeAttributeValue(std::string_view value, char quote) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    auto code = static_cast<unsigned char>(c);
    if (IsEncodedByte(code, quote)) {
      out += "&#x";
      out += kDigits[code >> 4];
      out += kDigits[code & 15];
      out += ';';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace sx
