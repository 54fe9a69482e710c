// Named mutexes of the simulated machine.
//
// A named mutex is a lock file "<machine>/mutexes/<encoded name>" held with flock(): another
// process that makes the same mutex finds the lock taken, which is what CreateMutex reports as
// ERROR_ALREADY_EXISTS. The lock goes with the handle (and with the process).
#include <fcntl.h>
#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/posix/posix_host_impl.h"

namespace sx::host {
namespace {

// Every byte outside [A-Za-z0-9] as "%XX", so that any name (backslashes included) is one file.
std::string EncodeName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

class LockFileMutex final : public NamedMutex {
 public:
  LockFileMutex(int fd, bool existed) : fd_(fd), existed_(existed) {}
  ~LockFileMutex() override { close(fd_); }
  bool AlreadyExisted() override { return existed_; }

 private:
  int fd_;
  bool existed_;
};

}  // namespace

std::unique_ptr<NamedMutex> PosixHost::CreateNamedMutex(std::string_view name) {
  // A backslash separates a namespace ("Global\", "Local\") from the name, as in Windows'
  // object names: any other backslash names a namespace that does not exist. "Local\" is the
  // session's own namespace, where names without one live too.
  constexpr std::string_view kLocal = "Local\\", kGlobal = "Global\\";
  if (name.substr(0, kLocal.size()) == kLocal) name.remove_prefix(kLocal.size());
  std::string_view plain = name;
  if (plain.substr(0, kGlobal.size()) == kGlobal) plain.remove_prefix(kGlobal.size());
  if (plain.find('\\') != std::string_view::npos) {
    SetLastError(kErrorPathNotFound);
    return nullptr;
  }
  const std::string folder = machineFolder_ + "/mutexes";
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    SetLastError(kErrorAccessDenied);
    return nullptr;
  }
  // Mutex names are case-sensitive on Windows; the encoding keeps them apart.
  const std::string path = folder + "/" + EncodeName(name).substr(0, 240);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(kErrorAccessDenied);
    return nullptr;
  }
  const bool existed = flock(fd, LOCK_EX | LOCK_NB) != 0;
  SetLastError(existed ? kErrorAlreadyExists : kErrorSuccess);
  return std::make_unique<LockFileMutex>(fd, existed);
}

}  // namespace sx::host
