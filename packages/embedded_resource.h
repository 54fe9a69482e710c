// Resources built into the engine image: "UNPACK", the unpack library (unpack_api.h).
#pragma once

#include <string>
#include <string_view>

namespace sx {

// The bytes of a resource by name (case-insensitive); empty when there is no such resource.
std::string_view EmbeddedResource(std::string_view name);

// Writes the unpack library to `folder` (a Windows path, with or without a trailing backslash)
// as "unpack.dll" and returns its path; "" when it cannot be written (host LastError tells why).
std::string WriteUnpackLibrary(std::string_view folder);

}  // namespace sx
