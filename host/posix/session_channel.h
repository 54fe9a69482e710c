// The question whether the session may end, between the processes of one machine.
//
// A process that answers it announces itself with a file "<machine>/sessions/<pid>" that names a
// local socket; the socket lives beside it, or in /tmp when that path would be too long for a
// socket. The machine's shutdown (sxtool machine shutdown) connects to each announced socket,
// writes "may-end\n" and reads "yes\n" or "no\n". The announcing process answers when it serves
// its queries (ServeQueries), which the engine does on its main thread whenever it serves its
// message queue; an entry whose process is gone is ignored and removed by the asking side.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sx::host {

class SessionChannel {
 public:
  // Announces the calling process on the machine; Announced() tells whether it worked.
  explicit SessionChannel(const std::string& machineFolder);
  // Withdraws the announcement.
  ~SessionChannel();
  SessionChannel(const SessionChannel&) = delete;
  SessionChannel& operator=(const SessionChannel&) = delete;

  bool Announced() const { return socket_ >= 0; }
  // Answers every question waiting now with `answer()`, without waiting for new ones.
  void ServeQueries(const std::function<bool()>& answer);

 private:
  int socket_ = -1;
  std::string socketPath_, entryPath_;
};

// An announced process of the machine.
struct SessionPeer {
  int pid = 0;
  std::string socketPath;
};

// The announced processes that are still alive; entries of dead processes are removed.
std::vector<SessionPeer> ListSessionPeers(const std::string& machineFolder);
// Asks one process whether the session may end: its answer, or nothing when it gave none within
// `timeoutMs`.
std::optional<bool> AskSessionEnd(const SessionPeer& peer, int timeoutMs);
// True while the process exists.
bool ProcessAlive(int pid);

}  // namespace sx::host
