// The file system the unpack library uses until the engine sets its own (SetFileSystem): the
// system's files by their host paths (posix_file_system.cpp, win32_file_system.cpp).
#pragma once

#include "packages/unpack_api.h"

namespace sx {

extern const UnpackFileSystem kDefaultUnpackFileSystem;

}  // namespace sx
