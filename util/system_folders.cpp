#include "util/system_folders.h"

#include "host/host.h"
#include "util/os_version.h"

namespace sx {
namespace {

struct ShellFolderKind {
  int primary;
  int fallback;  // 0: none
};

// CSIDL numbers of the Windows shell.
constexpr ShellFolderKind kKinds[] = {
    {0x10, 0},     // desktop folder
    {0x14, 0},     // fonts
    {0x13, 0},     // network neighbourhood
    {0x05, 0},     // personal documents
    {0x02, 0},     // start menu programs
    {0x08, 0},     // recent documents
    {0x09, 0},     // send-to
    {0x0B, 0},     // start menu
    {0x07, 0},     // start-up
    {0x15, 0},     // templates
    {0x16, 0x0B},  // common start menu
    {0x17, 0x02},  // common programs
    {0x18, 0x07},  // common start-up
    {0x19, 0x10},  // common desktop folder
};

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

}  // namespace

std::string GetTempFolder() {
  auto& host = host::CurrentHost();
  std::string temp = WithBackslash(host.TempPath());
  std::string current = WithBackslash(host.CurrentFolder());
  if (host.CompareLocale(temp, current, true) != 0) return temp;
  return IsWin9x() ? WithBackslash(GetWindowsFolder()) + "Temp\\" : "C:\\Temp\\";
}

std::string GetWindowsFolder() { return host::CurrentHost().Facts().windowsFolder; }

std::string GetSystemFolder() { return host::CurrentHost().Facts().systemFolder; }

std::string GetSpecialFolder(int csidl) {
  auto& host = host::CurrentHost();
  std::string path = host.ShellFolder(csidl);
  if (path.empty()) return {};
  auto info = host.GetFileInfo(path);
  return info && (info->attributes & host::kAttrDirectory) ? path : std::string();
}

std::string GetShellFolder(int kind) {
  if (kind < 0 || kind >= static_cast<int>(std::size(kKinds))) return {};
  std::string path = GetSpecialFolder(kKinds[kind].primary);
  if (path.empty() && kKinds[kind].fallback) path = GetSpecialFolder(kKinds[kind].fallback);
  return path;
}

}  // namespace sx
