// Resources built into the engine image: "UNPACK", the unpack library (unpack_api.h). On the
// simulated machine they are arrays linked into the program (embedded_resource_data.cpp); on
// Windows, real resources of the executable (embedded_resource_win32.cpp): a Windows program that
// uses them carries them with sx_carry_unpack_resource (packages/CMakeLists.txt).
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
