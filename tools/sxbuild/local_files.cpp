#include "tools/sxbuild/local_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <ctime>

namespace sx::build {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw BuildError(what + " " + Quoted(path) + ": " + SystemErrorText(error));
}

void ListInto(const std::string& folder, const std::string& prefix, std::vector<LocalFile>& out) {
  for (const std::string& name : ListFolderNames(folder)) {
    const std::string path = folder + "/" + name;
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    struct stat link;
    if (::lstat(path.c_str(), &link) != 0) Fail("cannot read", path, errno);
    struct stat st = link;
    if (S_ISLNK(link.st_mode) && ::stat(path.c_str(), &st) != 0)
      throw BuildError(Quoted(path) + " is a link that leads nowhere (" + SystemErrorText(errno) + ")");
    if (S_ISDIR(st.st_mode)) {
      if (S_ISLNK(link.st_mode))
        throw BuildError(Quoted(path) + " is a link to a folder; links to folders are not followed");
      ListInto(path, relative, out);
    } else if (S_ISREG(st.st_mode)) {
      std::string target;
      if (S_ISLNK(link.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        target = real ? real : path;
        std::free(real);
      }
      out.push_back({relative, path, std::move(target), static_cast<uint64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec), (st.st_mode & S_IWUSR) == 0});
    } else {
      throw BuildError(Quoted(path) + " is neither a file nor a folder");
    }
  }
}

}  // namespace

std::string SystemErrorText(int error) { return std::strerror(error); }

void InstallInterruptHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void CheckInterrupted() {
  if (g_interrupted) throw BuildError("interrupted; nothing was written");
}

std::string ReadLocalFile(const std::string& path) {
  InputFile file(path);
  std::string bytes(file.Size(), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t n = file.Read(bytes.data() + done, bytes.size() - done);
    if (n == 0) throw BuildError(Quoted(path) + " became shorter while it was read");
    done += n;
  }
  return bytes;
}

bool IsLocalFolder(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return false;
    Fail("cannot read", path, errno);
  }
  if (!S_ISDIR(st.st_mode)) throw BuildError(Quoted(path) + " is not a folder");
  return true;
}

std::vector<std::string> ListFolderNames(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) Fail("cannot read the folder", folder, errno);
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  const int error = errno;
  ::closedir(dir);
  if (error != 0) Fail("cannot read the folder", folder, error);
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

uint32_t DosDateTimeOf(int64_t seconds) {
  const time_t when = static_cast<time_t>(seconds);
  struct tm local = {};
  if (!localtime_r(&when, &local) || local.tm_year < 80) return (0u << 25 | 1u << 21 | 1u << 16);
  if (local.tm_year > 80 + 127) return 127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u;
  const uint32_t date = static_cast<uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
  const uint32_t time = static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  return date << 16 | time;
}

// ---- InputFile

InputFile::InputFile(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) Fail("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    const int error = errno;
    ::close(fd_);
    Fail("cannot read", path, error);
  }
  size_ = static_cast<uint64_t>(st.st_size);
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

size_t InputFile::Read(void* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) Fail("cannot read", path_, errno);
  }
}

bool InputFile::ReadAt(uint64_t offset, size_t count, void* out) {
  auto* p = static_cast<char*>(out);
  while (count > 0) {
    const ssize_t n = ::pread(fd_, p, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read", path_, errno);
    if (n == 0) return false;
    p += n;
    offset += static_cast<uint64_t>(n);
    count -= static_cast<size_t>(n);
  }
  return true;
}

// ---- OutputFile

OutputFile::OutputFile(std::string path, int mode) : path_(std::move(path)) {
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd_ < 0) Fail("cannot create", path_, errno);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::Write(const void* data, size_t size) {
  CheckInterrupted();
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("cannot write", path_, n < 0 ? errno : ENOSPC);
    p += n;
    size -= static_cast<size_t>(n);
    size_ += static_cast<uint64_t>(n);
  }
}

void OutputFile::Append(int fromFd, uint64_t offset, uint64_t count, const std::string& fromName) {
  loff_t in = static_cast<loff_t>(offset);
  bool kernelCopy = true;
  while (count > 0) {
    CheckInterrupted();
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(count, 1u << 30));
    if (kernelCopy) {
      const ssize_t n = ::copy_file_range(fromFd, &in, fd_, nullptr, piece, 0);
      if (n > 0) {
        count -= static_cast<uint64_t>(n);
        size_ += static_cast<uint64_t>(n);
        continue;
      }
      if (n == 0) throw BuildError(Quoted(fromName) + " is shorter than expected");
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        Fail("cannot copy into", path_, errno);
      kernelCopy = false;  // fall back to reading and writing
    }
    std::vector<char> buffer(std::min<uint64_t>(count, 1u << 20));
    const ssize_t n = ::pread(fromFd, buffer.data(), std::min<uint64_t>(count, buffer.size()), in);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read", fromName, errno);
    if (n == 0) throw BuildError(Quoted(fromName) + " is shorter than expected");
    Write(buffer.data(), static_cast<size_t>(n));
    in += n;
    count -= static_cast<uint64_t>(n);
  }
}

