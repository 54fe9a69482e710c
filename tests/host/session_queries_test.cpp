// The engine's answer to the machine's shutdown while its main thread serves its queue as fast
// as it can (as during the file phase): the socket is looked at only now and then, yet an asking
// process still gets its answer at once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <optional>
#include <thread>

#include "host/host.h"
#include "host/posix/session_channel.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

TEST(SessionQueries, ABusyServerAnswersEveryQuestionPromptly) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.AnnounceSession());
  std::vector<SessionPeer> peers = ListSessionPeers(machine.folder());
  ASSERT_EQ(peers.size(), 1u);
  EXPECT_EQ(peers[0].pid, getpid());

  std::atomic<bool> stop{false};
  std::atomic<int> answers{0};
  std::thread server([&] {
    while (!stop) {
      host.ServeSessionQueries([&] {
        ++answers;
        return answers % 2 == 1;  // yes, then no
      });
    }
  });
  // Two questions in a row: each gets the answer of its own turn within the time it allows.
  const std::optional<bool> first = AskSessionEnd(peers[0], 5000);
  const std::optional<bool> second = AskSessionEnd(peers[0], 5000);
  stop = true;
  server.join();
  EXPECT_EQ(first, std::optional<bool>(true));
  EXPECT_EQ(second, std::optional<bool>(false));
  EXPECT_EQ(answers.load(), 2);
  host.WithdrawSession();
  EXPECT_TRUE(ListSessionPeers(machine.folder()).empty());
}

}  // namespace
}  // namespace sx::host
