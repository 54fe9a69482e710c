// Locating and creating machine folders.
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "host/posix/posix_host.h"
#include "host/posix/posix_host_impl.h"

namespace sx::host {
namespace {

constexpr char kUser[] = "user";

void MakeFolders(const std::string& path) {
  std::string partial;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    partial = path.substr(0, j);
    i = j + 1;
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
      throw MachineError("cannot create the folder " + partial + ": " + std::strerror(errno));
  }
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void WriteNewFile(const std::string& path, const std::string& content) {
  if (Exists(path)) return;
  std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << content;
    out.flush();
    if (!out) throw MachineError("cannot write " + path);
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0)
    throw MachineError("cannot write " + path + ": " + std::strerror(errno));
}

// Registry text in Wine's format, for the keys a fresh machine starts with.
class RegText {
 public:
  explicit RegText(const char* relativeTo) {
    text_ = "WINE REGISTRY Version 2\n;; All keys relative to ";
    text_ += relativeTo;
    text_ += "\n\n#arch=win32\n";
    now_ = time(nullptr);
  }
  RegText& Key(const std::string& path) {
    char stamp[64];
    unsigned long long ticks = 116444736000000000ULL + static_cast<unsigned long long>(now_) * 10000000ULL;
    std::snprintf(stamp, sizeof stamp, " %lld\n#time=%llx\n", static_cast<long long>(now_), ticks);
    text_ += "\n[" + Escape(path) + "]" + stamp;
    return *this;
  }
  RegText& Sz(const std::string& name, const std::string& value) {
    text_ += Name(name) + "=\"" + Escape(value) + "\"\n";
    return *this;
  }
  RegText& ExpandSz(const std::string& name, const std::string& value) {
    text_ += Name(name) + "=str(2):\"" + Escape(value) + "\"\n";
    return *this;
  }
  RegText& Dword(const std::string& name, unsigned value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", value);
    text_ += Name(name) + "=dword:" + hex + "\n";
    return *this;
  }
  const std::string& str() const { return text_; }

 private:
  static std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out;
  }
  static std::string Name(const std::string& name) {
    return name.empty() ? "@" : "\"" + Escape(name) + "\"";
  }
  std::string text_;
  time_t now_;
};

