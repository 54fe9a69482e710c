// Files of this computer that commands read (not files of the machine).
#pragma once

#include <optional>
#include <string>

namespace sx::tool {

// The whole content of the file, or of standard input for "-"; std::nullopt when it cannot be
// read.
std::optional<std::string> ReadLocalFile(const std::string& path);

}  // namespace sx::tool
