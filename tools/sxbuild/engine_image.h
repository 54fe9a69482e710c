// The engine image that heads a setup program: only the setup engine itself is accepted, an
// executable (ELF, or PE for the Windows build) that carries the engine's marker section
// (util/engine_image_marker.h).
#pragma once

#include <cstdint>
#include <string>

namespace sx::build {

// The size of the engine image at `path`; throws BuildError, naming the file, when it cannot be
// read, is no executable or lacks the engine's marker.
uint64_t CheckEngineImage(const std::string& path);

}  // namespace sx::build
