// The Win32 host: errors, machine facts, code pages, paths, environment, time and the trace.
#include "host/win32/win32_api.h"

#include <cstdlib>
#include <cstring>

#include "host/machine.h"
#include "host/win32/win32_host.h"
#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

std::string Z(std::string_view text) { return std::string(text); }

// A text a function writes into a caller's buffer of MAX_PATH (or the size it asks for).
template <typename Call>
std::string BufferText(Call call) {
  std::string buffer(MAX_PATH, '\0');
  DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  buffer.resize(n < buffer.size() ? n : 0);
  return buffer;
}

std::string LocaleText(LCID lcid, LCTYPE type) {
  char buffer[128] = {};
  return GetLocaleInfoA(lcid, type, buffer, sizeof buffer) ? buffer : "";
}

uint32_t LocaleNumber(LCID lcid, LCTYPE type) {
  return static_cast<uint32_t>(std::strtoul(LocaleText(lcid, type).c_str(), nullptr, 10));
}

LocaleInfo DescribeLocale(LCID lcid) {
  LocaleInfo info;
  info.lcid = lcid;
  info.abbreviation = LocaleText(lcid, LOCALE_SABBREVLANGNAME);
  info.languageName = LocaleText(lcid, LOCALE_SENGLANGUAGE);
  info.fullLanguageName = LocaleText(lcid, LOCALE_SLANGUAGE);
  info.ansiCodePage = LocaleNumber(lcid, LOCALE_IDEFAULTANSICODEPAGE);
  info.oemCodePage = LocaleNumber(lcid, LOCALE_IDEFAULTCODEPAGE);
  CHARSETINFO charset = {};
  if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<uintptr_t>(info.ansiCodePage)),
                           &charset, TCI_SRCCODEPAGE))
    info.charset = charset.ciCharset;
  return info;
}

std::vector<LocaleInfo>* g_installedLocales = nullptr;  // filled by the enumeration below

BOOL CALLBACK AddInstalledLocale(LPSTR text) {
  const LCID lcid = static_cast<LCID>(std::strtoul(text, nullptr, 16));
  if (lcid) g_installedLocales->push_back(DescribeLocale(lcid));
  return TRUE;
}

bool HklmWritable() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_WRITE, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool UserIsAdmin() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &admins))
    return false;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
  FreeSid(admins);
  return member != FALSE;
}

// Converts between two code pages through UTF-16; characters the target lacks become '?'.
std::string Recode(std::string_view text, UINT from, UINT to) {
  if (text.empty()) return {};
  const int wideLength = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
  const int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

bool FailWith(uint32_t code) {
  ::SetLastError(code);
  return false;
}

Win32Host::Win32Host() {
  LoadFacts();
  if (const char* answers = std::getenv("SX_MSGBOX_ANSWERS")) {
    std::string list = answers;
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(',', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) scriptedAnswers_.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
}

Win32Host::~Win32Host() = default;

uint32_t Win32Host::LastError() { return ::GetLastError(); }
void Win32Host::SetLastError(uint32_t code) { ::SetLastError(code); }

void Win32Host::LoadFacts() {
  OSVERSIONINFOEXA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
    facts_.platform = static_cast<OsPlatform>(version.dwPlatformId);
    facts_.major = version.dwMajorVersion;
    facts_.minor = version.dwMinorVersion;
    facts_.build = version.dwBuildNumber & 0xFFFF;
    facts_.servicePack = version.szCSDVersion;
  }
  facts_.admin = UserIsAdmin();
  facts_.hklmWritable = HklmWritable();
  facts_.userName = BufferText([](char* b, DWORD n) { return GetUserNameA(b, &n) ? n - 1 : 0; });
  facts_.computerName = BufferText([](char* b, DWORD n) { return GetComputerNameA(b, &n) ? n : 0; });
  facts_.userLocale = DescribeLocale(GetUserDefaultLCID());
  facts_.systemLocale = DescribeLocale(GetSystemDefaultLCID());
  facts_.installedLocales.clear();
  g_installedLocales = &facts_.installedLocales;
  EnumSystemLocalesA(AddInstalledLocale, LCID_INSTALLED);
  g_installedLocales = nullptr;
  facts_.decimalSeparator = LocaleText(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL);
  facts_.windowsFolder = BufferText([](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); });
  facts_.systemFolder = BufferText([](char* b, DWORD n) { return GetSystemDirectoryA(b, n); });
  if (const int w = GetSystemMetrics(SM_CXSCREEN)) facts_.screenWidth = w;
  if (const int h = GetSystemMetrics(SM_CYSCREEN)) facts_.screenHeight = h;
}

std::string Win32Host::ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

// ---- code pages

std::string Win32Host::AnsiToUtf8(std::string_view ansi) { return Recode(ansi, CP_ACP, CP_UTF8); }
std::string Win32Host::Utf8ToAnsi(std::string_view utf8) { return Recode(utf8, CP_UTF8, CP_ACP); }

std::vector<std::string> SplitProgramCommandLine(std::string_view commandLine) {
  std::vector<std::string> parameters;
  size_t at = 0;
  const auto separator = [&](size_t i) { return static_cast<unsigned char>(commandLine[i]) <= ' '; };
  for (;;) {
    while (at < commandLine.size() && separator(at)) ++at;
    if (at == commandLine.size()) return parameters;
    std::string parameter;
    while (at < commandLine.size() && !separator(at)) {
      if (commandLine[at] == '"') {
        for (++at; at < commandLine.size() && commandLine[at] != '"'; ++at) parameter += commandLine[at];
        if (at < commandLine.size()) ++at;  // the closing quote
      } else {
        parameter += commandLine[at++];
      }
    }
    parameters.push_back(std::move(parameter));
  }
}

