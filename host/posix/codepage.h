// Conversion between a Windows code page and Unicode, and case mapping by a code page.
//
// Single-byte code pages (1250-1258, 437, 850, 866, ...) are served from tables built once with
// iconv (MultiByteToWideChar on Windows); multi-byte ones (932, 936, 949, 950) go through the
// system on every call. Characters a code
// page cannot hold become '?', as WideCharToMultiByte does. Safe to share across threads once made.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sx::host {

class CodePage {
 public:
  // Falls back to 1252 when iconv does not know the code page.
  explicit CodePage(uint32_t number);
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  uint32_t Number() const { return number_; }
  bool SingleByte() const { return singleByte_; }

  std::u16string ToUtf16(std::string_view text) const;
  std::string FromUtf16(std::u16string_view text) const;
  std::string ToUtf8(std::string_view text) const;
  std::string FromUtf8(std::string_view utf8) const;

  // Upper and lower case of every character the code page holds, by Unicode's simple mapping.
  std::string Upper(std::string_view text) const;
  std::string Lower(std::string_view text) const;

 private:
  // Multi-byte code pages convert through the system on every call.
  std::u16string MultiByteToUtf16(std::string_view text) const;
  std::string MultiByteFromUtf16(std::u16string_view text) const;
  // The reverse table and the case tables, from toUnicode_ and singleByte_.
  void BuildTables();

  uint32_t number_;
  std::string iconvName_;
  bool singleByte_ = true;
  char16_t toUnicode_[256] = {};
  std::vector<uint8_t> fromUnicode_;  // 65536 entries; 0 = not representable (except U+0000)
  uint8_t upper_[256] = {}, lower_[256] = {};
};

// Decodes the UTF-8 character at `text[i]`, appends it to `out` as UTF-16 and returns the number
// of bytes it took; an invalid byte becomes U+FFFD and takes one byte. `i` must be in the text.
size_t AppendUtf8Character(std::string_view text, size_t i, std::u16string& out);

// UTF-8 <-> UTF-16 without any code page. Invalid UTF-8 bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Simple Unicode case mapping of one UTF-16 unit (towupper/towlower of a full Unicode locale).
char16_t UnicodeUpper(char16_t c);
char16_t UnicodeLower(char16_t c);

}  // namespace sx::host
