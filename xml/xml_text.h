// Small text helpers shared by the XML reader, writer and object mapping.
#pragma once

#include <string_view>

namespace sx {

// True for the bytes that trimming removes: every code up to and including space (0x20).
constexpr bool IsTrimmedByte(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The text without leading and trailing characters up to space.
constexpr std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsTrimmedByte(text[begin])) ++begin;
  while (end > begin && IsTrimmedByte(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Name characters of elements and attributes: "-", digits, ASCII letters and "_".
constexpr bool IsXMLNameChar(char c) {
  return c == '-' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

}  // namespace sx
