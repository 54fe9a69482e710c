// Whole-file reading and writing through the host, for the engine's documents (XML, INI, logs).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sx {

// The bytes of a file, or std::nullopt when it cannot be read (host LastError tells why).
std::optional<std::string> ReadFileContent(std::string_view path);

// Replaces the file's content: writes a new file beside it, syncs it and renames it over the old
// one, so a crash leaves either the old or the new content, never a mix. False on failure (the old
// file is then untouched).
bool WriteFileAtomic(std::string_view path, std::string_view data);

}  // namespace sx
