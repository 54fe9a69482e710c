// The unpack library's default file system on POSIX systems: the C library on host paths.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "packages/unpack/default_file_system.h"

namespace sx {
namespace {

void* SX_STDCALL PosixOpen(void*, const char* path, int32_t mode) {
  const int fd = mode == kUnpackOpenWrite ? ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                                          : ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}
int FdOf(void* file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }
int32_t SX_STDCALL PosixRead(void* file, void* buffer, int32_t count) {
  for (;;) {
    const ssize_t n = ::read(FdOf(file), buffer, static_cast<size_t>(count));
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return -1;
  }
}
int32_t SX_STDCALL PosixWrite(void* file, const void* data, int32_t count) {
  const char* p = static_cast<const char*>(data);
  size_t left = static_cast<size_t>(count);
  while (left > 0) {
    const ssize_t n = ::write(FdOf(file), p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return 1;
}
int32_t SX_STDCALL PosixSeek(void* file, int64_t position) {
  return ::lseek(FdOf(file), static_cast<off_t>(position), SEEK_SET) == position ? 1 : 0;
}
int64_t SX_STDCALL PosixSize(void* file) {
  struct stat st;
  return ::fstat(FdOf(file), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}
void SX_STDCALL PosixClose(void* file) { ::close(FdOf(file)); }
int32_t SX_STDCALL PosixRemove(void*, const char* path) { return ::unlink(path) == 0 ? 1 : 0; }
int32_t SX_STDCALL PosixSetFileInfo(void*, const char* path, uint32_t dosDateTime,
                                    uint32_t attributes) {
  struct tm local = {};
  local.tm_year = static_cast<int>((dosDateTime >> 25) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((dosDateTime >> 21) & 0x0F) - 1;
  local.tm_mday = static_cast<int>((dosDateTime >> 16) & 0x1F);
  local.tm_hour = static_cast<int>((dosDateTime >> 11) & 0x1F);
  local.tm_min = static_cast<int>((dosDateTime >> 5) & 0x3F);
  local.tm_sec = static_cast<int>(dosDateTime & 0x1F) * 2;
  local.tm_isdst = -1;
  const time_t when = mktime(&local);
  struct timespec times[2] = {{when, 0}, {when, 0}};
  bool ok = when != static_cast<time_t>(-1) && utimensat(AT_FDCWD, path, times, 0) == 0;
  if (attributes & 0x01) {
    struct stat st;
    ok = ok && ::stat(path, &st) == 0 && ::chmod(path, st.st_mode & ~0222u) == 0;
  }
  return ok ? 1 : 0;
}

}  // namespace

const UnpackFileSystem kDefaultUnpackFileSystem = {PosixOpen,  PosixRead,   PosixWrite,       PosixSeek,
                                           PosixSize,  PosixClose,  PosixRemove,      PosixSetFileInfo,
                                           nullptr};

}  // namespace sx
