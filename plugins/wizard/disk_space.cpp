#include "plugins/wizard/disk_space.h"

#include <cctype>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/statvfs.h>
#endif

namespace sxwizard {

std::optional<uint64_t> FreeBytesOnDrive(const std::string& windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':' || !std::isalpha(static_cast<unsigned char>(windowsPath[0])))
    return std::nullopt;
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
#ifdef _WIN32
  const std::string root = std::string(1, letter) + ":\\";
  ULARGE_INTEGER free{};
  if (!GetDiskFreeSpaceExA(root.c_str(), &free, nullptr, nullptr)) return std::nullopt;
  return free.QuadPart;
#else
  std::string machine;
  if (const char* named = std::getenv("SX_MACHINE"); named && *named) {
    machine = named;
  } else if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    machine = std::string(data) + "/sxengine/machine";
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    machine = std::string(home) + "/.local/share/sxengine/machine";
  } else {
    return std::nullopt;
  }
  struct statvfs facts {};
  const std::string drive = machine + "/dosdevices/" + letter + ":/";
  if (::statvfs(drive.c_str(), &facts) != 0) return std::nullopt;
  return static_cast<uint64_t>(facts.f_bavail) * facts.f_frsize;
#endif
}

}  // namespace sxwizard
