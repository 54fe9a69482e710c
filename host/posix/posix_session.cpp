// The end of the session on the POSIX host: the process is announced in the machine folder and
// answers the machine's shutdown through a local socket (session_channel.h). Ending the session
// from a program asks the same question of every other engine first.
#include "host/posix/posix_host_impl.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "host/posix/thread_error.h"

namespace sx::host {
namespace {

constexpr uint32_t kExitWindowsForce = 0x4;
constexpr auto kAnswerTime = std::chrono::seconds(10);
// How often a busy main thread looks for questions at most; the asking side waits seconds.
constexpr auto kSessionPollInterval = std::chrono::milliseconds(10);

// Asks every other announced process whether the session may end; true when all agreed within
// the answer time. A process that agrees ends by itself (it saves what it needs to resume).
bool OthersAgreeToEnd(const std::string& machineFolder) {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
  for (const SessionPeer& peer : ListSessionPeers(machineFolder)) {
    if (peer.pid == getpid()) continue;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!AskSessionEnd(peer, left.count() > 0 ? static_cast<int>(left.count()) : 0).value_or(false)) return false;
  }
  return true;
}

}  // namespace

bool PosixHost::ExitWindows(uint32_t flags) {
  char text[64];
  std::snprintf(text, sizeof text, "flags=0x%X", flags);
  // As on Windows, a forced end asks nobody; otherwise one refusal (or silence) keeps the session,
  // and a nested setup's reboot thus interrupts the setup that started it only when it agrees.
  if (!(flags & kExitWindowsForce) && !OthersAgreeToEnd(machineFolder_)) {
    std::fprintf(stderr, "exitwindows %s refused: another process keeps the session\n", text);
    Trace("exitwindows", std::string(text) + " refused");
    Fail(kErrorCancelled);
    return false;
  }
  std::fprintf(stderr, "exitwindows %s (recorded; 'sxtool machine reboot' performs it)\n", text);
  Trace("exitwindows", text);
  return true;
}

bool PosixHost::AnnounceSession() {
  if (session_) return true;
  auto channel = std::make_unique<SessionChannel>(machineFolder_);
  if (!channel->Announced()) return false;
  session_ = std::move(channel);
  return true;
}

void PosixHost::WithdrawSession() { session_.reset(); }

void PosixHost::ServeSessionQueries(const std::function<bool()>& answer) {
  if (!session_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < nextSessionPoll_) return;
  nextSessionPoll_ = now + kSessionPollInterval;
  session_->ServeQueries(answer);
}

}  // namespace sx::host
