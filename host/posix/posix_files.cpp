// Files and folders of the POSIX host.
//
// Windows attributes live where Wine keeps them: read-only as the missing write permission of a
// file, hidden, system and archive in the extended attribute "user.DOSATTRIB" (as "0x%x"), names
// starting with '.' count as hidden. Read-only is enforced here, not left to the kernel, because
// the engine may run as root, for whom permission bits do not stop a write.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "host/posix/posix_host_impl.h"
#include "host/posix/thread_error.h"

namespace sx::host {
namespace {

constexpr char kDosAttribute[] = "user.DOSATTRIB";
constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;
constexpr uint32_t kStoredAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

FileTime ToFileTime(const timespec& ts) {
  int64_t ticks = static_cast<int64_t>(kUnixEpochTicks) + static_cast<int64_t>(ts.tv_sec) * 10'000'000 +
                  ts.tv_nsec / 100;
  return FileTime{ticks < 0 ? 0 : static_cast<uint64_t>(ticks)};
}

timespec ToTimespec(FileTime t) {
  int64_t rel = static_cast<int64_t>(t.ticks) - static_cast<int64_t>(kUnixEpochTicks);
  int64_t sec = rel / 10'000'000;
  int64_t rem = rel % 10'000'000;
  if (rem < 0) rem += 10'000'000, --sec;
  return timespec{static_cast<time_t>(sec), static_cast<long>(rem * 100)};
}

std::optional<uint32_t> StoredAttributes(const std::string& path) {
  char buffer[32];
  ssize_t n = getxattr(path.c_str(), kDosAttribute, buffer, sizeof buffer - 1);
  if (n <= 0) return std::nullopt;
  buffer[n] = '\0';
  return static_cast<uint32_t>(std::strtoul(buffer, nullptr, 0));
}

// The text "user.DOSATTRIB" holds for the attributes. Where the file system keeps no extended
// attributes, only read-only survives: no worse than Wine on such a file system.
struct StoredText {
  explicit StoredText(uint32_t attributes)
      : size(static_cast<size_t>(std::snprintf(text, sizeof text, "0x%x", attributes & kStoredAttributes))) {}
  char text[32];
  size_t size;
};

void StoreAttributes(const std::string& path, uint32_t attributes) {
  const StoredText stored(attributes);
  setxattr(path.c_str(), kDosAttribute, stored.text, stored.size, 0);
}

// The permission bits that give a file (no folder) the read-only attribute or take it away.
mode_t ModeWithAttributes(mode_t mode, uint32_t attributes) {
  mode &= 07777;
  return (attributes & kAttrReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
}

// The two time stamps utimensat and futimens take: access, then modification.
struct TimesArgument {
  TimesArgument(const FileTime* lastAccess, const FileTime* lastWrite)
      : times{lastAccess ? ToTimespec(*lastAccess) : timespec{0, UTIME_OMIT},
              lastWrite ? ToTimespec(*lastWrite) : timespec{0, UTIME_OMIT}} {}
  timespec times[2];
};

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The error of an operation on a path that does not exist: the file is missing, or its folder.
bool FailMissing(const std::string& path) {
  return Fail(FolderExists(ParentOf(path)) ? kErrorFileNotFound : kErrorPathNotFound);
}

uint32_t AttributesOf(const std::string& path, const struct stat& st) {
  bool folder = S_ISDIR(st.st_mode);
  uint32_t attributes = folder ? uint32_t{kAttrDirectory} : 0u;
  auto stored = StoredAttributes(path);
  if (stored) {
    attributes |= *stored & (folder ? kStoredAttributes : kStoredAttributes & ~kAttrReadOnly);
  } else if (!folder) {
    attributes |= kAttrArchive;
  }
  if (!folder && !(st.st_mode & S_IWUSR)) attributes |= kAttrReadOnly;
  std::string name = BaseName(path);
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
  return attributes ? attributes : kAttrNormal;
}

// `isLink`: whether the entry is a symbolic link, when the caller knows; else it is looked at.
FileInfo InfoOf(const std::string& path, const struct stat& st, std::optional<bool> isLink = std::nullopt) {
  FileInfo info;
  info.attributes = AttributesOf(path, st);
  struct stat link;
  if (!isLink) isLink = lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  if (*isLink) info.attributes |= kAttrReparsePoint;
  info.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  info.lastWriteTime = ToFileTime(st.st_mtim);
  info.lastAccessTime = ToFileTime(st.st_atim);
  info.creationTime = ToFileTime(st.st_ctim);
  struct statx sx;
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME))
    info.creationTime = ToFileTime(timespec{static_cast<time_t>(sx.stx_btime.tv_sec),
                                            static_cast<long>(sx.stx_btime.tv_nsec)});
  return info;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, bool writable) : fd_(fd), writable_(writable) {}
  ~PosixFile() override { close(fd_); }
  // On a drive of limited size: the file may not grow past `bytes`.
  void LimitSize(uint64_t bytes) { maxSize_ = bytes; }

