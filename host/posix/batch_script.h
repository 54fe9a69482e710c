// Batch files on the simulated machine. The host has no command interpreter of Windows, so the
// few commands setups write into their own batch files (self-deletion, clean-up) are translated
// into a POSIX shell script: labels and goto, del, rd, "if [not] exist ... goto", echo, rem and
// "@echo off". A batch file with any other command does not start (kErrorBadExeFormat).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sx::host {

// `mapPath` turns a Windows path of the batch into a host path (std::nullopt: cannot be mapped).
// `toUtf8` converts the batch's OEM text. The shell script, or std::nullopt when a line holds a
// command this translation does not know.
std::optional<std::string> TranslateBatch(
    std::string_view batch, const std::function<std::optional<std::string>(std::string_view)>& mapPath);

}  // namespace sx::host
