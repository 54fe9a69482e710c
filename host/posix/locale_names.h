// The full names of the locales a simulated machine knows (LOCALE_SLANGUAGE), by LCID.
#pragma once

#include <cstdint>
#include <string>

namespace sx::host {

// "German (Germany)"; for an LCID not listed, "Language 0x0C07".
std::string FullLanguageName(uint32_t lcid);

}  // namespace sx::host
