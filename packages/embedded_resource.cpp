#include "packages/embedded_resource.h"

#include <cstddef>

#include "host/host.h"
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

std::string WriteUnpackLibrary(std::string_view folder) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += "unpack.dll";
  auto& host = host::CurrentHost();
  const std::string_view bytes = EmbeddedResource("UNPACK");
  auto file = host.OpenFile(path, {host::OpenMode::kCreateAlways, false});
  if (!file) return "";
  if (!file->Write(bytes.data(), bytes.size())) {
    file.reset();
    const uint32_t error = host.LastError();
    host.DeleteFile(path);
    host.SetLastError(error);
    return "";
  }
  return path;
}

}  // namespace sx
