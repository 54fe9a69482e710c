// The builder's file work on Windows: the wide ("W") functions, with every path and name in
// UTF-8 as on the other systems, so the project's names reach the build plan the same way.
#include "tools/sxbuild/local_files.h"

#include "host/win32/win32_api.h"

#include <algorithm>
#include <atomic>
#include <ctime>

#include "tools/sxbuild/local_files_system.h"

namespace sx::build {
namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD) {
  g_interrupted = true;
  return TRUE;  // the build stops at its next write and removes what it wrote
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t Stored(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD error) {
  FailOn(what, path, static_cast<int>(error));
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const wchar_t* text, size_t size) {
  if (size == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), out.data(), n, nullptr, nullptr);
  return out;
}
std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

int64_t UnixSeconds(const FILETIME& time) {
  const uint64_t ticks = uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
}

// The final path of an open file, without the "\\?\" that GetFinalPathNameByHandle puts first.
std::string FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (n >= path.size()) {
    path.resize(n + 1);
    n = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  }
  if (n == 0 || n >= path.size()) return {};
  path.resize(n);
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return "\\" + Utf8(path.substr(7));
  if (path.rfind(L"\\\\?\\", 0) == 0) return Utf8(path.substr(4));
  return Utf8(path);
}

// An open handle to what a path leads to (links followed), for its facts; closed on destruction.
class OpenedPath {
 public:
  explicit OpenedPath(const std::string& path)
      : handle_(CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}
  ~OpenedPath() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OpenedPath(const OpenedPath&) = delete;
  OpenedPath& operator=(const OpenedPath&) = delete;
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

void ListInto(const std::string& folder, const std::string& prefix, std::vector<LocalFile>& out) {
  for (const std::string& name : ListFolderNames(folder)) {
    const std::string path = folder + "/" + name;
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) Fail("cannot read", path, GetLastError());
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (link) throw BuildError(Quoted(path) + " is a link to a folder; links to folders are not followed");
      ListInto(path, relative, out);
      continue;
    }
    OpenedPath file(path);
    BY_HANDLE_FILE_INFORMATION facts;
    if (!file.ok()) {
      const DWORD error = GetLastError();
      if (link) throw BuildError(Quoted(path) + " is a link that leads nowhere (" + SystemErrorText(static_cast<int>(error)) + ")");
      Fail("cannot read", path, error);
    }
    if (!GetFileInformationByHandle(file.get(), &facts)) Fail("cannot read", path, GetLastError());
    if (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      throw BuildError(Quoted(path) + " is a link to a folder; links to folders are not followed");
    if (GetFileType(file.get()) != FILE_TYPE_DISK) throw BuildError(Quoted(path) + " is neither a file nor a folder");
    out.push_back({relative, path, link ? FinalPath(file.get()) : std::string(),
                   uint64_t{facts.nFileSizeHigh} << 32 | facts.nFileSizeLow, UnixSeconds(facts.ftLastWriteTime),
                   (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0});
  }
}

// Reads up to `size` bytes at `offset` (the handle's position when `offset` is negative).
size_t ReadSome(HANDLE file, void* buffer, size_t size, int64_t offset, const std::string& path) {
  OVERLAPPED at = {};
  if (offset >= 0) {
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  }
  DWORD n = 0;
  const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  if (!ReadFile(file, buffer, piece, &n, offset >= 0 ? &at : nullptr)) {
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    Fail("cannot read", path, error);
  }
  return n;
}

void WriteAll(HANDLE file, const void* data, size_t size, int64_t offset, const std::string& what,
              const std::string& path) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    OVERLAPPED at = {};
    if (offset >= 0) {
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    }
    DWORD n = 0;
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    if (!WriteFile(file, p, piece, &n, offset >= 0 ? &at : nullptr)) Fail(what, path, GetLastError());
    if (n == 0) Fail(what, path, ERROR_DISK_FULL);
    p += n;
    size -= n;
    if (offset >= 0) offset += n;
  }
}

}  // namespace

void FailOn(const std::string& what, const std::string& path, int error) {
  throw BuildError(what + " " + Quoted(path) + ": " + SystemErrorText(error));
}

std::string SystemErrorText(int error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n > 0 ? Utf8(text, n) : "system error " + std::to_string(error);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message;
}

void InstallInterruptHandlers() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

void CheckInterrupted() {
  if (g_interrupted) throw BuildError("interrupted; nothing was written");
}

