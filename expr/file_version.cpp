#include "expr/file_version.h"

#include "host/host.h"
#include "platform/pe_version.h"

namespace sx {

std::optional<TFileVersion> ReadFileVersion(std::string_view path) {
  host::Host& host = host::CurrentHost();
  const auto info = host.GetFileInfo(path);
  if (!info || (info->attributes & host::kAttrDirectory)) return std::nullopt;
  auto file = host.OpenFile(path, {host::OpenMode::kRead, false});
  if (!file) return std::nullopt;
  const uint64_t size = file->Size().value_or(0);
  auto version = ReadPeVersion(size, [&](uint64_t offset, size_t count, uint8_t* out) {
    if (!file->Seek(offset)) return false;
    size_t done = 0;
    while (done < count) {
      auto n = file->Read(out + done, count - done);
      if (!n || *n == 0) return false;
      done += *n;
    }
    return true;
  });
  if (!version) return std::nullopt;
  return TFileVersion{version->mostSignificant, version->leastSignificant};
}

std::string FileVersionText(std::string_view path) {
  const auto version = ReadFileVersion(path);
  if (!version) return "0";
  return PeVersionText({version->MostSignificant, version->LeastSignificant});
}

}  // namespace sx
