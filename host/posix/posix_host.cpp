#include "host/posix/posix_host_impl.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "host/posix/locales.h"
#include "host/posix/thread_error.h"

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

// Unix seconds to FILETIME ticks.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;

OsPlatform ParsePlatform(std::string_view text) {
  if (strncasecmp(text.data(), "9x", text.size()) == 0 || text == "95" || text == "98" ||
      strncasecmp(text.data(), "Me", text.size()) == 0)
    return OsPlatform::kWindows9x;
  if (strncasecmp(text.data(), "Win32s", text.size()) == 0) return OsPlatform::kWin32s;
  return OsPlatform::kWindowsNT;
}

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

// The system language of a machine ("0409"), read straight from the text of its system.reg: the
// code page of the registry's ANSI view depends on it, so it is needed before the registry opens.
// Key and value names are plain ASCII, which makes a text search exact.
std::string SystemLanguageOf(const std::string& systemReg) {
  std::ifstream in(systemReg, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string key = "\n[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\Language]";
  size_t at = text.find(key);
  if (at == std::string::npos) return {};
  size_t end = text.find("\n\n", at + key.size());
  std::string_view section(text.data() + at, (end == std::string::npos ? text.size() : end) - at);
  const std::string_view value = "\n\"Default\"=\"";
  size_t v = section.find(value);
  if (v == std::string_view::npos) return {};
  size_t start = v + value.size();
  size_t close = section.find('"', start);
  return close == std::string_view::npos ? std::string() : std::string(section.substr(start, close - start));
}

}  // namespace

PosixHost::PosixHost(std::string machineFolder) : machineFolder_(std::move(machineFolder)) {
  settings_ = MachineSettings::Load(machineFolder_ + "/sxmachine.ini");
  Registry::Files files{machineFolder_ + "/system.reg", machineFolder_ + "/user.reg",
                        machineFolder_ + "/userdef.reg"};

  // The ANSI code page comes from the system locale, which the registry may name; its key and
  // value names are plain ASCII, so a first look through code page 1252 is exact.
  std::optional<LocaleInfo> systemLocale = FindLocale(settings_.Get("Locale", "System", ""));
  if (!systemLocale) {
    std::string language = SystemLanguageOf(files.system);
    if (!language.empty()) {
      char* end = nullptr;
      unsigned long id = std::strtoul(language.c_str(), &end, 16);
      if (end && *end == '\0' && id) systemLocale = FindLocaleByLcid(static_cast<uint32_t>(id));
    }
  }
  facts_.systemLocale = systemLocale.value_or(LocaleInfo{});
  ansi_ = std::make_unique<CodePage>(facts_.systemLocale.ansiCodePage);
  oem_ = std::make_unique<CodePage>(facts_.systemLocale.oemCodePage);
  paths_ = std::make_unique<PathMapper>(machineFolder_, *ansi_);
  facts_.admin = settings_.GetBool("System", "Admin").value_or(true);
  facts_.hklmWritable = settings_.GetBool("System", "HKLMWritable").value_or(facts_.admin);
  registry_ = std::make_unique<Registry>(files, *ansi_, facts_.hklmWritable);
  LoadFacts();

  // The current folder: the process's own when the machine can name it, else C:\.
  char cwd[PATH_MAX];
  std::optional<std::string> windowsCwd;
  if (getcwd(cwd, sizeof cwd)) windowsCwd = paths_->ToWindows(cwd);
  currentFolder_ = windowsCwd ? *windowsCwd : "C:\\";

  // Scripted message-box answers: the environment's first, then the machine's.
  if (const char* env = std::getenv("SX_MSGBOX_ANSWERS")) scriptedAnswers_ = SplitList(env);
  for (auto& item : SplitList(settings_.Get("MessageBoxes", "Answers", "")))
    scriptedAnswers_.push_back(std::move(item));
}

PosixHost::~PosixHost() = default;

uint32_t PosixHost::LastError() { return ThreadError(); }
void PosixHost::SetLastError(uint32_t code) { ThreadError() = code; }

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

std::string PosixHost::AnsiToOem(std::string_view ansi) {
  return oem_->FromUtf16(ansi_->ToUtf16(ansi));
}

