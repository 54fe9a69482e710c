// The check of a destination folder the user typed.
#pragma once

#include <string>

namespace sxwizard {

// A usable destination: a drive letter and a backslash ("C:\App") or a network path
// ("\\server\share"), without the characters Windows refuses in names. "" when usable, else
// the reason, as the wizard shows it.
std::string DestinationProblem(const std::string& path);

}  // namespace sxwizard
