// Free space of the drive a Windows path lies on. On Windows the system answers; on the POSIX
// host the drive letter is the machine folder's "dosdevices\<letter>:" (SX_MACHINE, or the
// default machine under $XDG_DATA_HOME or ~/.local/share), as every program of the machine sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sxwizard {

// Bytes free on the drive of `windowsPath` ("C:\Program Files\App"); nothing when unknown.
std::optional<uint64_t> FreeBytesOnDrive(const std::string& windowsPath);

}  // namespace sxwizard
