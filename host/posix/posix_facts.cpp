// Machine facts of the POSIX host: version, locales, folders and the environment a Windows
// program sees, read from the machine's registry and completed by sxmachine.ini.
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "host/posix/locales.h"
#include "host/posix/posix_host_impl.h"

extern char** environ;

namespace sx::host {
namespace {

constexpr char kNtVersionKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char k9xVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kSystemEnvironmentKey[] =
    "System\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kProfileListKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr char kUserSid[] = "S-1-5-21-0-0-0-1000";  // the SID Wine gives the machine's user


// "6.1.7601" or "6.1" into its numbers; missing parts stay as they are.
void ParseVersion(std::string_view text, uint32_t& major, uint32_t& minor, uint32_t* build) {
  unsigned a = 0, b = 0, c = 0;
  int n = std::sscanf(std::string(text).c_str(), "%u.%u.%u", &a, &b, &c);
  if (n >= 1) major = a;
  if (n >= 2) minor = b;
  if (n >= 3 && build) *build = c;
}

// The registry's text of a string value without its terminating NUL.
std::string StringData(const std::optional<RegValue>& v) {
  if (!v || (v->type != kRegSz && v->type != kRegExpandSz)) return {};
  std::string s = v->data;
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

struct ShellFolderName {
  int csidl;
  bool common;  // in HKLM rather than HKCU
  const char* value;
};

constexpr ShellFolderName kShellFolders[] = {
    {0x02, false, "Programs"},      {0x05, false, "Personal"},
    {0x06, false, "Favorites"},     {0x07, false, "StartUp"},
    {0x08, false, "Recent"},        {0x09, false, "SendTo"},
    {0x0B, false, "Start Menu"},    {0x0D, false, "My Music"},
    {0x10, false, "Desktop"},       {0x13, false, "NetHood"},
    {0x14, false, "Fonts"},         {0x15, false, "Templates"},
    {0x1A, false, "AppData"},       {0x1B, false, "PrintHood"},
    {0x1C, false, "Local AppData"}, {0x20, false, "Cache"},
    {0x21, false, "Cookies"},       {0x22, false, "History"},
    {0x27, false, "My Pictures"},   {0x16, true, "Common Start Menu"},
    {0x17, true, "Common Programs"}, {0x18, true, "Common StartUp"},
    {0x19, true, "Common Desktop"}, {0x1F, true, "Common Favorites"},
    {0x23, true, "Common AppData"}, {0x2D, true, "Common Templates"},
    {0x2E, true, "Common Documents"},
};

}  // namespace

std::string PosixHost::ReadRegString(RegRoot root, std::string_view key, std::string_view name) {
  return StringData(registry_->QueryValue(root, key, name));
}

void PosixHost::LoadFacts() {
  MachineFacts& f = facts_;
  f.platform = ParsePlatform(settings_.Get("System", "Platform", "NT"));
  if (f.platform == OsPlatform::kWindowsNT) {
    f.major = 5, f.minor = 1, f.build = 2600;
    std::string version = ReadRegString(RegRoot::kLocalMachine, kNtVersionKey, "CurrentVersion");
    if (!version.empty()) ParseVersion(version, f.major, f.minor, nullptr);
    std::string build = ReadRegString(RegRoot::kLocalMachine, kNtVersionKey, "CurrentBuildNumber");
    if (!build.empty()) f.build = static_cast<uint32_t>(std::strtoul(build.c_str(), nullptr, 10));
    f.servicePack = ReadRegString(RegRoot::kLocalMachine, kNtVersionKey, "CSDVersion");
  } else {
    f.major = 4, f.minor = 10, f.build = 2222;
    std::string version = ReadRegString(RegRoot::kLocalMachine, k9xVersionKey, "VersionNumber");
    if (!version.empty()) ParseVersion(version, f.major, f.minor, &f.build);
    f.servicePack = ReadRegString(RegRoot::kLocalMachine, k9xVersionKey, "SubVersionNumber");
  }
  if (auto v = settings_.Get("System", "Version")) ParseVersion(*v, f.major, f.minor, &f.build);
  if (auto v = settings_.Get("System", "ServicePack")) f.servicePack = *v;
  f.userName = settings_.Get("System", "UserName", "user");
  f.computerName = settings_.Get("System", "ComputerName", "SXMACHINE");
  if (auto v = settings_.Get("System", "Screen")) {
    int w = 0, h = 0;
    if (std::sscanf(v->c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0)
      f.screenWidth = w, f.screenHeight = h;
  }

  std::optional<LocaleInfo> user = FindLocale(settings_.Get("Locale", "User", ""));
  if (!user)
    user = FindLocale(ReadRegString(RegRoot::kCurrentUser, "Control Panel\\International", "Locale"));
  f.userLocale = user.value_or(f.systemLocale);
  f.installedLocales.clear();
  for (const auto& item : SplitList(settings_.Get("Locale", "Installed", "")))
    if (auto locale = FindLocale(item)) f.installedLocales.push_back(*locale);
  if (f.installedLocales.empty()) {
    f.installedLocales.push_back(f.userLocale);
    if (f.systemLocale.lcid != f.userLocale.lcid) f.installedLocales.push_back(f.systemLocale);
  }
  std::string decimal =
      ReadRegString(RegRoot::kCurrentUser, "Control Panel\\International", "sDecimal");
  if (settings_.Get("Locale", "User")) decimal.clear();  // a forced locale brings its own
  f.decimalSeparator = settings_.Get("Locale", "DecimalSeparator",
                                     decimal.empty() ? DefaultDecimalSeparator(f.userLocale) : decimal);

  std::string root = ReadRegString(RegRoot::kLocalMachine, kNtVersionKey, "SystemRoot");
  f.windowsFolder = root.empty() ? "C:\\windows" : root;
  while (f.windowsFolder.size() > 3 && f.windowsFolder.back() == '\\') f.windowsFolder.pop_back();
  f.systemFolder = f.windowsFolder + (f.platform == OsPlatform::kWindowsNT ? "\\system32" : "\\system");

  // The process environment as a Windows program sees it: the host's own, then what the
  // machine's registry defines for every process, with the profile variables Windows sets.
  environment_.clear();
  for (char** e = environ; e && *e; ++e) {
    std::string_view line = *e;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    environment_[ansi_->FromUtf8(line.substr(0, eq))] = ansi_->FromUtf8(line.substr(eq + 1));
  }
  std::string profile = ReadRegString(RegRoot::kLocalMachine,
                                      std::string(kProfileListKey) + "\\" + kUserSid,
                                      "ProfileImagePath");
  if (profile.empty()) profile = "C:\\users\\" + f.userName;
  std::string programData = ReadRegString(RegRoot::kLocalMachine, kProfileListKey, "ProgramData");
  if (programData.empty()) programData = "C:\\ProgramData";
  std::string programFiles = ReadRegString(RegRoot::kLocalMachine, k9xVersionKey, "ProgramFilesDir");
  if (programFiles.empty()) programFiles = "C:\\Program Files";
  std::string commonFiles = ReadRegString(RegRoot::kLocalMachine, k9xVersionKey, "CommonFilesDir");
  if (commonFiles.empty()) commonFiles = programFiles + "\\Common Files";
  const std::pair<const char*, std::string> fixed[] = {
      {"SystemRoot", f.windowsFolder},
      {"windir", f.windowsFolder},
      {"SystemDrive", f.windowsFolder.substr(0, 2)},
      {"USERPROFILE", profile},
      {"USERNAME", f.userName},
      {"COMPUTERNAME", f.computerName},
      {"ALLUSERSPROFILE", programData},
      {"ProgramData", programData},
      {"PUBLIC", f.windowsFolder.substr(0, 2) + "\\users\\Public"},
      {"ProgramFiles", programFiles},
      {"CommonProgramFiles", commonFiles},
      {"APPDATA", ReadRegString(RegRoot::kCurrentUser, kShellFoldersKey, "AppData")},
      {"LOCALAPPDATA", ReadRegString(RegRoot::kCurrentUser, kShellFoldersKey, "Local AppData")},
  };
  for (const auto& [name, value] : fixed)
    if (!value.empty()) environment_[name] = value;
  for (auto [root2, key] : {std::pair{RegRoot::kLocalMachine, kSystemEnvironmentKey},
                            std::pair{RegRoot::kCurrentUser, "Environment"}}) {
    auto values = registry_->EnumValues(root2, key);
    if (!values) continue;
    for (const auto& v : *values) {
      std::string text = StringData(v.value);
      if (v.value.type == kRegExpandSz) text = ExpandMachineVariables(text);
      if (!v.name.empty() && (v.value.type == kRegSz || v.value.type == kRegExpandSz))
        environment_[v.name] = text;
    }
  }
}

// Expands %NAME% from the environment built so far; unknown names stay as written.
std::string PosixHost::ExpandMachineVariables(std::string text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t start = text.find('%', i);
    if (start == std::string::npos) break;
    size_t end = text.find('%', start + 1);
    if (end == std::string::npos) break;
    out.append(text, i, start - i);
    auto it = environment_.find(std::string_view(text).substr(start + 1, end - start - 1));
    if (it != environment_.end()) {
      out += it->second;
      i = end + 1;
    } else {
      out.append(text, start, end - start);
      i = end;
    }
  }
  out.append(text, i);
  return out;
}

std::string PosixHost::ShellFolder(int csidl) {
  switch (csidl) {
    case 0x24: return facts_.windowsFolder;  // CSIDL_WINDOWS
    case 0x25: return facts_.systemFolder;   // CSIDL_SYSTEM
    case 0x26: {                             // CSIDL_PROGRAM_FILES
      std::string v = ReadRegString(RegRoot::kLocalMachine, k9xVersionKey, "ProgramFilesDir");
      return v;
    }
    case 0x2B:  // CSIDL_PROGRAM_FILES_COMMON
      return ReadRegString(RegRoot::kLocalMachine, k9xVersionKey, "CommonFilesDir");
    case 0x28:  // CSIDL_PROFILE
      return GetEnv("USERPROFILE").value_or("");
  }
  for (const auto& sf : kShellFolders)
    if (sf.csidl == csidl)
      return ReadRegString(sf.common ? RegRoot::kLocalMachine : RegRoot::kCurrentUser,
                           kShellFoldersKey, sf.value);
  return {};
}

}  // namespace sx::host
