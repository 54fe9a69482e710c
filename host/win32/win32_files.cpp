// Files and folders of the Win32 host: the system's own calls, with the share modes the engine
// asks for.
#include "host/win32/win32_api.h"

#include <algorithm>

#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

std::string Z(std::string_view text) { return std::string(text); }

FileTime FromFiletime(const FILETIME& t) {
  return {(uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime};
}

// The FILETIME of a time, in `out`; nullptr (keep the file's) for none.
const FILETIME* ToFiletime(const FileTime* time, FILETIME& out) {
  if (!time) return nullptr;
  out = {static_cast<DWORD>(time->ticks), static_cast<DWORD>(time->ticks >> 32)};
  return &out;
}

FileInfo InfoOf(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, const FILETIME& created,
                const FILETIME& accessed, const FILETIME& written) {
  FileInfo info;
  info.attributes = attributes;
  info.size = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : (uint64_t{sizeHigh} << 32) | sizeLow;
  info.creationTime = FromFiletime(created);
  info.lastAccessTime = FromFiletime(accessed);
  info.lastWriteTime = FromFiletime(written);
  return info;
}

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, bool writable) : handle_(handle), writable_(writable) {}
  ~Win32File() override { CloseHandle(handle_); }

  std::optional<size_t> Read(void* buffer, size_t count) override {
    size_t total = 0;
    while (total < count) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - total, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(handle_, static_cast<char*>(buffer) + total, chunk, &got, nullptr)) return std::nullopt;
      if (got == 0) break;
      total += got;
    }
    return total;
  }
  bool Write(const void* data, size_t count) override {
    size_t total = 0;
    while (total < count) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - total, 1u << 30));
      DWORD put = 0;
      if (!WriteFile(handle_, static_cast<const char*>(data) + total, chunk, &put, nullptr)) return false;
      if (put == 0) return FailWith(kErrorWriteFault);
      total += put;
    }
    return true;
  }
  bool Seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != FALSE;
  }
  std::optional<uint64_t> Position() override {
    LARGE_INTEGER zero = {}, at;
    if (!SetFilePointerEx(handle_, zero, &at, FILE_CURRENT)) return std::nullopt;
    return static_cast<uint64_t>(at.QuadPart);
  }
  std::optional<uint64_t> Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
  }
  bool Truncate() override { return SetEndOfFile(handle_) != FALSE; }
  bool Sync() override { return FlushFileBuffers(handle_) != FALSE; }
  // A handle opened for reading lacks FILE_WRITE_ATTRIBUTES; Wine does not check that, so the
  // refusal is made here, the same on both.
  bool SetTimes(const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite) override {
    if (!writable_) return FailWith(ERROR_ACCESS_DENIED);
    FILETIME c, a, w;
    return SetFileTime(handle_, ToFiletime(creation, c), ToFiletime(lastAccess, a), ToFiletime(lastWrite, w)) !=
           FALSE;
  }
  bool SetAttributes(uint32_t attributes) override {
    if (!writable_) return FailWith(ERROR_ACCESS_DENIED);
    // Times of zero stay as they are.
    FILE_BASIC_INFO info = {};
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle_, FileBasicInfo, &info, sizeof info) != FALSE;
  }

 private:
  HANDLE handle_;
  bool writable_;
};

}  // namespace