void OutputFile::AppendFile(const std::string& sourcePath) {
  InputFile source(sourcePath);
  // The input file's descriptor is private; copy through a second descriptor of the same file.
  const int fd = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open", sourcePath, errno);
  try {
    Append(fd, 0, source.Size(), sourcePath);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

void OutputFile::Finish() {
  if (fd_ < 0) return;
  if (::fsync(fd_) != 0) Fail("cannot write", path_, errno);
  if (::close(fd_) != 0) {
    fd_ = -1;
    Fail("cannot write", path_, errno);
  }
  fd_ = -1;
}

// ---- OutputSet

std::vector<std::string> RemoveStaleTemporaryOutputs(const std::string& folder) {
  constexpr std::string_view kMark = ".sxbuild-";
  std::vector<std::string> removed;
  for (const std::string& name : ListFolderNames(folder)) {
    const size_t mark = name.rfind(kMark);
    if (name[0] != '.' || mark == std::string::npos || mark == 0) continue;
    const std::string digits = name.substr(mark + kMark.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t process = static_cast<pid_t>(std::stol(digits));
    // A process that exists (or that we may not signal) may still be writing its outputs.
    if (process <= 0 || process == ::getpid() || ::kill(process, 0) == 0 || errno != ESRCH) continue;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) removed.push_back(name);
  }
  return removed;
}

OutputSet::OutputSet(std::string folder) : folder_(std::move(folder)) {}

OutputSet::~OutputSet() {
  if (committed_) return;
  for (Item& item : items_) {
    const std::string temp = item.file->path();
    item.file.reset();
    ::unlink(temp.c_str());
  }
}

OutputFile& OutputSet::Create(const std::string& finalName, int mode) {
  const std::string temp = folder_ + "/." + finalName + ".sxbuild-" + std::to_string(::getpid());
  ::unlink(temp.c_str());  // a leftover of an earlier build that was killed with this process ID
  items_.push_back({std::make_unique<OutputFile>(temp, mode), folder_ + "/" + finalName});
  return *items_.back().file;
}

void OutputSet::Commit() {
  // Renames only fail on what the folder holds already: look before the first one.
  for (Item& item : items_) {
    struct stat st;
    if (::lstat(item.finalPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      throw BuildError(Quoted(item.finalPath) + " is a folder; the output cannot take its place");
  }
  for (Item& item : items_) item.file->Finish();
  for (Item& item : items_) {
    if (::rename(item.file->path().c_str(), item.finalPath.c_str()) != 0)
      Fail("cannot rename the finished output to", item.finalPath, errno);
  }
  committed_ = true;
  // The folder entries of the renames reach the disk too.
  const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// ---- FileCabStorage

FileCabStorage::FileCabStorage(OutputSet& outputs, OutputFile& first,
                               std::function<std::string(int)> cabinetName)
    : outputs_(outputs), cabinetName_(std::move(cabinetName)) {
  files_.push_back(&first);
  scratchFd_ = ::open(outputs_.folder().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (scratchFd_ < 0) {
    // Without unnamed files: a named one, removed at once.
    std::string pattern = outputs_.folder() + "/.sxbuild-scratch-XXXXXX";
    scratchFd_ = ::mkstemp(pattern.data());
    if (scratchFd_ < 0) Fail("cannot create a scratch file in", outputs_.folder(), errno);
    ::unlink(pattern.c_str());
  }
}

FileCabStorage::~FileCabStorage() {
  if (scratchFd_ >= 0) ::close(scratchFd_);
}

OutputFile& FileCabStorage::FileOf(int cabinet) {
  while (static_cast<int>(files_.size()) <= cabinet)
    files_.push_back(&outputs_.Create(cabinetName_(static_cast<int>(files_.size())), 0644));
  return *files_[static_cast<size_t>(cabinet)];
}

void FileCabStorage::Write(int cabinet, const void* data, size_t size) { FileOf(cabinet).Write(data, size); }

void FileCabStorage::WriteScratch(const void* data, size_t size) {
  CheckInterrupted();
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(scratchFd_, p, size, static_cast<off_t>(scratchSize_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("cannot write a scratch file in", outputs_.folder(), n < 0 ? errno : ENOSPC);
    p += n;
    size -= static_cast<size_t>(n);
    scratchSize_ += static_cast<uint64_t>(n);
  }
}

void FileCabStorage::MoveScratch(int cabinet) {
  FileOf(cabinet).Append(scratchFd_, 0, scratchSize_, "the scratch file");
  if (::ftruncate(scratchFd_, 0) != 0) Fail("cannot reuse a scratch file in", outputs_.folder(), errno);
  scratchSize_ = 0;
}

}  // namespace sx::build