  std::optional<size_t> Read(void* buffer, size_t count) override {
    for (;;) {
      ssize_t n = read(fd_, buffer, count);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) {
        Fail(kErrorReadFault);
        return std::nullopt;
      }
    }
  }
  bool Write(const void* data, size_t count) override {
    if (maxSize_ && WouldGrowPastLimit(count)) return Fail(kErrorDiskFull);
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
      ssize_t n = write(fd_, p, count);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Fail(errno == ENOSPC || errno == EDQUOT ? kErrorDiskFull : WinErrorFromErrno(errno));
      }
      p += n;
      count -= static_cast<size_t>(n);
    }
    return true;
  }
  bool Seek(uint64_t position) override {
    return lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0 || Fail(kErrorInvalidParameter);
  }
  std::optional<uint64_t> Position() override {
    off_t p = lseek(fd_, 0, SEEK_CUR);
    if (p < 0) return std::nullopt;
    return static_cast<uint64_t>(p);
  }
  std::optional<uint64_t> Size() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
  }
  bool Truncate() override {
    off_t p = lseek(fd_, 0, SEEK_CUR);
    return (p >= 0 && ftruncate(fd_, p) == 0) || Fail(WinErrorFromErrno(errno));
  }
  bool Sync() override { return fsync(fd_) == 0 || Fail(WinErrorFromErrno(errno)); }
  bool SetTimes(const FileTime*, const FileTime* lastAccess, const FileTime* lastWrite) override {
    if (!writable_) return Fail(kErrorAccessDenied);
    const TimesArgument argument(lastAccess, lastWrite);
    return futimens(fd_, argument.times) == 0 || Fail(WinErrorFromErrno(errno));
  }
  bool SetAttributes(uint32_t attributes) override {
    if (!writable_) return Fail(kErrorAccessDenied);
    struct stat st;
    if (fstat(fd_, &st) != 0 || fchmod(fd_, ModeWithAttributes(st.st_mode, attributes)) != 0)
      return Fail(WinErrorFromErrno(errno));
    const StoredText stored(attributes == kAttrNormal ? 0 : attributes);
    fsetxattr(fd_, kDosAttribute, stored.text, stored.size, 0);
    return true;
  }

 private:
  bool WouldGrowPastLimit(size_t count) {
    struct stat st;
    const off_t at = lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || fstat(fd_, &st) != 0) return false;
    const uint64_t end = static_cast<uint64_t>(at) + count;
    return end > *maxSize_ && end > static_cast<uint64_t>(st.st_size);
  }
  int fd_;
  bool writable_;
  std::optional<uint64_t> maxSize_;
};

// Copies the bytes of one host file into another; false (with the error set) on failure.
bool CopyContent(const std::string& from, const std::string& to, mode_t mode) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(WinErrorFromErrno(errno));
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode | S_IWUSR);
  if (out < 0) {
    int err = errno;
    close(in);
    return Fail(WinErrorFromErrno(err));
  }
  PosixFile source(in, false), target(out, true);
  std::vector<char> buffer(1 << 20);
  for (;;) {
    auto n = source.Read(buffer.data(), buffer.size());
    if (!n) return false;
    if (*n == 0) break;
    if (!target.Write(buffer.data(), *n)) return false;
  }
  return target.Sync();
}

