// Code page texts that do not depend on the system: UTF-8 and UTF-16, and the single-byte tables
// of a code page once its bytes are known (codepage.cpp on POSIX, codepage_win32.cpp on Windows
// fill them).
#include "host/posix/codepage.h"

namespace sx::host {

size_t AppendUtf8Character(std::string_view s, size_t i, std::u16string& out) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  char32_t cp = 0xFFFD;
  size_t len = 1;
  if (c < 0x80) {
    cp = c;
  } else if ((c >> 5) == 6 || (c >> 4) == 14 || (c >> 3) == 30) {
    len = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
    char32_t v = c & (0x3F >> (len - 1));
    bool ok = i + len <= s.size();
    for (size_t k = 1; ok && k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc >> 6) != 2) ok = false;
      v = (v << 6) | (cc & 0x3F);
    }
    static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && v >= kMin[len] && v <= 0x10FFFF && !(v >= 0xD800 && v < 0xE000)) {
      cp = v;
    } else {
      len = 1;
    }
  }
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
  return len;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) i += AppendUtf8Character(s, i, out);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

void CodePage::BuildTables() {
  if (singleByte_) {
    fromUnicode_.assign(65536, 0);
    for (int b = 255; b >= 1; --b) fromUnicode_[toUnicode_[b]] = static_cast<uint8_t>(b);
  }
  for (int b = 0; b < 256; ++b) {
    upper_[b] = lower_[b] = static_cast<uint8_t>(b);
    if (!singleByte_ && b >= 0x80) continue;
    char16_t u = UnicodeUpper(toUnicode_[b]);
    char16_t l = UnicodeLower(toUnicode_[b]);
    if (singleByte_) {
      if (fromUnicode_[u]) upper_[b] = fromUnicode_[u];
      if (fromUnicode_[l]) lower_[b] = fromUnicode_[l];
    } else {
      upper_[b] = static_cast<uint8_t>(u);
      lower_[b] = static_cast<uint8_t>(l);
    }
  }
}

CodePage::~CodePage() = default;

std::u16string CodePage::ToUtf16(std::string_view text) const {
  if (!singleByte_) return MultiByteToUtf16(text);
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = toUnicode_[static_cast<unsigned char>(text[i])];
  return out;
}

std::string CodePage::FromUtf16(std::u16string_view text) const {
  if (!singleByte_) return MultiByteFromUtf16(text);
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    uint8_t b = fromUnicode_[c];
    out[i] = (b || c == 0) ? static_cast<char>(b) : '?';
  }
  return out;
}

std::string CodePage::ToUtf8(std::string_view text) const {
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(text);
  return Utf16ToUtf8(ToUtf16(text));
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
  bool ascii = true;
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(utf8);
  return FromUtf16(Utf8ToUtf16(utf8));
}

std::string CodePage::Upper(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(upper_[static_cast<unsigned char>(c)]);
  return out;
}

std::string CodePage::Lower(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(lower_[static_cast<unsigned char>(c)]);
  return out;
}

}  // namespace sx::host