std::optional<FileInfo> Win32Host::GetFileInfo(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(Z(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return InfoOf(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, data.ftCreationTime,
                data.ftLastAccessTime, data.ftLastWriteTime);
}

bool Win32Host::SetFileAttributes(std::string_view path, uint32_t attributes) {
  return SetFileAttributesA(Z(path).c_str(), attributes) != FALSE;
}

bool Win32Host::SetFileTimes(std::string_view path, const FileTime* creation,
                             const FileTime* lastAccess, const FileTime* lastWrite) {
  // Folders open only with backup semantics.
  HANDLE handle = CreateFileA(Z(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FILETIME c, a, w;
  const bool ok = SetFileTime(handle, ToFiletime(creation, c), ToFiletime(lastAccess, a), ToFiletime(lastWrite, w));
  const DWORD error = ::GetLastError();
  CloseHandle(handle);
  return ok || FailWith(error);
}

bool Win32Host::CreateFolder(std::string_view path) {
  return CreateDirectoryA(Z(path).c_str(), nullptr) != FALSE;
}

bool Win32Host::RemoveFolder(std::string_view path) {
  return RemoveDirectoryA(Z(path).c_str()) != FALSE;
}

bool Win32Host::DeleteFile(std::string_view path) { return DeleteFileA(Z(path).c_str()) != FALSE; }

bool Win32Host::MoveFile(std::string_view from, std::string_view to, bool replaceExisting) {
  const DWORD flags = MOVEFILE_COPY_ALLOWED | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
  const std::string source = FullPath(from), target = FullPath(to);
  if (source != target && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, source.c_str(), -1,
                                         target.c_str(), -1) == CSTR_EQUAL) {
    // Only the letter case changes: through a name of its own, so that every file system
    // (Wine's on a case-sensitive disk too) takes the new spelling.
    const std::string step = source + ".sxcase";
    if (!MoveFileExA(source.c_str(), step.c_str(), 0)) return false;
    if (MoveFileExA(step.c_str(), target.c_str(), 0)) return true;
    const DWORD error = ::GetLastError();
    MoveFileExA(step.c_str(), source.c_str(), 0);
    return FailWith(error);
  }
  return MoveFileExA(source.c_str(), target.c_str(), flags) != FALSE;
}

bool Win32Host::CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
  return CopyFileA(Z(from).c_str(), Z(to).c_str(), failIfExists) != FALSE;
}

std::unique_ptr<File> Win32Host::OpenFile(std::string_view path, OpenOptions options) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (options.mode) {
    case OpenMode::kRead: access = GENERIC_READ; break;
    case OpenMode::kReadWrite: break;
    case OpenMode::kCreateAlways: disposition = CREATE_ALWAYS; break;
    case OpenMode::kCreateNew: disposition = CREATE_NEW; break;
    case OpenMode::kOpenAlways: disposition = OPEN_ALWAYS; break;
  }
  const DWORD share = options.denyWrite ? FILE_SHARE_READ
                                        : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = CreateFileA(Z(path).c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (options.mode == OpenMode::kCreateAlways || options.mode == OpenMode::kOpenAlways)
    ::SetLastError(0);  // the "it existed" note of CREATE_ALWAYS is no error
  return std::make_unique<Win32File>(handle, options.mode != OpenMode::kRead);
}

std::optional<std::vector<FindEntry>> Win32Host::FindFiles(std::string_view mask) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(Z(mask).c_str(), &data);
  std::vector<FindEntry> entries;
  if (find == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_NO_MORE_FILES) {
      ::SetLastError(kErrorFileNotFound);
      return entries;
    }
    return std::nullopt;
  }
  do {
    entries.push_back({data.cFileName, InfoOf(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                                              data.ftCreationTime, data.ftLastAccessTime,
                                              data.ftLastWriteTime)});
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return entries;
}

std::optional<DiskSpace> Win32Host::GetDiskSpace(std::string_view path) {
  // The space of the disk the path is on: a folder still to be made (an install destination)
  // answers for its nearest existing parent.
  std::string folder = FullPath(path);
  ULARGE_INTEGER available, total, free;
  while (!GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &free)) {
    const size_t cut = folder.find_last_of('\\', folder.size() > 1 ? folder.size() - 2 : 0);
    if (cut == std::string::npos || cut < 2) return std::nullopt;
    folder.resize(cut + 1);
  }
  return DiskSpace{available.QuadPart, total.QuadPart, free.QuadPart};
}

bool Win32Host::IsProtectedFile(std::string_view path) {
  // sfc.dll's answer; a system without file protection protects nothing.
  using SfcIsFileProtectedFn = BOOL(WINAPI*)(HANDLE, LPCWSTR);
  static const auto check = [] {
    HMODULE sfc = ::LoadLibraryA("sfc.dll");
    return sfc ? reinterpret_cast<SfcIsFileProtectedFn>(
                     reinterpret_cast<void*>(GetProcAddress(sfc, "SfcIsFileProtected")))
               : nullptr;
  }();
  return check && check(nullptr, AnsiToWide(path).c_str());
}

}  // namespace sx::host