// Copies `source` into a new file beside `target` and renames it over the target, carrying the
// source's times, permissions and (when given) Windows attributes: a failure leaves the target as
// it was.
bool CopyOver(const std::string& source, const std::string& target, const struct stat& st,
              std::optional<uint32_t> attributes) {
  std::string temp = ParentOf(target) + "/." + BaseName(target) + ".sxcopy";
  if (!CopyContent(source, temp, st.st_mode & 0777)) {
    uint32_t error = ThreadError();
    unlink(temp.c_str());
    return Fail(error);
  }
  timespec times[2] = {st.st_atim, st.st_mtim};
  utimensat(AT_FDCWD, temp.c_str(), times, 0);
  chmod(temp.c_str(), st.st_mode & 07777);
  if (attributes) StoreAttributes(temp, *attributes);
  if (rename(temp.c_str(), target.c_str()) != 0) {
    uint32_t error = WinErrorFromErrno(errno);
    unlink(temp.c_str());
    return Fail(error);
  }
  return true;
}

// Windows name masks: '*' any run, '?' one character, ignoring case; "*.*" is everything,
// "name.*" also takes "name" without extension and "name." only names without one.
bool MaskMatches(std::u16string_view mask, std::u16string_view name) {
  size_t m = 0, n = 0, starM = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || UnicodeUpper(mask[m]) == UnicodeUpper(name[n]))) {
      ++m, ++n;
    } else if (m < mask.size() && mask[m] == u'*') {
      starM = m++;
      starN = n;
    } else if (starM != std::u16string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

bool NameMatches(std::u16string mask, std::u16string_view name) {
  if (mask == u"*.*") return true;
  if (MaskMatches(mask, name)) return true;
  bool nameHasDot = name.find(u'.') != std::u16string_view::npos;
  if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, u".*") == 0 && !nameHasDot)
    return MaskMatches(std::u16string_view(mask).substr(0, mask.size() - 2), name);
  if (!mask.empty() && mask.back() == u'.' && !nameHasDot)
    return MaskMatches(std::u16string_view(mask).substr(0, mask.size() - 1), name);
  return false;
}

}  // namespace

std::optional<FileInfo> PosixHost::GetFileInfo(std::string_view path) {
  MappedEntry entry;
  auto host = Map(path, &entry);
  if (!host) return std::nullopt;
  if (entry.state == MappedEntry::State::kMissing) {
    Fail(kErrorFileNotFound);
    return std::nullopt;
  }
  struct stat st;
  if (entry.KnownStat(st)) return InfoOf(*host, st, false);
  if (stat(host->c_str(), &st) != 0) {
    FailMissing(*host);
    return std::nullopt;
  }
  return InfoOf(*host, st);
}

bool PosixHost::SetFileAttributes(std::string_view path, uint32_t attributes) {
  MappedEntry entry;
  auto host = Map(path, &entry);
  if (!host) return false;
  if (entry.state == MappedEntry::State::kMissing) return Fail(kErrorFileNotFound);
  struct stat st;
  if (!entry.KnownStat(st) && stat(host->c_str(), &st) != 0) return FailMissing(*host);
  if (!S_ISDIR(st.st_mode) && chmod(host->c_str(), ModeWithAttributes(st.st_mode, attributes)) != 0)
    return Fail(WinErrorFromErrno(errno));
  StoreAttributes(*host, attributes == kAttrNormal ? 0 : attributes);
  return true;
}

bool PosixHost::SetFileTimes(std::string_view path, const FileTime*, const FileTime* lastAccess,
                             const FileTime* lastWrite) {
  auto host = Map(path);
  if (!host) return false;
  const TimesArgument argument(lastAccess, lastWrite);
  if (utimensat(AT_FDCWD, host->c_str(), argument.times, 0) != 0)
    return errno == ENOENT ? FailMissing(*host) : Fail(WinErrorFromErrno(errno));
  return true;
}

bool PosixHost::CreateFolder(std::string_view path) {
  auto host = Map(path);
  if (!host) return false;
  if (mkdir(host->c_str(), 0777) == 0) {
    paths_->NoteCreated(*host);
    return true;
  }
  if (errno == ENOENT) return Fail(kErrorPathNotFound);
  return Fail(WinErrorFromErrno(errno));
}

