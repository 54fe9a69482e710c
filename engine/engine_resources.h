// Resources built into the engine image besides "UNPACK" (packages/embedded_resource.h):
// "MAINICON", the setup's icon (engine/resources/mainicon.ico).
#pragma once

#include <string_view>

namespace sx {

// The bytes of the icon file.
std::string_view MainIconResource();

}  // namespace sx
