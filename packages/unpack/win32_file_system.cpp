// The unpack library's default file system on Windows: the system's files by their paths.
#include <windows.h>

#include "packages/unpack/default_file_system.h"

namespace sx {
namespace {

HANDLE HandleOf(void* file) { return static_cast<HANDLE>(file); }

void* SX_STDCALL Win32Open(void*, const char* path, int32_t mode) {
  const bool write = mode == kUnpackOpenWrite;
  HANDLE handle = CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                              write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}
int32_t SX_STDCALL Win32Read(void* file, void* buffer, int32_t count) {
  DWORD got = 0;
  return ReadFile(HandleOf(file), buffer, static_cast<DWORD>(count), &got, nullptr) ? static_cast<int32_t>(got) : -1;
}
int32_t SX_STDCALL Win32Write(void* file, const void* data, int32_t count) {
  DWORD put = 0;
  return WriteFile(HandleOf(file), data, static_cast<DWORD>(count), &put, nullptr) &&
                 put == static_cast<DWORD>(count)
             ? 1
             : 0;
}
int32_t SX_STDCALL Win32Seek(void* file, int64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = position;
  return SetFilePointerEx(HandleOf(file), to, nullptr, FILE_BEGIN) ? 1 : 0;
}
int64_t SX_STDCALL Win32Size(void* file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(HandleOf(file), &size) ? size.QuadPart : -1;
}
void SX_STDCALL Win32Close(void* file) { CloseHandle(HandleOf(file)); }
int32_t SX_STDCALL Win32Remove(void*, const char* path) { return DeleteFileA(path) ? 1 : 0; }
int32_t SX_STDCALL Win32SetFileInfo(void*, const char* path, uint32_t dosDateTime, uint32_t attributes) {
  FILETIME local, utc;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime), &local) ||
      !LocalFileTimeToFileTime(&local, &utc))
    return 0;
  HANDLE handle = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  bool ok = SetFileTime(handle, nullptr, &utc, &utc) != FALSE;
  CloseHandle(handle);
  // Only the read-only bit, as the POSIX file system keeps it.
  if (attributes & FILE_ATTRIBUTE_READONLY)
    ok = ok && SetFileAttributesA(path, GetFileAttributesA(path) | FILE_ATTRIBUTE_READONLY);
  return ok ? 1 : 0;
}

}  // namespace

const UnpackFileSystem kDefaultUnpackFileSystem = {Win32Open,  Win32Read,  Win32Write,
                                                   Win32Seek,  Win32Size,  Win32Close,
                                                   Win32Remove, Win32SetFileInfo, nullptr};

}  // namespace sx