bool PosixHost::RemoveFolder(std::string_view path) {
  auto host = Map(path);
  if (!host) return false;
  struct stat st;
  if (lstat(host->c_str(), &st) != 0) return FailMissing(*host);
  if (S_ISLNK(st.st_mode)) {
    struct stat target;
    if (stat(host->c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return Fail(kErrorDirectory);
    if (unlink(host->c_str()) != 0) return Fail(WinErrorFromErrno(errno));
    paths_->NoteRemoved(*host);
    return true;
  }
  if (!S_ISDIR(st.st_mode)) return Fail(kErrorDirectory);
  if (auto stored = StoredAttributes(*host); stored && (*stored & kAttrReadOnly))
    return Fail(kErrorAccessDenied);
  if (rmdir(host->c_str()) == 0) {
    paths_->NoteRemoved(*host);
    return true;
  }
  return Fail(errno == EEXIST || errno == ENOTEMPTY ? kErrorDirNotEmpty : WinErrorFromErrno(errno));
}

bool PosixHost::DeleteFile(std::string_view path) {
  MappedEntry entry;
  auto host = Map(path, &entry);
  if (!host || RefusedInUse(path)) return false;
  if (entry.state == MappedEntry::State::kMissing) return Fail(kErrorFileNotFound);
  struct stat st = entry.link;
  if (entry.state == MappedEntry::State::kUnknown && lstat(host->c_str(), &st) != 0) return FailMissing(*host);
  if (S_ISDIR(st.st_mode)) return Fail(kErrorAccessDenied);
  if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return Fail(kErrorAccessDenied);
  if (unlink(host->c_str()) != 0) return Fail(WinErrorFromErrno(errno));
  paths_->NoteRemoved(*host);
  return true;
}

bool PosixHost::MoveFile(std::string_view from, std::string_view to, bool replaceExisting) {
  MappedEntry sourceEntry, targetEntry;
  auto source = Map(from, &sourceEntry);
  if (!source) return false;
  auto target = Map(to, &targetEntry);
  if (!target || RefusedInUse(from, to)) return false;
  struct stat st;
  if (sourceEntry.state == MappedEntry::State::kMissing) return Fail(kErrorFileNotFound);
  if (sourceEntry.state == MappedEntry::State::kPresent)
    st = sourceEntry.link;
  else if (lstat(source->c_str(), &st) != 0)
    return FailMissing(*source);
  if (*source == *target) {
    // The same entry, perhaps spelled with other letter cases: a rename to the new spelling.
    auto full = NormalizeWindowsPath(to, CurrentFolder());
    std::string wanted = full ? ansi_->ToUtf8(full->substr(full->find_last_of('\\') + 1)) : "";
    if (wanted.empty() || wanted == BaseName(*source)) return true;
    std::string renamed = ParentOf(*source) + "/" + wanted;
    if (rename(source->c_str(), renamed.c_str()) != 0) return Fail(WinErrorFromErrno(errno));
    paths_->NoteRemoved(*source);
    paths_->NoteCreated(renamed);
    return true;
  }
  struct stat existing;
  const bool targetExists = targetEntry.state == MappedEntry::State::kPresent
                                ? (existing = targetEntry.link, true)
                                : targetEntry.state == MappedEntry::State::kUnknown &&
                                      lstat(target->c_str(), &existing) == 0;
  if (targetExists) {
    if (!replaceExisting) return Fail(kErrorAlreadyExists);
    if (S_ISDIR(existing.st_mode) || S_ISDIR(st.st_mode)) return Fail(kErrorAccessDenied);
    if (!(existing.st_mode & S_IWUSR)) return Fail(kErrorAccessDenied);
  } else if (targetEntry.state == MappedEntry::State::kUnknown && !FolderExists(ParentOf(*target))) {
    return Fail(kErrorPathNotFound);
  }
  if (rename(source->c_str(), target->c_str()) != 0) {
    if (errno != EXDEV || S_ISDIR(st.st_mode)) return Fail(WinErrorFromErrno(errno));
    // Another file system: copy, then remove the original (MOVEFILE_COPY_ALLOWED).
    if (!CopyOver(*source, *target, st, StoredAttributes(*source))) return false;
    unlink(source->c_str());
  }
  paths_->NoteMoved(*source, *target);
  return true;
}

bool PosixHost::CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
  auto source = Map(from);
  if (!source) return false;
  auto target = Map(to);
  if (!target || RefusedInUse(to)) return false;
  struct stat st;
  if (stat(source->c_str(), &st) != 0) return FailMissing(*source);
  if (S_ISDIR(st.st_mode)) return Fail(kErrorAccessDenied);
  struct stat existing;
  if (stat(target->c_str(), &existing) == 0) {
    if (failIfExists) return Fail(kErrorFileExists);
    if (S_ISDIR(existing.st_mode) || !(existing.st_mode & S_IWUSR)) return Fail(kErrorAccessDenied);
    if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) return Fail(kErrorSharingViolation);
  } else if (!FolderExists(ParentOf(*target))) {
    return Fail(kErrorPathNotFound);
  }
  if (auto room = RoomOnDrive(to)) {
    const uint64_t replaced = stat(target->c_str(), &existing) == 0 ? static_cast<uint64_t>(existing.st_size) : 0;
    if (static_cast<uint64_t>(st.st_size) > *room + replaced) return Fail(kErrorDiskFull);
  }
  if (!CopyOver(*source, *target, st, AttributesOf(*source, st))) return false;
  paths_->NoteCreated(*target);
  return true;
}

