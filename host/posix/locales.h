// The locales a simulated machine knows: abbreviation, language name, code pages, character set
// and decimal separator, looked up by abbreviation ("DEU") or LCID.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/host.h"

namespace sx::host {

std::optional<LocaleInfo> FindLocale(std::string_view abbreviationOrLcid);
std::optional<LocaleInfo> FindLocaleByLcid(uint32_t lcid);
// The decimal separator a locale uses by default.
std::string DefaultDecimalSeparator(const LocaleInfo& locale);

}  // namespace sx::host