std::string SystemReg() {
  const std::string profile = std::string("C:\\users\\") + kUser;
  RegText r("REGISTRY\\\\Machine");
  r.Key("Software\\Classes");
  r.Key("Software\\Microsoft\\Windows\\CurrentVersion")
      .Sz("CommonFilesDir", "C:\\Program Files\\Common Files")
      .Sz("ProgramFilesDir", "C:\\Program Files")
      .ExpandSz("ProgramFilesPath", "%ProgramFiles%");
  r.Key("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")
      .Sz("Common AppData", "C:\\ProgramData")
      .Sz("Common Desktop", "C:\\users\\Public\\Desktop")
      .Sz("Common Documents", "C:\\users\\Public\\Documents")
      .Sz("Common Programs", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs")
      .Sz("Common Start Menu", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu")
      .Sz("Common StartUp", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp")
      .Sz("Common Templates", "C:\\ProgramData\\Microsoft\\Windows\\Templates");
  r.Key("Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  // Windows keeps this key even when no shared file is counted; uninstalling the last counted
  // file leaves it as it found it.
  r.Key("Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
  r.Key("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  r.Key("Software\\Microsoft\\Windows NT\\CurrentVersion")
      .Sz("CSDVersion", "Service Pack 3")
      .Sz("CurrentBuildNumber", "2600")
      .Sz("CurrentVersion", "5.1")
      .Sz("ProductName", "Microsoft Windows XP")
      .Sz("RegisteredOrganization", "")
      .Sz("RegisteredOwner", kUser)
      .Sz("SystemRoot", "C:\\windows");
  r.Key("Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
  r.Key("Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList")
      .Sz("ProgramData", "C:\\ProgramData")
      .ExpandSz("ProfilesDirectory", "C:\\users");
  r.Key("Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1000")
      .Sz("ProfileImagePath", profile);
  r.Key("System\\CurrentControlSet\\Control\\Nls\\CodePage").Sz("ACP", "1252").Sz("OEMCP", "437");
  r.Key("System\\CurrentControlSet\\Control\\Nls\\Language").Sz("Default", "0409").Sz("InstallLanguage", "0409");
  r.Key("System\\CurrentControlSet\\Control\\Session Manager");
  r.Key("System\\CurrentControlSet\\Control\\Session Manager\\Environment")
      .ExpandSz("ComSpec", "%SystemRoot%\\system32\\cmd.exe")
      .Sz("OS", "Windows_NT")
      .ExpandSz("PATH", "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\system32\\wbem")
      .Sz("PATHEXT", ".com;.exe;.bat;.cmd;.vbs;.vbe;.js;.jse;.wsf;.wsh")
      .ExpandSz("TEMP", "%SystemRoot%\\temp")
      .ExpandSz("TMP", "%SystemRoot%\\temp")
      .ExpandSz("windir", "%SystemRoot%");
  return r.str();
}

std::string UserReg() {
  const std::string profile = std::string("C:\\users\\") + kUser;
  const std::string roaming = profile + "\\AppData\\Roaming";
  const std::string menu = roaming + "\\Microsoft\\Windows\\Start Menu";
  RegText r("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000");
  r.Key("Control Panel\\International")
      .Sz("Locale", "00000409")
      .Sz("sDecimal", ".")
      .Sz("sLanguage", "ENU")
      .Sz("sShortDate", "M/d/yyyy")
      .Sz("sThousand", ",");
  r.Key("Environment").Sz("TEMP", profile + "\\Temp").Sz("TMP", profile + "\\Temp");
  r.Key("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")
      .Sz("AppData", roaming)
      .Sz("Cache", profile + "\\AppData\\Local\\Microsoft\\Windows\\INetCache")
      .Sz("Desktop", profile + "\\Desktop")
      .Sz("Favorites", profile + "\\Favorites")
      .Sz("Fonts", "C:\\windows\\Fonts")
      .Sz("Local AppData", profile + "\\AppData\\Local")
      .Sz("NetHood", roaming + "\\Microsoft\\Windows\\Network Shortcuts")
      .Sz("Personal", profile + "\\Documents")
      .Sz("PrintHood", roaming + "\\Microsoft\\Windows\\Printer Shortcuts")
      .Sz("Programs", menu + "\\Programs")
      .Sz("Recent", roaming + "\\Microsoft\\Windows\\Recent")
      .Sz("SendTo", roaming + "\\Microsoft\\Windows\\SendTo")
      .Sz("Start Menu", menu)
      .Sz("StartUp", menu + "\\Programs\\StartUp")
      .Sz("Templates", roaming + "\\Microsoft\\Windows\\Templates");
  r.Key("Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  return r.str();
}

std::string UserdefReg() {
  RegText r("REGISTRY\\\\User\\\\.Default");
  r.Key("Control Panel\\International").Sz("Locale", "00000409").Sz("sDecimal", ".");
  r.Key("Environment").ExpandSz("TEMP", "%USERPROFILE%\\Temp").ExpandSz("TMP", "%USERPROFILE%\\Temp");
  return r.str();
}

constexpr char kSettingsTemplate[] =
    "; Simulation settings of this machine. Every key is optional; remove the ';' to set one.\n"
    "[System]\n"
    ";Platform=NT            ; NT, 9x or Win32s\n"
    ";Version=5.1.2600       ; major.minor.build\n"
    ";ServicePack=Service Pack 3\n"
    ";Admin=1                ; the user is an administrator\n"
    ";HKLMWritable=1         ; HKEY_LOCAL_MACHINE may be written (default: Admin)\n"
    ";UserName=user\n"
    ";ComputerName=SXMACHINE\n"
    ";Screen=1024x768\n"
    "[Locale]\n"
    ";User=ENU               ; the user's locale (abbreviation or LCID)\n"
    ";System=ENU             ; the system locale: ANSI and OEM code pages\n"
    ";Installed=ENU,DEU      ; the installed locales\n"
    ";DecimalSeparator=.\n"
    "[Associations]\n"
    ";.txt=C:\\windows\\notepad.exe\n"
    "[MessageBoxes]\n"
    ";Answers=IDYES,IDNO     ; answers for the boxes shown, in order\n"
    ";Default=default        ; then: the default button, or a fixed answer\n";

}  // namespace

std::string DefaultMachineFolder() {
  if (const char* m = std::getenv("SX_MACHINE"); m && *m) return m;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/sxengine/machine";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/sxengine/machine";
}

void InitMachine(const std::string& folderIn) {
  std::string folder = folderIn;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  MakeFolders(folder + "/dosdevices");
  const std::string c = folder + "/drive_c";
  const std::string profile = c + "/users/" + kUser;
  const std::string roaming = profile + "/AppData/Roaming/Microsoft/Windows";
  const std::string common = c + "/ProgramData/Microsoft/Windows";
  for (const std::string& f : {c + "/windows/system32", c + "/windows/temp", c + "/windows/Fonts",
                               c + "/windows/inf", c + "/Program Files/Common Files",
                               profile + "/Desktop", profile + "/Documents", profile + "/Favorites",
                               profile + "/Temp", profile + "/AppData/Local/Microsoft/Windows/INetCache",
                               roaming + "/Start Menu/Programs/StartUp", roaming + "/SendTo",
                               roaming + "/Recent", roaming + "/Templates",
                               roaming + "/Network Shortcuts", roaming + "/Printer Shortcuts",
                               common + "/Start Menu/Programs/StartUp", common + "/Templates",
                               c + "/users/Public/Desktop", c + "/users/Public/Documents"})
    MakeFolders(f);
  for (auto [link, target] : {std::pair{"/dosdevices/c:", "../drive_c"}, std::pair{"/dosdevices/z:", "/"}}) {
    std::string path = folder + link;
    if (!Exists(path) && symlink(target, path.c_str()) != 0)
      throw MachineError("cannot create " + path + ": " + std::strerror(errno));
  }
  // As Windows leaves them: sections with their entries (an INI writer drops empty sections).
  WriteNewFile(c + "/windows/win.ini", "[windows]\r\nload=\r\nrun=\r\n\r\n");
  WriteNewFile(c + "/windows/system.ini", "[boot]\r\nshell=Explorer.exe\r\n\r\n");
  // An existing Wine prefix keeps its registry; only a machine without one gets ours.
  WriteNewFile(folder + "/system.reg", SystemReg());
  WriteNewFile(folder + "/user.reg", UserReg());
  WriteNewFile(folder + "/userdef.reg", UserdefReg());
  WriteNewFile(folder + "/sxmachine.ini", kSettingsTemplate);
}

std::unique_ptr<Host> OpenPosixHost(const std::string& folderIn) {
  std::string folder = folderIn;
  if (!folder.empty() && folder[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) folder = std::string(cwd) + "/" + folder;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat st;
  if (stat((folder + "/dosdevices/c:").c_str(), &st) != 0) InitMachine(folder);
  return std::make_unique<PosixHost>(folder);
}

}  // namespace sx::host
