#include "host/posix/locales.h"
#include "host/posix/locale_names.h"

#include <strings.h>

#include <cstdlib>

namespace sx::host {
namespace {

struct KnownLocale {
  uint32_t lcid;
  const char* abbreviation;
  const char* language;
  uint32_t ansi, oem, charset;
  const char* decimal;
};

// GDI character sets: ANSI 0, SHIFTJIS 128, HANGUL 129, GB2312 134, CHINESEBIG5 136, GREEK 161,
// TURKISH 162, VIETNAMESE 163, HEBREW 177, ARABIC 178, BALTIC 186, RUSSIAN 204, THAI 222,
// EASTEUROPE 238.
constexpr KnownLocale kLocales[] = {
    {0x0409, "ENU", "English", 1252, 437, 0, "."},
    {0x0809, "ENG", "English", 1252, 850, 0, "."},
    {0x0407, "DEU", "German", 1252, 850, 0, ","},
    {0x040C, "FRA", "French", 1252, 850, 0, ","},
    {0x0C0A, "ESN", "Spanish", 1252, 850, 0, ","},
    {0x0410, "ITA", "Italian", 1252, 850, 0, ","},
    {0x0413, "NLD", "Dutch", 1252, 850, 0, ","},
    {0x0416, "PTB", "Portuguese", 1252, 850, 0, ","},
    {0x0816, "PTG", "Portuguese", 1252, 850, 0, ","},
    {0x041D, "SVE", "Swedish", 1252, 850, 0, ","},
    {0x0406, "DAN", "Danish", 1252, 850, 0, ","},
    {0x0414, "NOR", "Norwegian", 1252, 850, 0, ","},
    {0x040B, "FIN", "Finnish", 1252, 850, 0, ","},
    {0x0419, "RUS", "Russian", 1251, 866, 204, ","},
    {0x0422, "UKR", "Ukrainian", 1251, 866, 204, ","},
    {0x0402, "BGR", "Bulgarian", 1251, 866, 204, ","},
    {0x0423, "BEL", "Belarusian", 1251, 866, 204, ","},
    {0x0415, "PLK", "Polish", 1250, 852, 238, ","},
    {0x0405, "CSY", "Czech", 1250, 852, 238, ","},
    {0x041B, "SKY", "Slovak", 1250, 852, 238, ","},
    {0x040E, "HUN", "Hungarian", 1250, 852, 238, ","},
    {0x0424, "SLV", "Slovenian", 1250, 852, 238, ","},
    {0x041A, "HRV", "Croatian", 1250, 852, 238, ","},
    {0x0418, "ROM", "Romanian", 1250, 852, 238, ","},
    {0x0408, "ELL", "Greek", 1253, 737, 161, ","},
    {0x041F, "TRK", "Turkish", 1254, 857, 162, ","},
    {0x040D, "HEB", "Hebrew", 1255, 862, 177, "."},
    {0x0401, "ARA", "Arabic", 1256, 720, 178, "."},
    {0x0425, "ETI", "Estonian", 1257, 775, 186, ","},
    {0x0426, "LVI", "Latvian", 1257, 775, 186, ","},
    {0x0427, "LTH", "Lithuanian", 1257, 775, 186, ","},
    {0x042A, "VIT", "Vietnamese", 1258, 1258, 163, ","},
    {0x041E, "THA", "Thai", 874, 874, 222, "."},
    {0x0411, "JPN", "Japanese", 932, 932, 128, "."},
    {0x0804, "CHS", "Chinese", 936, 936, 134, "."},
    {0x0404, "CHT", "Chinese", 950, 950, 136, "."},
    {0x0412, "KOR", "Korean", 949, 949, 129, "."},
};

LocaleInfo ToInfo(const KnownLocale& k) {
  LocaleInfo info;
  info.lcid = k.lcid;
  info.abbreviation = k.abbreviation;
  info.languageName = k.language;
  info.fullLanguageName = FullLanguageName(k.lcid);
  info.ansiCodePage = k.ansi;
  info.oemCodePage = k.oem;
  info.charset = k.charset;
  return info;
}

}  // namespace

std::optional<LocaleInfo> FindLocaleByLcid(uint32_t lcid) {
  for (const auto& k : kLocales)
    if (k.lcid == lcid) return ToInfo(k);
  // A sub-language we do not list: take the first locale of the same primary language.
  for (const auto& k : kLocales)
    if ((k.lcid & 0x3FF) == (lcid & 0x3FF)) {
      LocaleInfo info = ToInfo(k);
      info.lcid = lcid;
      return info;
    }
  return std::nullopt;
}

std::optional<LocaleInfo> FindLocale(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (const auto& k : kLocales)
    if (text.size() == 3 && strncasecmp(text.data(), k.abbreviation, 3) == 0) return ToInfo(k);
  // An LCID: decimal ("1031"), "0x0407" or the registry's eight hex digits ("00000407").
  std::string s(text);
  char* end = nullptr;
  unsigned long lcid;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
    lcid = std::strtoul(s.c_str() + 2, &end, 16);
  else if (s.size() == 8)
    lcid = std::strtoul(s.c_str(), &end, 16);
  else
    lcid = std::strtoul(s.c_str(), &end, 10);
  if (!end || *end != '\0' || lcid == 0 || lcid > 0xFFFFFFFFul) return std::nullopt;
  return FindLocaleByLcid(static_cast<uint32_t>(lcid));
}

std::string DefaultDecimalSeparator(const LocaleInfo& locale) {
  for (const auto& k : kLocales)
    if ((k.lcid & 0x3FF) == (locale.lcid & 0x3FF)) return k.decimal;
  return ".";
}

}  // namespace sx::host
