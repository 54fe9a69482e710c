// The checks before an installation starts: another setup of the product running, the operating
// system and its version, administrator rights, the project's launch conditions and the plug-ins'
// own checks (EV_CHECKLAUNCHCONDITIONS). Each refusal shows its warning in the chosen language.
#pragma once

#include <string_view>

namespace sx {

// True when every check passes; `anotherSetupRuns` when the single-instance guard is held by
// another setup of the same AppID.
bool LaunchChecks(bool anotherSetupRuns);

// Whether the running system is one of the "SupportedOS" list (upper case, tokens such as "NT",
// "NT4", "2K", "XP", "9X", "95", "98", "ME"); an empty list supports every system.
bool SupportsRunningOS(std::string_view supportedOS);
// Whether the running system's version is at least "major[.minor[.build]]"; a missing or
// non-numeric part takes the system's own value.
bool MeetsMinimumVersion(std::string_view minOSVersion);

}  // namespace sx
