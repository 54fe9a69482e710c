// The shell services of the simulated machine: shell links written as real .lnk files, change
// notifications and broadcasts. The machine has no windows to notify, so a notification or a
// broadcast is an observable event of the trace.
#include <cctype>

#include "host/posix/posix_host_impl.h"
#include "host/posix/shell_link_format.h"

namespace sx::host {
namespace {

bool IsDrivePath(std::string_view path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         path[2] == '\\';
}

}  // namespace

bool PosixHost::SaveShellLink(std::string_view path, const ShellLinkData& link) {
  ShellLinkImage image;
  image.link = link;
  image.description = ansi_->ToUtf16(link.description);
  image.workingDir = ansi_->ToUtf16(link.workingDir);
  image.arguments = ansi_->ToUtf16(link.arguments);
  image.iconFile = ansi_->ToUtf16(link.iconFile);
  if (IsDrivePath(link.target)) {
    image.drive = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(link.target[0])))) + ":\\";
    image.localBasePath = link.target;
    std::string prefix = image.drive;
    size_t start = 3;
    while (start < link.target.size()) {
      size_t end = link.target.find('\\', start);
      if (end == std::string::npos) end = link.target.size();
      if (end > start) {
        std::string name = link.target.substr(start, end - start);
        prefix += name;
        ShellLinkPathItem item;
        item.shortName = ShortNameOf(name);
        // A missing component below the target's own name is a folder on the way.
        auto info = GetFileInfo(prefix);
        item.folder = info ? (info->attributes & kAttrDirectory) != 0 : end < link.target.size();
        if (info) {
          item.attributes = static_cast<uint16_t>(info->attributes);
          item.size = static_cast<uint32_t>(info->size);
          item.dosDateTime = FileTimeToDosDateTime(UtcToLocal(info->lastWriteTime));
        }
        image.items.push_back(std::move(item));
        prefix += '\\';
      }
      start = end + 1;
    }
    if (auto info = GetFileInfo(link.target)) image.targetInfo = *info;
  } else {
    image.relativePath = ansi_->ToUtf16(link.target);
  }

  auto bytes = EncodeShellLink(image);
  if (!bytes) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  // Written beside the link and renamed over it, so a failed save leaves an existing link whole.
  const std::string temporary = std::string(path) + ".sxnew";
  bool written = false;
  if (auto file = OpenFile(temporary, {OpenMode::kCreateAlways, false}))
    written = file->Write(bytes->data(), bytes->size()) && file->Sync();
  if (written) {
    if (auto existing = GetFileInfo(path); existing && (existing->attributes & kAttrReadOnly))
      SetFileAttributes(path, kAttrNormal);
    written = MoveFile(temporary, path, true);
  }
  if (!written) {
    const uint32_t error = LastError();
    DeleteFile(temporary);
    SetLastError(error);
    return false;
  }
  Trace("shelllink", path);
  return true;
}

void PosixHost::NotifyFolderUpdated(std::string_view path) {
  Trace("shellnotify", "SHCNE_UPDATEDIR " + std::string(path));
}

void PosixHost::BroadcastSettingChange(std::string_view area) {
  Trace("broadcast", "WM_WININICHANGE " + std::string(area));
}

void PosixHost::BroadcastFontChange() { Trace("broadcast", "WM_FONTCHANGE"); }

}  // namespace sx::host
