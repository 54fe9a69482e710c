// A registry value captured before a change, so that rollback restores it byte for byte.
//
// The value is kept in TInstallReg's OldType and OldValue. Where the textual form of the registry
// functions (platform/reg_paths.h) gives back the same bytes, OldType is the type code and
// OldValue that text, as older saved lists hold them. Where text would lose something (a string
// without its terminating zero or with one inside, a list holding CR or LF or an empty string, a
// DWORD of another length, REG_QWORD and every other type), OldType carries kRegRawHexFlag beside
// the type code and OldValue holds the raw bytes as hexadecimal digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

class TInstallReg;

inline constexpr std::int32_t kRegRawHexFlag = 0x40000000;

// Fills Key, Param, Existed, OldType and OldValue from the value as it is now.
void CaptureRegValue(TInstallReg& action, std::string_view keyPath, std::string_view valueName);

// The bytes and the type code that OldType and OldValue stand for.
struct TRegBytes {
  std::uint32_t type = 0;
  std::string data;
};
TRegBytes RegBytesOf(std::int32_t oldType, std::string_view oldValue);
// The OldType and OldValue pair of raw bytes.
void RegTextOf(std::uint32_t type, std::string_view data, std::int32_t& oldType, std::string& oldValue);

}  // namespace sx
