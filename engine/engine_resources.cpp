#include "engine/engine_resources.h"

#include <cstddef>

namespace sx {
namespace resources {
// From the source generated at build time out of engine/resources/mainicon.ico.
extern const unsigned char kMainIcon[];
extern const std::size_t kMainIconSize;
}  // namespace resources

std::string_view MainIconResource() {
  return {reinterpret_cast<const char*>(resources::kMainIcon), resources::kMainIconSize};
}

}  // namespace sx
