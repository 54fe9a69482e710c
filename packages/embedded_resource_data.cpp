// The resources of a program built for the simulated machine: arrays in a source generated at
// build time (embed_resource.cmake), linked in by the programs that ask for them.
#include <cstddef>

#include "packages/embedded_resource.h"
#include "util/case_tables.h"

namespace sx {
namespace resources {
// From the source generated at build time out of the built unpack library.
extern const unsigned char kUnpack[];
extern const std::size_t kUnpackSize;
}  // namespace resources

std::string_view EmbeddedResource(std::string_view name) {
  if (SameTextFast(name, "UNPACK"))
    return {reinterpret_cast<const char*>(resources::kUnpack), resources::kUnpackSize};
  return {};
}

}  // namespace sx
