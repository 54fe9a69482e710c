// The POSIX host: construction, paths, environment, libraries, time and the trace.
#include "host/posix/posix_host_impl.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "host/posix/locales.h"
#include "host/posix/program_library.h"
#include "host/posix/thread_error.h"

namespace sx::host {
namespace {

// Unix seconds to FILETIME ticks.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;

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
  fileStates_ = std::make_unique<SimulatedFileStates>(machineFolder_ + "/sxmachine.ini");
  std::vector<std::string> sizeWarnings;
  driveSizes_ = std::make_unique<DriveSizes>(settings_, &sizeWarnings);
  for (const auto& warning : sizeWarnings)
    std::fprintf(stderr, "%s/sxmachine.ini: %s\n", machineFolder_.c_str(), warning.c_str());
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
  // Windows 9x deletes a key with everything below it; NT refuses a key that has sub-keys.
  const bool nineX = ParsePlatform(settings_.Get("System", "Platform", "NT")) == OsPlatform::kWindows9x;
  registry_ = std::make_unique<Registry>(files, *ansi_, facts_.hklmWritable, nineX);
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

std::optional<std::string> PosixHost::Map(std::string_view path, MappedEntry* entry) {
  auto full = NormalizeWindowsPath(path, CurrentFolder());
  if (!full) {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  return paths_->ToHost(*full, entry);
}

bool PosixHost::RefusedInUse(std::string_view path) {
  auto full = NormalizeWindowsPath(path, CurrentFolder());
  if (!full || !fileStates_->InUse(*full)) return false;
  Fail(kErrorSharingViolation);
  return true;
}

bool PosixHost::RefusedInUse(std::string_view path, std::string_view otherPath) {
  const std::string current = CurrentFolder();
  const auto full = NormalizeWindowsPath(path, current), otherFull = NormalizeWindowsPath(otherPath, current);
  if (!fileStates_->InUse(full.value_or(std::string()), otherFull.value_or(std::string()))) return false;
  Fail(kErrorSharingViolation);
  return true;
}

bool PosixHost::IsProtectedFile(std::string_view path) {
  auto full = NormalizeWindowsPath(path, CurrentFolder());
  return full && fileStates_->Protected(*full);
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
    if (IsStartableProgramFile(*host)) return MakeProgramLibrary();  // as Windows loads an .exe
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
