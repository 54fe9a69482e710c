#include "engine/run_lock.h"

#include <string>

#include "engine/resume_files.h"
#include "platform/file_utils.h"
#include "util/case_tables.h"
#include "util/system_folders.h"

namespace sx {
namespace {

bool IsUniqueName(std::string_view name) {
  if (name.size() != 8) return false;
  for (char c : name)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'V') || (c >= 'a' && c <= 'v'))) return false;
  return true;
}

}  // namespace

std::unique_ptr<host::File> LockRunFolder(std::string_view tempDir) {
  std::string path(tempDir);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return host::CurrentHost().OpenFile(path + kRunLockFile, {host::OpenMode::kCreateAlways, true});
}

bool RemoveRunFolder(std::string_view tempDir) {
  auto& host = host::CurrentHost();
  std::string folder(tempDir);
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  const auto entries = host.FindFiles(folder + "*");
  if (!entries) return true;
  bool complete = true;
  for (const host::FindEntry& entry : *entries) {
    if (entry.name == "." || entry.name == ".." || SameTextFast(entry.name, kRunLockFile)) continue;
    const std::string path = folder + entry.name;
    if ((entry.info.attributes & host::kAttrDirectory) && !(entry.info.attributes & host::kAttrReparsePoint))
      complete = DeleteFolderTree(path, true) && complete;
    else
      complete = DeleteFileForced(path) && complete;
  }
  return complete && DeleteFolderTree(folder, true);
}

int RemoveDeadRunFolders() {
  auto& host = host::CurrentHost();
  std::string temp = GetTempFolder();
  if (!temp.empty() && temp.back() != '\\') temp += '\\';
  const auto entries = host.FindFiles(temp + "*");
  if (!entries) return 0;
  int removed = 0;
  for (const host::FindEntry& entry : *entries) {
    if (!(entry.info.attributes & host::kAttrDirectory) || (entry.info.attributes & host::kAttrReparsePoint) ||
        !IsUniqueName(entry.name))
      continue;
    const std::string folder = temp + entry.name + "\\";
    if (host.GetFileInfo(folder + kResumeDatabaseFile)) continue;  // a resume waits for it
    // An empty one is what a removal that failed at its very end leaves.
    if (host.RemoveFolder(folder)) {
      ++removed;
      continue;
    }
    {
      // A live engine holds the file writable and denies writers: this open fails then.
      auto probe = host.OpenFile(folder + kRunLockFile, {host::OpenMode::kRead, true});
      if (!probe) continue;
    }
    if (DeleteFolderTree(folder, true)) ++removed;
  }
  return removed;
}

}  // namespace sx
