// The enumerations of the project database. Their value names (ordinal 0 first) are also their
// XML vocabulary: written in lower case, without the prefix a property declares ("scMax" is
// written "max"); enumerations without a prefix are written as their names.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "xml/xml_enum_set.h"

namespace sx {

enum class TsxInstallAction : std::uint8_t { add, remove };
inline std::span<const std::string_view> EnumValueNames(TsxInstallAction) {
  static constexpr std::array<std::string_view, 2> kNames{"add", "remove"};
  return kNames;
}

enum class TsxFlag : std::uint8_t {
  dont_log, no_version, reg_server, reg_font, dont_ask, dont_overwrite, external, shared,
  dont_wait, check_exitcode, encrypt, add_path, sys_envvar,
};
inline std::span<const std::string_view> EnumValueNames(TsxFlag) {
  static constexpr std::array<std::string_view, 13> kNames{
      "dont_log", "no_version", "reg_server", "reg_font",       "dont_ask", "dont_overwrite", "external",
      "shared",   "dont_wait",  "check_exitcode", "encrypt", "add_path", "sys_envvar"};
  return kNames;
}
using TsxFlags = TEnumSet<TsxFlag>;

// Registry value types; written "str", "int", "bin", "mstr".
enum class TsxRegType : std::uint8_t { rtStr, rtInt, rtBin, rtMStr };
inline std::span<const std::string_view> EnumValueNames(TsxRegType) {
  static constexpr std::array<std::string_view, 4> kNames{"str", "int", "bin", "mstr"};
  return kNames;
}

enum class TsxShowCmd : std::uint8_t { scNormal, scMin, scMax, scHide };
inline std::span<const std::string_view> EnumValueNames(TsxShowCmd) {
  static constexpr std::array<std::string_view, 4> kNames{"scNormal", "scMin", "scMax", "scHide"};
  return kNames;
}

enum class TsxWhenStart : std::uint8_t {
  after_install, before_install, before_uninstall, after_uninstall, before_dialogs,
};
inline std::span<const std::string_view> EnumValueNames(TsxWhenStart) {
  static constexpr std::array<std::string_view, 5> kNames{
      "after_install", "before_install", "before_uninstall", "after_uninstall", "before_dialogs"};
  return kNames;
}

enum class TsxDSType : std::uint8_t { dstUser, dstSystem };
inline std::span<const std::string_view> EnumValueNames(TsxDSType) {
  static constexpr std::array<std::string_view, 2> kNames{"dstUser", "dstSystem"};
  return kNames;
}

enum class TsxVarType : std::uint8_t { vtNormal, vtReg, vtIni, vtEnvVar };
inline std::span<const std::string_view> EnumValueNames(TsxVarType) {
  static constexpr std::array<std::string_view, 4> kNames{"vtNormal", "vtReg", "vtIni", "vtEnvVar"};
  return kNames;
}

enum class TsxInstallState : std::uint8_t {
  isUnknown, isRunAppBeforeDialogs, isRunAppBeforeInstall, isRegServers, isRunAppAfterInstall,
};
inline std::span<const std::string_view> EnumValueNames(TsxInstallState) {
  static constexpr std::array<std::string_view, 5> kNames{
      "isUnknown", "isRunAppBeforeDialogs", "isRunAppBeforeInstall", "isRegServers",
      "isRunAppAfterInstall"};
  return kNames;
}

}  // namespace sx
