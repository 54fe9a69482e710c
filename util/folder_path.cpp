#include "util/folder_path.h"

#include <string>
#include <vector>

#include "host/host.h"

namespace sx {

std::string_view FolderOf(std::string_view path) {
  size_t slash = path.find_last_of("\\:");
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

void CreateFolderPath(std::string_view pathIn) {
  std::string path(pathIn);
  if (!path.empty() && path.back() == '\\') path.pop_back();
  auto& host = host::CurrentHost();
  // Walk up to the first folder that exists, then create the missing ones parents first.
  std::vector<std::string> missing;
  while (path.size() >= 3) {
    if (auto info = host.GetFileInfo(path); info && (info->attributes & host::kAttrDirectory)) break;
    missing.push_back(path);
    std::string parent(FolderOf(path));
    if (parent.size() > 1 && parent.back() == '\\') parent.pop_back();
    if (parent.empty() || parent == path) break;
    path = std::move(parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) host.CreateFolder(*it);
}

}  // namespace sx
