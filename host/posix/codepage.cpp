#include "host/posix/codepage.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <mutex>

namespace sx::host {
namespace {

// RAII for an iconv descriptor.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

locale_t UnicodeLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return loc;
}

}  // namespace

char16_t UnicodeUpper(char16_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
  locale_t loc = UnicodeLocale();
  if (!loc || (c >= 0xD800 && c < 0xE000)) return c;
  wint_t u = towupper_l(static_cast<wint_t>(c), loc);
  return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

char16_t UnicodeLower(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
  locale_t loc = UnicodeLocale();
  if (!loc || (c >= 0xD800 && c < 0xE000)) return c;
  wint_t u = towlower_l(static_cast<wint_t>(c), loc);
  return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

CodePage::CodePage(uint32_t number) : number_(number) {
  iconvName_ = "CP" + std::to_string(number);
  {
    Iconv probe("UTF-16LE", iconvName_.c_str());
    if (!probe.ok()) {
      number_ = 1252;
      iconvName_ = "CP1252";
    }
  }
  Iconv cd("UTF-16LE", iconvName_.c_str());
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    char16_t outUnit[4] = {};
    char* inp = &in;
    size_t inLeft = 1;
    char* outp = reinterpret_cast<char*>(outUnit);
    size_t outLeft = sizeof(outUnit);
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    size_t r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
    if (r == static_cast<size_t>(-1) && errno == EINVAL) {
      singleByte_ = false;  // a lead byte of a double-byte code page
    }
    // Bytes the code page leaves undefined map to the same code point, as Windows does.
    toUnicode_[b] = (r == static_cast<size_t>(-1) || outLeft == sizeof(outUnit))
                        ? static_cast<char16_t>(b)
                        : outUnit[0];
  }
  BuildTables();
}

std::u16string CodePage::MultiByteToUtf16(std::string_view text) const {
  Iconv cd("UTF-16LE", iconvName_.c_str());
  std::u16string out;
  std::string buffer(text.size() * 2 + 8, '\0');
  char* inp = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outp = buffer.data();
    size_t outLeft = buffer.size();
    size_t r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
    size_t produced = buffer.size() - outLeft;
    for (size_t i = 0; i + 1 < produced; i += 2)
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[i]) |
                                          (static_cast<unsigned char>(buffer[i + 1]) << 8)));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.push_back(u'?');  // an invalid or cut-off sequence: skip one byte
      ++inp;
      --inLeft;
    }
  }
  return out;
}

std::string CodePage::MultiByteFromUtf16(std::u16string_view text) const {
  Iconv cd(iconvName_.c_str(), "UTF-16LE");
  std::string out;
  std::string buffer(text.size() * 2 + 8, '\0');
  char* inp = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
  size_t inLeft = text.size() * 2;
  while (inLeft > 0) {
    char* outp = buffer.data();
    size_t outLeft = buffer.size();
    size_t r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.push_back('?');
      size_t skip = inLeft >= 2 ? 2 : inLeft;
      inp += skip;
      inLeft -= skip;
    }
  }
  return out;
}

}  // namespace sx::host
