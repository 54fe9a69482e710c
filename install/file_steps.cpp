#include "install/file_steps.h"

#include <cstdio>

#include "host/host.h"
#include "platform/file_utils.h"
#include "util/folder_path.h"

namespace sx {

std::string CreateTempFileIn(std::string_view folder, std::string_view prefix) {
  return CreateOpenTempFileIn(folder, prefix).path;
}

OpenTempFile CreateOpenTempFileIn(std::string_view folderIn, std::string_view prefix) {
  auto& host = host::CurrentHost();
  std::string folder(folderIn);
  if (folder.empty()) return {};
  if (folder.back() != '\\') folder += '\\';
  std::string head = folder + std::string(prefix.substr(0, 3));
  uint32_t start = host.TickCount() & 0xFFFF;
  for (uint32_t i = 0; i < 0x10000; ++i) {
    uint32_t unique = (start + i) & 0xFFFF;
    if (unique == 0) continue;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%X", unique);
    std::string path = head + digits + ".tmp";
    if (auto file = host.OpenFile(path, {host::OpenMode::kCreateNew, false})) return {path, std::move(file)};
    uint32_t error = host.LastError();
    if (error != host::kErrorFileExists && error != host::kErrorAlreadyExists &&
        error != host::kErrorAccessDenied)
      return {};
  }
  return {};
}

bool CopyFileExactly(std::string_view source, std::string_view target) {
  auto& host = host::CurrentHost();
  auto original = host.GetFileInfo(source);
  if (!original || !CopyFilePlain(source, target)) return false;
  const uint32_t attributes = original->attributes & ~host::kAttrReparsePoint;
  auto matches = [&] {
    auto copy = host.GetFileInfo(target);
    return copy && copy->lastWriteTime == original->lastWriteTime &&
           (copy->attributes & 0xFF) == (attributes & 0xFF);
  };
  if (matches()) return true;
  // One more try for what the copy could not set; the attributes last (read-only blocks times).
  host.SetFileAttributes(target, host::kAttrNormal);
  host.SetFileTimes(target, nullptr, nullptr, &original->lastWriteTime);
  host.SetFileAttributes(target, attributes);
  return matches();
}

bool FileExistsAt(std::string_view path) {
  auto info = host::CurrentHost().GetFileInfo(path);
  return info && !(info->attributes & host::kAttrDirectory);
}

bool DeleteFileKeepingAttributes(std::string_view path) {
  auto info = host::CurrentHost().GetFileInfo(path);
  return !info || DeleteFileKeepingAttributes(path, info->attributes);
}

bool DeleteFileKeepingAttributes(std::string_view path, uint32_t attributes) {
  auto& host = host::CurrentHost();
  if (attributes & host::kAttrReadOnly) host.SetFileAttributes(path, host::kAttrNormal);
  if (host.DeleteFile(path)) return true;
  uint32_t error = host.LastError();
  if (attributes & host::kAttrReadOnly) host.SetFileAttributes(path, attributes);
  host.SetLastError(error);
  return false;
}

}  // namespace sx