std::optional<uint64_t> PosixHost::RoomOnDrive(std::string_view path) {
  if (driveSizes_->Empty()) return std::nullopt;
  auto full = NormalizeWindowsPath(path, CurrentFolder());
  if (!full || full->size() < 3 || (*full)[1] != ':') return std::nullopt;
  const auto size = driveSizes_->SizeOf((*full)[0]);
  if (!size) return std::nullopt;
  const auto root = paths_->ToHost(full->substr(0, 3));
  char resolved[PATH_MAX];
  if (!root || !realpath(root->c_str(), resolved)) return std::nullopt;
  const uint64_t used = BytesBelow(resolved);
  return used >= *size ? 0 : *size - used;
}

namespace {

// Windows' sharing rules between the handles of one file, in this and other processes: a handle
// that denies writing keeps writers out, and cannot be had while one writes. Byte 0 of the file
// carries a shared lock of every handle that denies writing, byte 1 one of every handle that
// writes (open-file-description locks, which go with the handle and are released when it is
// closed). Handles of one kind share; a handle takes its own locks first and then looks for a
// lock of the other kind, so of two handles racing at least one is refused, never neither.
bool TakeShareLocks(int fd, bool writes, bool deniesWrite) {
  constexpr off_t kDenyWriteByte = 0, kWriterByte = 1;
  auto lockByte = [fd](off_t byte) {
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
  };
  // Whether another handle holds a lock on the byte.
  auto heldElsewhere = [fd](off_t byte) {
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = byte;
    probe.l_len = 1;
    return fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
  };
  if (deniesWrite && !lockByte(kDenyWriteByte)) return false;
  if (writes && !lockByte(kWriterByte)) return false;
  if (deniesWrite && heldElsewhere(kWriterByte)) return false;
  if (writes && heldElsewhere(kDenyWriteByte)) return false;
  return true;
}

}  // namespace

