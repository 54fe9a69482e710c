// The builder's file work on POSIX systems.
#include "tools/sxbuild/local_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "tools/sxbuild/local_files_system.h"

namespace sx::build {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

int Fd(intptr_t handle) { return static_cast<int>(handle); }

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) { FailOn(what, path, error); }

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

void FailOn(const std::string& what, const std::string& path, int error) {
  throw BuildError(what + " " + Quoted(path) + ": " + SystemErrorText(error));
}

std::string SystemErrorText(int error) { return std::strerror(error); }

std::string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string self(path, static_cast<size_t>(n));
  const size_t cut = self.find_last_of('/');
  return cut == std::string::npos ? "." : self.substr(0, cut);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

bool ProcessIsGone(uint32_t id) {
  return id <= static_cast<uint32_t>(INT_MAX) && ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

bool IsFolderEntry(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void RenameLocalFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot rename the finished output to", to, errno);
}

void SyncFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

bool LocalTimeOf(int64_t seconds, std::tm& out) {
  const time_t when = static_cast<time_t>(seconds);
  return localtime_r(&when, &out) != nullptr;
}

std::optional<LocalFile> LocalFileFacts(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  LocalFile file;
  file.path = path;
  file.size = static_cast<uint64_t>(st.st_size);
  file.modified = static_cast<int64_t>(st.st_mtim.tv_sec);
  file.readOnly = (st.st_mode & S_IWUSR) == 0;
  return file;
}

std::string RealLocalPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return {};
  std::string out = real;
  std::free(real);
  return out;
}

void CheckFolderWritable(const std::string& folder) {
  if (::access(folder.c_str(), W_OK) != 0)
    throw BuildError("cannot write into the output folder \"" + folder + "\": " + SystemErrorText(errno));
}

bool RemoveLocalFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

void InstallInterruptHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void CheckInterrupted() {
  if (g_interrupted) throw BuildError("interrupted; nothing was written");
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

// ---- InputFile

InputFile::InputFile(const std::string& path) : path_(path) {
  handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle_ < 0) Fail("cannot open", path, errno);
  struct stat st;
  if (::fstat(Fd(handle_), &st) != 0) {
    const int error = errno;
    ::close(Fd(handle_));
    Fail("cannot read", path, error);
  }
  size_ = static_cast<uint64_t>(st.st_size);
  ::posix_fadvise(Fd(handle_), 0, 0, POSIX_FADV_SEQUENTIAL);
}

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(Fd(handle_));
}

size_t InputFile::Read(void* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(Fd(handle_), buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) Fail("cannot read", path_, errno);
  }
}

bool InputFile::ReadAt(uint64_t offset, size_t count, void* out) {
  auto* p = static_cast<char*>(out);
  while (count > 0) {
    const ssize_t n = ::pread(Fd(handle_), p, count, static_cast<off_t>(offset));
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
  handle_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (handle_ < 0) Fail("cannot create", path_, errno);
}

OutputFile::~OutputFile() {
  if (handle_ >= 0) ::close(Fd(handle_));
}

void OutputFile::Write(const void* data, size_t size) {
  CheckInterrupted();
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(Fd(handle_), p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("cannot write", path_, n < 0 ? errno : ENOSPC);
    p += n;
    size -= static_cast<size_t>(n);
    size_ += static_cast<uint64_t>(n);
  }
}

void OutputFile::Append(intptr_t from, uint64_t offset, uint64_t count, const std::string& fromName) {
  loff_t in = static_cast<loff_t>(offset);
  bool kernelCopy = true;
  while (count > 0) {
    CheckInterrupted();
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(count, 1u << 30));
    if (kernelCopy) {
      const ssize_t n = ::copy_file_range(Fd(from), &in, Fd(handle_), nullptr, piece, 0);
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
    const ssize_t n = ::pread(Fd(from), buffer.data(), std::min<uint64_t>(count, buffer.size()), in);
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
  if (handle_ < 0) return;
  if (::fsync(Fd(handle_)) != 0) Fail("cannot write", path_, errno);
  if (::close(Fd(handle_)) != 0) {
    handle_ = -1;
    Fail("cannot write", path_, errno);
  }
  handle_ = -1;
}

// ---- FileCabStorage

FileCabStorage::FileCabStorage(OutputSet& outputs, OutputFile& first,
                               std::function<std::string(int)> cabinetName)
    : outputs_(outputs), cabinetName_(std::move(cabinetName)) {
  files_.push_back(&first);
  scratch_ = ::open(outputs_.folder().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (scratch_ < 0) {
    // Without unnamed files: a named one, removed at once.
    std::string pattern = outputs_.folder() + "/.sxbuild-scratch-XXXXXX";
    scratch_ = ::mkstemp(pattern.data());
    if (scratch_ < 0) Fail("cannot create a scratch file in", outputs_.folder(), errno);
    ::unlink(pattern.c_str());
  }
}

FileCabStorage::~FileCabStorage() {
  if (scratch_ >= 0) ::close(Fd(scratch_));
}

void FileCabStorage::WriteScratch(const void* data, size_t size) {
  CheckInterrupted();
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(Fd(scratch_), p, size, static_cast<off_t>(scratchSize_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("cannot write a scratch file in", outputs_.folder(), n < 0 ? errno : ENOSPC);
    p += n;
    size -= static_cast<size_t>(n);
    scratchSize_ += static_cast<uint64_t>(n);
  }
}

void FileCabStorage::MoveScratch(int cabinet) {
  FileOf(cabinet).Append(scratch_, 0, scratchSize_, "the scratch file");
  if (::ftruncate(Fd(scratch_), 0) != 0) Fail("cannot reuse a scratch file in", outputs_.folder(), errno);
  scratchSize_ = 0;
}

}  // namespace sx::build
