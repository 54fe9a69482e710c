#include "util/file_io.h"

#include "host/host.h"

namespace sx {

std::optional<std::string> ReadFileContent(std::string_view path) {
  auto& host = host::CurrentHost();
  auto file = host.OpenFile(path, {host::OpenMode::kRead, false});
  if (!file) return std::nullopt;
  std::string data;
  if (auto size = file->Size()) data.reserve(*size);
  char buffer[65536];
  for (;;) {
    auto n = file->Read(buffer, sizeof buffer);
    if (!n) return std::nullopt;
    if (*n == 0) break;
    data.append(buffer, *n);
  }
  return data;
}

bool WriteFileAtomic(std::string_view path, std::string_view data) {
  auto& host = host::CurrentHost();
  std::string temp = std::string(path) + ".sxnew";
  {
    auto file = host.OpenFile(temp, {host::OpenMode::kCreateAlways, false});
    if (!file) return false;
    if (!file->Write(data.data(), data.size()) || !file->Sync()) {
      file.reset();
      uint32_t error = host.LastError();
      host.DeleteFile(temp);
      host.SetLastError(error);
      return false;
    }
  }
  if (!host.MoveFile(temp, path, true)) {
    uint32_t error = host.LastError();
    host.DeleteFile(temp);
    host.SetLastError(error);
    return false;
  }
  return true;
}

}  // namespace sx
