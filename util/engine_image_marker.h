// How a program shows that it is the setup engine: a section of its own, named
// kEngineImageSection, that holds kEngineImageMarker (with its closing NUL). The engine carries it
// (engine/engine_marker.cpp); sxbuild takes as the head of a setup program only an executable
// with that section, so that a text file or another program cannot become a "setup program".
// The section's name keeps to 8 characters, the limit of Windows executables.
#pragma once

#include <array>
#include <string_view>

namespace sx {

inline constexpr std::string_view kEngineImageSection = ".sxeng";
inline constexpr auto kEngineImageMarker = std::to_array("SXEngine setup engine image");

}  // namespace sx