std::vector<std::string> ProgramArguments(Host&, int, char**) {
  // The C runtime's argv follows other quoting rules (a backslash escapes a quote); the program
  // reads its command line as Windows gave it, in the ANSI code page.
  std::vector<std::string> parameters = SplitProgramCommandLine(GetCommandLineA());
  if (!parameters.empty()) parameters.erase(parameters.begin());
  return parameters;
}
std::string Win32Host::AnsiToOem(std::string_view ansi) { return Recode(ansi, CP_ACP, CP_OEMCP); }

std::string Win32Host::UpperCaseLocale(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

int Win32Host::CompareLocale(std::string_view a, std::string_view b, bool ignoreCase) {
  const int result = CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, a.data(),
                                    static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
  return result ? result - CSTR_EQUAL : 0;
}

// ---- paths: Windows paths are the host's own

std::optional<std::string> Win32Host::MapPath(std::string_view windowsPath) {
  // UNC paths and device names stay out of reach, as on the simulated machine.
  if (windowsPath.size() >= 2 && (windowsPath[0] == '\\' || windowsPath[0] == '/') &&
      (windowsPath[1] == '\\' || windowsPath[1] == '/')) {
    FailWith(kErrorPathNotFound);
    return std::nullopt;
  }
  return FullPath(windowsPath);
}

std::optional<std::string> Win32Host::WindowsPathOf(std::string_view hostPath) {
  return FullPath(hostPath);
}

std::string Win32Host::FullPath(std::string_view path) {
  const std::string in = Z(path);
  return BufferText([&](char* b, DWORD n) { return GetFullPathNameA(in.c_str(), n, b, nullptr); });
}

std::string Win32Host::CurrentFolder() {
  std::string folder = BufferText([](char* b, DWORD n) { return GetCurrentDirectoryA(n, b); });
  if (folder.size() > 1 && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool Win32Host::SetCurrentFolder(std::string_view path) {
  return SetCurrentDirectoryA(Z(path).c_str()) != FALSE;
}

std::string Win32Host::ModuleFileName() {
  return BufferText([](char* b, DWORD n) { return GetModuleFileNameA(nullptr, b, n); });
}

std::string Win32Host::TempPath() {
  return BufferText([](char* b, DWORD n) { return GetTempPathA(n, b); });
}

// ---- environment

std::optional<std::string> Win32Host::GetEnv(std::string_view name) {
  const std::string key = Z(name);
  ::SetLastError(0);
  const DWORD needed = GetEnvironmentVariableA(key.c_str(), nullptr, 0);
  if (needed == 0) {
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::string value(needed, '\0');
  const DWORD n = GetEnvironmentVariableA(key.c_str(), value.data(), needed);
  value.resize(n < needed ? n : 0);
  return value;
}

bool Win32Host::SetEnv(std::string_view name, std::optional<std::string_view> value) {
  const std::string text = value ? Z(*value) : std::string();
  return SetEnvironmentVariableA(Z(name).c_str(), value ? text.c_str() : nullptr) != FALSE;
}

std::vector<std::string> Win32Host::ListEnv() {
  std::vector<std::string> lines;
  char* block = GetEnvironmentStringsA();
  if (!block) return lines;
  for (const char* p = block; *p; p += std::strlen(p) + 1)
    if (*p != '=') lines.emplace_back(p);  // "=C:=C:\..." entries are the drives' folders
  FreeEnvironmentStringsA(block);
  return lines;
}

// ---- time

FileTime Win32Host::SystemTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return {(uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime};
}

SystemTime Win32Host::LocalTimeNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

namespace {
FILETIME ToFiletime(FileTime t) {
  return {static_cast<DWORD>(t.ticks), static_cast<DWORD>(t.ticks >> 32)};
}
FileTime FromFiletime(const FILETIME& t) {
  return {(uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime};
}
}  // namespace

FileTime Win32Host::UtcToLocal(FileTime utc) {
  const FILETIME in = ToFiletime(utc);
  FILETIME out;
  return FileTimeToLocalFileTime(&in, &out) ? FromFiletime(out) : utc;
}

FileTime Win32Host::LocalToUtc(FileTime local) {
  const FILETIME in = ToFiletime(local);
  FILETIME out;
  return LocalFileTimeToFileTime(&in, &out) ? FromFiletime(out) : local;
}

uint32_t Win32Host::TickCount() { return GetTickCount(); }
void Win32Host::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

// ---- the trace: one line per event, appended with one write so processes never interleave

void Win32Host::Trace(std::string_view kind, std::string_view text) {
  const char* file = std::getenv("SX_TRACE");
  if (!file || !*file) return;
  std::string line(kind);
  line += ' ';
  for (char c : AnsiToUtf8(text)) {
    if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else line += c;
  }
  line += '\n';
  HANDLE handle = CreateFileA(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(handle);
}

std::unique_ptr<Host> OpenWin32Host() { return std::make_unique<Win32Host>(); }

std::unique_ptr<Host> OpenMachine() { return OpenWin32Host(); }

}  // namespace sx::host
