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

// The system a program or library is built for, from its first bytes.
enum class ImageFormat { kOther, kElf, kPe };
ImageFormat ImageFormatOf(const std::string& path);
// "Linux", "Windows" or "no known system": for messages.
const char* SystemName(ImageFormat format);

// Throws BuildError when a program the setup carries (the uninstaller, the terminal wizard) is
// built for another system than the engine image: such a setup could not run them.
void CheckSameSystem(const std::string& enginePath, const std::string& path, const char* what);

}  // namespace sx::build
