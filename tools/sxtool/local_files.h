// Files of this computer that commands read (not files of the machine).
#pragma once

#include <optional>
#include <string>

namespace sx::tool {

// The whole content of the file, or of standard input for "-"; std::nullopt when it cannot be
// read, `problem` then says why ("is a folder, not a file", "No such file or directory"). A
// folder is never read as an empty file.
std::optional<std::string> ReadLocalFile(const std::string& path, std::string* problem = nullptr);

// The message for a file that cannot be read: "cannot read \"PATH\": PROBLEM".
std::string CannotReadMessage(const std::string& path, const std::string& problem);

}  // namespace sx::tool
