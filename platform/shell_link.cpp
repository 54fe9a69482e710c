#include "platform/shell_link.h"

#include "host/host.h"
#include "util/str_utils.h"

namespace sx {
namespace {

constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;
constexpr int kShowMinNoActive = 7;

std::string Unquoted(std::string_view text) { return Unquote(text, '"'); }

}  // namespace

int TqvShellLink::ShowCommand() const {
  switch (ShowCmd) {
    case 1:
      return kShowMinNoActive;
    case 2:
      return kShowMaximized;
    default:
      return kShowNormal;
  }
}

bool TqvShellLink::Save() {
  auto& host = host::CurrentHost();
  host::ShellLinkData link;
  link.target = Unquoted(Target);
  link.arguments = Arguments;
  link.workingDir = Unquoted(WorkingDir);
  link.description = Unquoted(Description);
  link.iconFile = Unquoted(IconFile);
  link.showCommand = ShowCommand();
  link.hotKey = HotKey;
  link.iconIndex = IconIndex;
  const std::string fileName = Unquoted(FileName);
  if (fileName.empty() || !host.SaveShellLink(fileName, link)) return false;
  FileName = fileName;
  host.NotifyFolderUpdated(fileName);
  if (!link.iconFile.empty() && host.GetFileInfo(link.iconFile)) host.NotifyFolderUpdated(link.iconFile);
  return true;
}

bool TqvShellLink::SaveTo(std::string_view fileName) {
  FileName = fileName;
  return Save();
}

}  // namespace sx
