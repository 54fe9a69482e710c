// The version of the running Windows and its name.
#pragma once

#include <cstdint>
#include <string>

namespace sx {

enum TOSKind : uint8_t {
  osWin32s = 0,
  osWin95 = 1,
  osWin98 = 2,
  osWinNT = 3,
  osWin2000 = 4,
  osWinMe = 5,
  osWinXP = 6,
};

struct TOSVersion {
  TOSKind Kind = osWinNT;
  uint32_t Major = 0;
  uint32_t Minor = 0;
  std::string VersionText;  // "4.10", "5.0", "5.01"
  uint32_t Build = 0;       // only the low 16 bits on the Windows 9x platform
  std::string ServicePack;
  std::string Name;  // "Windows XP 5.01.2600 Service Pack 2"
};

// The version of the machine the current host simulates (or runs on).
TOSVersion GetOSVersion();

// The version of the running system, taken once per host.
const TOSVersion& OSVersion();

// True on the Windows 9x platform (95, 98, Me).
bool IsWin9x();

}  // namespace sx
