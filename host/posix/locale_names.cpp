#include "host/posix/locale_names.h"

#include <cstdio>

namespace sx::host {
namespace {

struct LocaleName {
  uint32_t lcid;
  const char* name;
};

constexpr LocaleName kNames[] = {
    {0x0409, "English (United States)"}, {0x0809, "English (United Kingdom)"},
    {0x0407, "German (Germany)"},        {0x040C, "French (France)"},
    {0x0C0A, "Spanish (Spain)"},         {0x0410, "Italian (Italy)"},
    {0x0413, "Dutch (Netherlands)"},     {0x0416, "Portuguese (Brazil)"},
    {0x0816, "Portuguese (Portugal)"},   {0x041D, "Swedish (Sweden)"},
    {0x0406, "Danish (Denmark)"},        {0x0414, "Norwegian (Bokmal) (Norway)"},
    {0x040B, "Finnish (Finland)"},       {0x0419, "Russian (Russia)"},
    {0x0422, "Ukrainian (Ukraine)"},     {0x0402, "Bulgarian (Bulgaria)"},
    {0x0423, "Belarusian (Belarus)"},    {0x0415, "Polish (Poland)"},
    {0x0405, "Czech (Czech Republic)"},  {0x041B, "Slovak (Slovakia)"},
    {0x040E, "Hungarian (Hungary)"},     {0x0424, "Slovenian (Slovenia)"},
    {0x041A, "Croatian (Croatia)"},      {0x0418, "Romanian (Romania)"},
    {0x0408, "Greek (Greece)"},          {0x041F, "Turkish (Turkey)"},
    {0x040D, "Hebrew (Israel)"},         {0x0401, "Arabic (Saudi Arabia)"},
    {0x0425, "Estonian (Estonia)"},      {0x0426, "Latvian (Latvia)"},
    {0x0427, "Lithuanian (Lithuania)"},  {0x042A, "Vietnamese (Vietnam)"},
    {0x041E, "Thai (Thailand)"},         {0x0411, "Japanese (Japan)"},
    {0x0804, "Chinese (PRC)"},           {0x0404, "Chinese (Taiwan)"},
    {0x0412, "Korean (Korea)"},
};

}  // namespace

std::string FullLanguageName(uint32_t lcid) {
  for (const auto& entry : kNames)
    if (entry.lcid == lcid) return entry.name;
  char text[32];
  std::snprintf(text, sizeof text, "Language 0x%04X", lcid);
  return text;
}

}  // namespace sx::host
