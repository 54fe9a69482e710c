// A code page through the system's own tables (MultiByteToWideChar and WideCharToMultiByte), and
// Unicode case mapping by CharUpperBuffW and CharLowerBuffW.
#include "host/win32/win32_api.h"

#include "host/posix/codepage.h"

namespace sx::host {

char16_t UnicodeUpper(char16_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
  if (c >= 0xD800 && c < 0xE000) return c;
  wchar_t w = static_cast<wchar_t>(c);
  CharUpperBuffW(&w, 1);
  return static_cast<char16_t>(w);
}

char16_t UnicodeLower(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
  if (c >= 0xD800 && c < 0xE000) return c;
  wchar_t w = static_cast<wchar_t>(c);
  CharLowerBuffW(&w, 1);
  return static_cast<char16_t>(w);
}

CodePage::CodePage(uint32_t number) : number_(number) {
  CPINFO info;
  if (!IsValidCodePage(number) || !GetCPInfo(number, &info)) {
    number_ = 1252;
    GetCPInfo(number_, &info);
  }
  iconvName_ = "CP" + std::to_string(number_);
  singleByte_ = info.MaxCharSize == 1;
  for (int b = 0; b < 256; ++b) {
    const char in = static_cast<char>(b);
    wchar_t out = 0;
    // Lead bytes and bytes the code page leaves undefined map to the same code point.
    const bool lead = !singleByte_ && IsDBCSLeadByteEx(number_, static_cast<BYTE>(b));
    const int n = lead ? 0 : MultiByteToWideChar(number_, MB_ERR_INVALID_CHARS, &in, 1, &out, 1);
    toUnicode_[b] = n == 1 ? static_cast<char16_t>(out) : static_cast<char16_t>(b);
  }
  BuildTables();
}

std::u16string CodePage::MultiByteToUtf16(std::string_view text) const {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(number_, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(number_, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return std::u16string(wide.begin(), wide.end());
}

std::string CodePage::MultiByteFromUtf16(std::u16string_view text) const {
  if (text.empty()) return {};
  const std::wstring wide(text.begin(), text.end());
  const int n = WideCharToMultiByte(number_, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(number_, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace sx::host
