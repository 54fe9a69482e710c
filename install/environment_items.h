// The environment phase: the environment variables of the project and of its packages, made
// persistent on the machine (the registry on Windows NT, C:\autoexec.bat on Windows 9x).
#pragma once

#include <string>
#include <string_view>

namespace sx {

class TXMLObject;
class TsxVariables;

// InstallEnvVars for the project's variables, then for each package's, stopping at the first
// failure. When a variable was set: one WM_WININICHANGE "Environment" broadcast on Windows NT,
// the variable Reboot set on Windows 9x.
bool InstallEnvironment();
// Sets every environment variable (VarType vtEnvVar) of the list whose condition holds, expanded
// in `container`, recording a TInstallEnvVar for each. `anySet` becomes true when one was set.
// False (without a message) when a variable could not be set.
bool InstallEnvVars(TXMLObject* container, TsxVariables& variables, bool& anySet);

// The list split at ";", items trimmed, empty ones and later duplicates (ignoring case)
// dropped, joined with ";".
std::string MergePathList(std::string_view name, std::string_view list);

// The persistent value of the variable: on Windows NT the value stored in the system's or the
// user's environment key (an expandable string as stored, not expanded); on Windows 9x the
// process's own value. "" when unset.
std::string StoredEnvVar(std::string_view name, bool system);
// SetEnvVar, except that on Windows NT a value stored as an expandable string stays one.
bool SetStoredEnvVar(std::string_view name, std::string_view value, bool system);

}  // namespace sx
