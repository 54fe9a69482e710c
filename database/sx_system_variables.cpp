#include "database/sx_system_variables.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "database/sx_variable_access.h"
#include "host/host.h"
#include "platform/reg_paths.h"
#include "util/environment.h"
#include "util/str_utils.h"
#include "util/system_folders.h"

namespace sx {
namespace {

constexpr const char* kCurrentVersion = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
constexpr const char* kVirtualRoots =
    "HKLM\\SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters\\Virtual Roots\\";
constexpr const char* kDelphiKey = "HKLM\\SOFTWARE\\Borland\\Delphi";

// The shell folders in the order of GetShellFolder's kinds 0 to 13.
constexpr const char* kShellFolderNames[] = {
    "Desktop",   "Fonts",           "NetHood",            "Personal",          "ProgramsMenu",
    "Recent",    "SendTo",          "StartMenu",          "StartupMenu",       "Templates",
    "CommonStartMenu", "CommonProgramsMenu", "CommonStartupMenu", "CommonDesktop",
};

// The drive of a path: "C:" of "C:\WINDOWS", "\\server\share" of a UNC path, else "".
std::string DrivePart(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.starts_with("\\\\")) {
    std::size_t share = path.find('\\', 2);
    if (share == std::string_view::npos) return std::string(path);
    std::size_t end = path.find('\\', share + 1);
    return std::string(path.substr(0, end));
  }
  return {};
}

// The sub-key of `keyPath` whose name sorts last as text (the user's locale, ignoring case).
std::string LastSubKey(std::string_view keyPath) {
  std::vector<std::string> names;
  RegEnumKeys(keyPath, names);
  if (names.empty()) return {};
  auto& host = host::CurrentHost();
  return *std::max_element(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    return host.CompareLocale(a, b, true) < 0;
  });
}

std::string DelphiRoot() {
  std::string version = LastSubKey(kDelphiKey);
  if (version.empty()) return "C:";
  return RegReadString(std::string(kDelphiKey) + "\\" + version, "RootDir", "");
}

}  // namespace

std::string TodayText() {
  host::SystemTime now = host::CurrentHost().LocalTimeNow();
  char text[32];
  std::snprintf(text, sizeof text, "%02u/%02u/%04u", unsigned{now.month}, unsigned{now.day},
                unsigned{now.year});
  return text;
}

void DefineSystemVariables(TXMLObject* root) {
  WriteSystemVariable(
      root, "BootDrive",
      DrivePart(RegReadString(std::string(kCurrentVersion) + "Setup", "BootDir", "")));
  WriteSystemPathVariable(root, "Windows", GetWindowsFolder());
  WriteSystemPathVariable(root, "System", GetSystemFolder());
  for (int kind = 0; kind < static_cast<int>(std::size(kShellFolderNames)); ++kind)
    WriteSystemPathVariable(root, kShellFolderNames[kind], GetShellFolder(kind));
  WriteSystemPathVariable(root, "ProgramFiles",
                          RegReadString(kCurrentVersion, "ProgramFilesDir", "%BootDrive%\\Program Files"));
  WriteSystemPathVariable(root, "CommonFiles",
                          RegReadString(kCurrentVersion, "CommonFilesDir", "%ProgramFiles%\\Common Files"));
  WriteSystemPathVariable(
      root, "ApplicationData",
      RegReadString("HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\",
                    "AppData", "%Windows%\\Application Data"));
  WriteSystemPathVariable(root, "Office97",
                          RegReadString("HKLM\\SOFTWARE\\Microsoft\\Office\\8.0\\Common\\InstallRoot\\",
                                        "OfficeBin", "%ProgramFiles%\\Microsoft Office\\Office"));
  WriteSystemPathVariable(root, "Office2000",
                          RegReadString("HKLM\\SOFTWARE\\Microsoft\\Office\\9.0\\Common\\InstallRoot\\",
                                        "Path", "%ProgramFiles%\\Microsoft Office\\Office"));
  std::string bde =
      TextBefore(RegReadString("HKLM\\SOFTWARE\\Borland\\Database Engine", "DLLPATH", ""), ';');
  WriteSystemPathVariable(root, "BDE", bde.empty() ? "%CommonFiles%\\Borland Shared\\BDE" : bde);
  WriteSystemPathVariable(root, "Delphi", DelphiRoot());
  WriteSystemVariable(root, "Date", TodayText());
  WriteSystemPathVariable(root, "IIS-WWWRoot",
                          TextBefore(RegReadString(kVirtualRoots, "/", "%BootDrive%\\wwwroot"), ','));
  WriteSystemPathVariable(
      root, "IIS-Scripts",
      TextBefore(RegReadString(kVirtualRoots, "/Scripts", "%IIS-WWWRoot%\\scripts"), ','));
}

const std::vector<std::string>& SystemVariableNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all = {"BootDrive", "Windows", "System"};
    all.insert(all.end(), std::begin(kShellFolderNames), std::end(kShellFolderNames));
    for (const char* name : {"ProgramFiles", "CommonFiles", "ApplicationData", "Office97", "Office2000", "BDE",
                             "Delphi", "Date", "IIS-WWWRoot", "IIS-Scripts", "SourcePath", "OSPlatform",
                             "OSVersion", "QuickLaunch", "ParamStr", "SilentMode", "Reboot", "LogFile",
                             "AdminRights", "InstallPath"})
      all.push_back(name);
    return all;
  }();
  return names;
}

void ImportEnvironment(TXMLObject* root) {
  std::vector<std::string> lines;
  ListEnvironment(lines);
  for (const std::string& line : lines) {
    std::size_t equals = line.find('=');
    std::string_view name = std::string_view(line).substr(0, equals);
    if (name.empty() || LookupVariable(root, name)) continue;
    WriteSystemVariable(root, name,
                        equals == std::string::npos ? std::string_view() : std::string_view(line).substr(equals + 1));
  }
}

}  // namespace sx
