// The mark of the setup engine's image (see util/engine_image_marker.h). Linked into the sxengine
// program itself, not into a library: nothing refers to it, and it must stay in the image, also
// when the linker drops unreferenced sections (retain).
#include "util/engine_image_marker.h"

namespace sx {
namespace {

#if defined(__ELF__)
[[gnu::used, gnu::retain, gnu::section(".sxeng")]] const
#else
[[gnu::used, gnu::section(".sxeng")]] const
#endif
    std::array<char, kEngineImageMarker.size()> engineImageMarker =
    kEngineImageMarker;

}  // namespace
}  // namespace sx