std::unique_ptr<File> PosixHost::OpenFile(std::string_view path, OpenOptions options) {
  MappedEntry entry;
  auto host = Map(path, &entry);
  if (!host) return nullptr;
  int flags = O_CLOEXEC;
  bool writable = true;
  switch (options.mode) {
    case OpenMode::kRead: flags |= O_RDONLY, writable = false; break;
    case OpenMode::kReadWrite: flags |= O_RDWR; break;
    case OpenMode::kCreateAlways: flags |= O_RDWR | O_CREAT; break;
    case OpenMode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    case OpenMode::kOpenAlways: flags |= O_RDWR | O_CREAT; break;
  }
  struct stat st;
  const bool exists = entry.KnownStat(st) ||
                      (entry.state != MappedEntry::State::kMissing && stat(host->c_str(), &st) == 0);
  if (exists && S_ISDIR(st.st_mode)) {
    Fail(kErrorAccessDenied);
    return nullptr;
  }
  if (exists && options.mode == OpenMode::kCreateNew) {
    Fail(kErrorFileExists);
    return nullptr;
  }
  if (exists && writable && !(st.st_mode & S_IWUSR)) {
    Fail(kErrorAccessDenied);
    return nullptr;
  }
  if (exists && writable && RefusedInUse(path)) return nullptr;
  if (!exists && (options.mode == OpenMode::kRead || options.mode == OpenMode::kReadWrite)) {
    FailMissing(*host);
    return nullptr;
  }
  int fd = open(host->c_str(), flags, 0666);
  if (fd < 0) {
    if (errno == ENOENT) FailMissing(*host);
    else if (errno == EEXIST) Fail(kErrorFileExists);
    else Fail(WinErrorFromErrno(errno));
    return nullptr;
  }
  auto file = std::make_unique<PosixFile>(fd, writable);
  if (writable) {
    if (auto room = RoomOnDrive(path)) file->LimitSize((exists ? static_cast<uint64_t>(st.st_size) : 0) + *room);
  }
  if (!TakeShareLocks(fd, writable, options.denyWrite)) {
    Fail(kErrorSharingViolation);
    return nullptr;
  }
  if (!exists) paths_->NoteCreated(*host);
  // Truncate only once the share check passed, so a refused open changes nothing. An empty file
  // only gets the new modification time: truncating it would make ext4 start writing the next
  // content back at close (its guard for files rewritten in place), which costs every staged file
  // of an installation a synchronous flush.
  if (options.mode == OpenMode::kCreateAlways && exists) {
    const timespec touched[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    if (st.st_size == 0 ? futimens(fd, touched) != 0 : ftruncate(fd, 0) != 0) {
      Fail(WinErrorFromErrno(errno));
      return nullptr;
    }
  }
  return file;
}

std::optional<std::vector<FindEntry>> PosixHost::FindFiles(std::string_view mask) {
  auto full = NormalizeWindowsPath(mask, CurrentFolder());
  if (!full) {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  size_t slash = full->find_last_of('\\');
  std::string folder = full->substr(0, slash + 1);
  std::string pattern = full->substr(slash + 1);
  auto host = paths_->ToHost(folder);
  if (!host) return std::nullopt;
  DIR* dir = opendir(host->c_str());
  if (!dir) {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  const bool driveRoot = folder.size() == 3;
  const std::u16string wanted = ansi_->ToUtf16(pattern);
  std::vector<FindEntry> entries;
  while (dirent* e = readdir(dir)) {
    std::string_view name = e->d_name;
    if (driveRoot && (name == "." || name == "..")) continue;
    std::string ansiName = ansi_->FromUtf8(name);
    if (pattern.empty() || !NameMatches(wanted, ansi_->ToUtf16(ansiName))) continue;
    std::string entryPath = *host + (host->back() == '/' ? "" : "/") + std::string(name);
    struct stat st;
    if (stat(entryPath.c_str(), &st) != 0 && lstat(entryPath.c_str(), &st) != 0) continue;
    entries.push_back({ansiName, InfoOf(entryPath, st)});
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(), [this](const FindEntry& a, const FindEntry& b) {
    return CompareLocale(a.name, b.name, true) < 0;
  });
  if (entries.empty()) Fail(kErrorFileNotFound);
  return entries;
}

std::optional<DiskSpace> PosixHost::GetDiskSpace(std::string_view path) {
  auto host = Map(path);
  if (!host) return std::nullopt;
  std::string existing = *host;
  while (!FolderExists(existing) && existing != "/") existing = ParentOf(existing);
  struct statvfs vfs;
  if (statvfs(existing.c_str(), &vfs) != 0) {
    Fail(WinErrorFromErrno(errno));
    return std::nullopt;
  }
  DiskSpace space;
  space.freeBytesAvailable = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  space.totalBytes = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  space.freeBytes = static_cast<uint64_t>(vfs.f_bfree) * vfs.f_frsize;
  if (auto room = RoomOnDrive(path)) {
    space.totalBytes = *driveSizes_->SizeOf(NormalizeWindowsPath(path, CurrentFolder())->front());
    space.freeBytes = std::min(space.freeBytes, *room);
    space.freeBytesAvailable = std::min(space.freeBytesAvailable, *room);
  }
  return space;
}

}  // namespace sx::host
