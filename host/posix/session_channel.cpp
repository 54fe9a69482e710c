#include "host/posix/session_channel.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sx::host {
namespace {

constexpr char kQuestion[] = "may-end\n";

std::string SessionsFolder(const std::string& machineFolder) { return machineFolder + "/sessions"; }

bool FitsSocketAddress(const std::string& path) { return path.size() < sizeof(sockaddr_un{}.sun_path); }

sockaddr_un AddressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// A file descriptor closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads one line (without its LF) until `deadline`; nothing when none came in time.
std::optional<std::string> ReadLine(int fd, std::chrono::steady_clock::time_point deadline) {
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return std::nullopt;
    char c;
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    if (c == '\n') return line;
    if (line.size() > 64) return std::nullopt;  // no answer of ours is that long
    line += c;
  }
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    text.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

}  // namespace

bool ProcessAlive(int pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

SessionChannel::SessionChannel(const std::string& machineFolder) {
  const std::string folder = SessionsFolder(machineFolder);
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return;
  const std::string pid = std::to_string(getpid());
  entryPath_ = folder + "/" + pid;
  socketPath_ = entryPath_ + ".sock";
  if (!FitsSocketAddress(socketPath_)) socketPath_ = "/tmp/sxsession-" + pid + ".sock";
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  unlink(socketPath_.c_str());  // left by an earlier process with this number
  const sockaddr_un address = AddressOf(socketPath_);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0) {
    close(fd);
    return;
  }
  std::ofstream entry(entryPath_, std::ios::binary | std::ios::trunc);
  entry << socketPath_ << '\n';
  if (!entry.flush()) {
    close(fd);
    unlink(socketPath_.c_str());
    return;
  }
  socket_ = fd;
}

SessionChannel::~SessionChannel() {
  if (socket_ < 0) return;
  close(socket_);
  unlink(socketPath_.c_str());
  unlink(entryPath_.c_str());
}

void SessionChannel::ServeQueries(const std::function<bool()>& answer) {
  if (socket_ < 0) return;
  for (;;) {
    Descriptor connection(accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC));
    if (connection.get() < 0) return;  // nobody waiting (or an error): serve again later
    // The asking side writes its question at once; one that does not is not waited for long.
    const auto question = ReadLine(connection.get(), std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
    if (!question || *question + "\n" != kQuestion) continue;
    WriteAll(connection.get(), answer() ? "yes\n" : "no\n");
  }
}

std::vector<SessionPeer> ListSessionPeers(const std::string& machineFolder) {
  std::vector<SessionPeer> peers;
  const std::string folder = SessionsFolder(machineFolder);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return peers;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  closedir(dir);
  for (const std::string& name : names) {
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos || name.size() > 9) continue;
    const int pid = std::stoi(name);
    const std::string entryPath = folder + "/" + name;
    if (!ProcessAlive(pid)) {
      // A process that ended without withdrawing: its entry and socket are stale.
      std::ifstream in(entryPath);
      std::string socketPath;
      std::getline(in, socketPath);
      if (!socketPath.empty()) unlink(socketPath.c_str());
      unlink(entryPath.c_str());
      continue;
    }
    std::ifstream in(entryPath);
    SessionPeer peer;
    peer.pid = pid;
    std::getline(in, peer.socketPath);
    if (!peer.socketPath.empty() && FitsSocketAddress(peer.socketPath)) peers.push_back(peer);
  }
  return peers;
}

std::optional<bool> AskSessionEnd(const SessionPeer& peer, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  Descriptor fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return std::nullopt;
  const sockaddr_un address = AddressOf(peer.socketPath);
  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return std::nullopt;
  if (!WriteAll(fd.get(), kQuestion)) return std::nullopt;
  const auto reply = ReadLine(fd.get(), deadline);
  if (!reply) return std::nullopt;
  if (*reply == "yes") return true;
  if (*reply == "no") return false;
  return std::nullopt;
}

}  // namespace sx::host
