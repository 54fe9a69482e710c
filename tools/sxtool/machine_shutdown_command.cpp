// sxtool machine shutdown: ends the machine's session as Windows does when the user logs off. Every
// engine running on the machine is asked whether the session may end; when all agree they are
// left to end, and the command waits for them.
#include <chrono>
#include <cstdio>
#include <thread>

#include "host/posix/session_channel.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"

namespace sx::tool {
namespace {

constexpr auto kAnswerTime = std::chrono::seconds(10);
constexpr auto kExitTime = std::chrono::seconds(10);

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

int MachineShutdown() {
  ToolHost tool;
  const auto peers = sx::host::ListSessionPeers(tool.host().MachineFolder());
  const auto answerDeadline = std::chrono::steady_clock::now() + kAnswerTime;
  bool allAgree = true;
  for (const auto& peer : peers) {
    const auto answer = sx::host::AskSessionEnd(peer, RemainingMs(answerDeadline));
    std::printf("%d %s\n", peer.pid, !answer ? "no answer" : *answer ? "yes" : "no");
    allAgree = allAgree && answer.value_or(false);
  }
  std::fflush(stdout);
  if (!allAgree) {
    std::fprintf(stderr, "sxtool machine shutdown: the session may not end\n");
    return kFailed;
  }
  // The engines that agreed stop waiting for their programs and end by themselves.
  const auto exitDeadline = std::chrono::steady_clock::now() + kExitTime;
  for (const auto& peer : peers)
    while (sx::host::ProcessAlive(peer.pid)) {
      if (RemainingMs(exitDeadline) == 0) {
        std::fprintf(stderr, "sxtool machine shutdown: process %d did not end\n", peer.pid);
        return kFailed;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  return kOk;
}

}  // namespace sx::tool
