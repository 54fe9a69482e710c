// The mark of the setup engine's image (see util/engine_image_marker.h). Linked into the sxengine
// program itself, not into a library: nothing refers to it, and it must stay in the image.
#include "util/engine_image_marker.h"

namespace sx {
namespace {

[[gnu::used, gnu::section(".sxeng")]] const std::array<char, kEngineImageMarker.size()> engineImageMarker =
    kEngineImageMarker;

}  // namespace
}  // namespace sx
