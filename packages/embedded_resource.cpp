#include "packages/embedded_resource.h"

#include "host/host.h"

namespace sx {

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