std::string ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n;
  while ((n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
    path.resize(path.size() * 2);
  if (n == 0) return ".";
  const std::string self = Utf8(path.data(), n);
  const size_t cut = self.find_last_of("\\/");
  return cut == std::string::npos ? "." : self.substr(0, cut);
}

std::vector<std::string> ProgramArguments(int, char**) {
  // The C library's argv holds the arguments in the ANSI code page; the wide command line
  // keeps every character.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8(wide[i], wcslen(wide[i])));
  if (wide) LocalFree(wide);
  return args;
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

bool ProcessIsGone(uint32_t id) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

bool IsFolderEntry(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RenameLocalFile(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    Fail("cannot rename the finished output to", to, GetLastError());
}

// MOVEFILE_WRITE_THROUGH made every rename durable already.
void SyncFolder(const std::string&) {}

bool LocalTimeOf(int64_t seconds, std::tm& out) {
  const time_t when = static_cast<time_t>(seconds);
  return localtime_s(&out, &when) == 0;
}

std::optional<LocalFile> LocalFileFacts(const std::string& path) {
  OpenedPath file(path);
  BY_HANDLE_FILE_INFORMATION facts;
  if (!file.ok() || !GetFileInformationByHandle(file.get(), &facts) || (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  LocalFile out;
  out.path = path;
  out.size = uint64_t{facts.nFileSizeHigh} << 32 | facts.nFileSizeLow;
  out.modified = UnixSeconds(facts.ftLastWriteTime);
  out.readOnly = (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  return out;
}

std::string RealLocalPath(const std::string& path) {
  OpenedPath file(path);
  return file.ok() ? FinalPath(file.get()) : std::string();
}

void CheckFolderWritable(const std::string& folder) {
  // Windows has no access(): create a file that goes when it is closed.
  const std::string probe = folder + "/.sxbuild-probe-" + std::to_string(GetCurrentProcessId());
  const HANDLE file = CreateFileW(Wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw BuildError("cannot write into the output folder " + Quoted(folder) + ": " +
                     SystemErrorText(static_cast<int>(GetLastError())));
  CloseHandle(file);
}

bool RemoveLocalFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool IsLocalFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    Fail("cannot read", path, error);
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) throw BuildError(Quoted(path) + " is not a folder");
  return true;
}

std::vector<std::string> ListFolderNames(const std::string& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileExW(Wide(folder + "/*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) Fail("cannot read the folder", folder, GetLastError());
  std::vector<std::string> names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8(name));
  } while (FindNextFileW(search, &entry));
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) Fail("cannot read the folder", folder, error);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<LocalFile> ListLocalFiles(const std::string& folder) {
  std::vector<LocalFile> files;
  ListInto(folder, "", files);
  std::sort(files.begin(), files.end(),
            [](const LocalFile& a, const LocalFile& b) { return a.relative < b.relative; });
  return files;
}

// ---- InputFile

InputFile::InputFile(const std::string& path) : path_(path) {
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot open", path, GetLastError());
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    Fail("cannot read", path, error);
  }
  handle_ = Stored(file);
  size_ = static_cast<uint64_t>(size.QuadPart);
}

InputFile::~InputFile() {
  if (handle_ != -1) CloseHandle(Handle(handle_));
}

size_t InputFile::Read(void* buffer, size_t size) { return ReadSome(Handle(handle_), buffer, size, -1, path_); }

bool InputFile::ReadAt(uint64_t offset, size_t count, void* out) {
  auto* p = static_cast<char*>(out);
  while (count > 0) {
    const size_t n = ReadSome(Handle(handle_), p, count, static_cast<int64_t>(offset), path_);
    if (n == 0) return false;
    p += n;
    offset += n;
    count -= n;
  }
  return true;
}

// ---- OutputFile

// Windows files carry no permission bits: `mode` matters only on POSIX systems.
OutputFile::OutputFile(std::string path, int) : path_(std::move(path)) {
  const HANDLE file = CreateFileW(Wide(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot create", path_, GetLastError());
  handle_ = Stored(file);
}

OutputFile::~OutputFile() {
  if (handle_ != -1) CloseHandle(Handle(handle_));
}

void OutputFile::Write(const void* data, size_t size) {
  CheckInterrupted();
  WriteAll(Handle(handle_), data, size, -1, "cannot write", path_);
  size_ += size;
}

void OutputFile::Append(intptr_t from, uint64_t offset, uint64_t count, const std::string& fromName) {
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(count, 1u << 20)));
  while (count > 0) {
    const size_t n = ReadSome(Handle(from), buffer.data(), static_cast<size_t>(std::min<uint64_t>(count, buffer.size())),
                              static_cast<int64_t>(offset), fromName);
    if (n == 0) throw BuildError(Quoted(fromName) + " is shorter than expected");
    Write(buffer.data(), n);
    offset += n;
    count -= n;
  }
}

void OutputFile::AppendFile(const std::string& sourcePath) {
  InputFile source(sourcePath);
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(source.Size(), 1u << 20)));
  uint64_t left = source.Size();
  while (left > 0) {
    const size_t n = source.Read(buffer.data(), static_cast<size_t>(std::min<uint64_t>(left, buffer.size())));
    if (n == 0) throw BuildError(Quoted(sourcePath) + " is shorter than expected");
    Write(buffer.data(), n);
    left -= n;
  }
}

void OutputFile::Finish() {
  if (handle_ == -1) return;
  const HANDLE file = Handle(handle_);
  handle_ = -1;
  const bool flushed = FlushFileBuffers(file);
  const DWORD error = GetLastError();
  if (!CloseHandle(file)) Fail("cannot write", path_, GetLastError());
  if (!flushed) Fail("cannot write", path_, error);
}

// ---- FileCabStorage

FileCabStorage::FileCabStorage(OutputSet& outputs, OutputFile& first, std::function<std::string(int)> cabinetName)
    : outputs_(outputs), cabinetName_(std::move(cabinetName)) {
  files_.push_back(&first);
  // A named file that goes when it is closed (Windows has no unnamed files).
  const std::string path = outputs_.folder() + "/.sxbuild-scratch-" + std::to_string(GetCurrentProcessId());
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot create a scratch file in", outputs_.folder(), GetLastError());
  scratch_ = Stored(file);
}

FileCabStorage::~FileCabStorage() {
  if (scratch_ != -1) CloseHandle(Handle(scratch_));
}

void FileCabStorage::WriteScratch(const void* data, size_t size) {
  CheckInterrupted();
  WriteAll(Handle(scratch_), data, size, static_cast<int64_t>(scratchSize_), "cannot write a scratch file in",
           outputs_.folder());
  scratchSize_ += size;
}

void FileCabStorage::MoveScratch(int cabinet) {
  FileOf(cabinet).Append(scratch_, 0, scratchSize_, "the scratch file");
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(Handle(scratch_), start, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle(scratch_)))
    Fail("cannot reuse a scratch file in", outputs_.folder(), GetLastError());
  scratchSize_ = 0;
}

}  // namespace sx::build