int PosixHost::CompareLocale(std::string_view a, std::string_view b, bool ignoreCase) {
  std::u16string wa = ansi_->ToUtf16(a), wb = ansi_->ToUtf16(b);
  if (ignoreCase) {
    for (auto& c : wa) c = UnicodeUpper(c);
    for (auto& c : wb) c = UnicodeUpper(c);
  }
  int r = wa.compare(wb);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

std::optional<std::string> PosixHost::Map(std::string_view path) {
  auto full = NormalizeWindowsPath(path, CurrentFolder());
  if (!full) {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  return paths_->ToHost(*full);
}

std::optional<std::string> PosixHost::MapPath(std::string_view windowsPath) {
  return Map(windowsPath);
}

std::optional<std::string> PosixHost::WindowsPathOf(std::string_view hostPath) {
  return paths_->ToWindows(hostPath);
}

std::string PosixHost::FullPath(std::string_view path) {
  auto full = NormalizeWindowsPath(path, CurrentFolder());
  return full ? *full : std::string(path);
}

std::string PosixHost::CurrentFolder() {
  std::lock_guard lock(mutex_);
  return currentFolder_;
}

bool PosixHost::SetCurrentFolder(std::string_view path) {
  auto full = NormalizeWindowsPath(path, CurrentFolder());
  if (!full) return Fail(kErrorPathNotFound);
  auto host = paths_->ToHost(*full);
  struct stat st;
  if (!host || stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Fail(kErrorPathNotFound);
  std::string folder = *full;
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  std::lock_guard lock(mutex_);
  currentFolder_ = folder;
  return true;
}

std::string PosixHost::ModuleFileName() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  buffer[n] = '\0';
  auto windows = paths_->ToWindows(buffer);
  return windows ? *windows : std::string();
}

std::string PosixHost::TempPath() {
  // GetTempPath: TMP, then TEMP, then USERPROFILE, then the Windows folder; values that are no
  // Windows path (the host's own "/tmp") are passed over.
  for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
    auto value = GetEnv(name);
    if (value && value->size() >= 3 && (*value)[1] == ':') {
      std::string path = *value;
      if (path.back() != '\\') path += '\\';
      return path;
    }
  }
  return facts_.windowsFolder + "\\";
}

std::optional<std::string> PosixHost::GetEnv(std::string_view name) {
  std::lock_guard lock(mutex_);
  auto it = environment_.find(name);
  if (it == environment_.end()) {
    Fail(kErrorEnvvarNotFound);
    return std::nullopt;
  }
  return it->second;
}

bool PosixHost::SetEnv(std::string_view name, std::optional<std::string_view> value) {
  if (name.empty() || name.find('=') != std::string_view::npos) return Fail(kErrorInvalidParameter);
  std::lock_guard lock(mutex_);
  // Programs the engine starts inherit the change, as on Windows.
  std::string hostName = ansi_->ToUtf8(name);
  if (value) {
    environment_[std::string(name)] = std::string(*value);
    setenv(hostName.c_str(), ansi_->ToUtf8(*value).c_str(), 1);
  } else {
    environment_.erase(std::string(name));
    unsetenv(hostName.c_str());
  }
  return true;
}

std::vector<std::string> PosixHost::ListEnv() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  lines.reserve(environment_.size());
  for (const auto& [name, value] : environment_) lines.push_back(name + "=" + value);
  return lines;
}

namespace {
class PosixLibrary final : public Library {
 public:
  explicit PosixLibrary(void* handle) : handle_(handle) {}
  ~PosixLibrary() override { dlclose(handle_); }
  void* Symbol(const std::string& name) override {
    void* symbol = dlsym(handle_, name.c_str());
    if (!symbol) Fail(kErrorProcNotFound);
    return symbol;
  }

 private:
  void* handle_;
};
}  // namespace

std::unique_ptr<Library> PosixHost::LoadLibrary(std::string_view path) {
  auto host = Map(path);
  struct stat st;
  if (!host || stat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    Fail(kErrorModNotFound);
    return nullptr;
  }
  void* handle = dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    Fail(kErrorBadExeFormat);
    return nullptr;
  }
  return std::make_unique<PosixLibrary>(handle);
}

FileTime PosixHost::SystemTimeNow() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return FileTime{kUnixEpochTicks + static_cast<uint64_t>(ts.tv_sec) * 10'000'000ULL +
                  static_cast<uint64_t>(ts.tv_nsec) / 100};
}

namespace {
// The offset of local time from UTC, in seconds, at a Unix time.
long LocalOffsetAt(time_t t) {
  tm local;
  localtime_r(&t, &local);
  return local.tm_gmtoff;
}
}  // namespace

FileTime PosixHost::UtcToLocal(FileTime utc) {
  time_t t = static_cast<time_t>((static_cast<int64_t>(utc.ticks) - static_cast<int64_t>(kUnixEpochTicks)) / 10'000'000);
  return FileTime{static_cast<uint64_t>(static_cast<int64_t>(utc.ticks) +
                                        static_cast<int64_t>(LocalOffsetAt(t)) * 10'000'000)};
}

FileTime PosixHost::LocalToUtc(FileTime local) {
  time_t t = static_cast<time_t>((static_cast<int64_t>(local.ticks) - static_cast<int64_t>(kUnixEpochTicks)) / 10'000'000);
  long offset = LocalOffsetAt(t - LocalOffsetAt(t));
  return FileTime{static_cast<uint64_t>(static_cast<int64_t>(local.ticks) -
                                        static_cast<int64_t>(offset) * 10'000'000)};
}

SystemTime PosixHost::LocalTimeNow() { return FileTimeToSystemTime(UtcToLocal(SystemTimeNow())); }

uint32_t PosixHost::TickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000);
}

void PosixHost::Sleep(uint32_t milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

bool PosixHost::ExitWindows(uint32_t flags) {
  char text[64];
  std::snprintf(text, sizeof text, "flags=0x%X", flags);
  std::fprintf(stderr, "exitwindows %s (recorded; 'sxtool machine reboot' performs it)\n", text);
  Trace("exitwindows", text);
  return true;
}

void PosixHost::Trace(std::string_view kind, std::string_view text) {
  const char* file = std::getenv("SX_TRACE");
  if (!file || !*file) return;
  // One write per line with O_APPEND, so lines of several processes never interleave. Line
  // breaks inside the text are written as \n and \r so that every event stays one line.
  std::string line(kind);
  line += ' ';
  for (char c : ansi_->ToUtf8(text)) {
    if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else line += c;
  }
  line += '\n';
  int fd = open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}

}  // namespace sx::host
