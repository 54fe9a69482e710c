#include "tests/plugins/wizard/tmux_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/packages/cabinet_layout.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

constexpr auto kPatience = std::chrono::seconds(30);
constexpr auto kPoll = std::chrono::milliseconds(50);

}  // namespace

TmuxSession::TmuxSession(const std::string& folder, const std::string& command, int width, int height)
    : socket_(folder + "/tmux.socket"), exitFile_(folder + "/exit-status") {
  const std::string wrapped = command + "; echo $? > " + ShellQuote(exitFile_) + "; sleep 600";
  const std::string line = Tmux() + " new-session -d -x " + std::to_string(width) + " -y " + std::to_string(height) +
                           " " + ShellQuote("TERM=xterm " + wrapped);
  EXPECT_EQ(RunCommand(line), 0) << line;
}

TmuxSession::~TmuxSession() { RunCommand(Tmux() + " kill-server 2>/dev/null"); }

std::string TmuxSession::Tmux() const { return "tmux -f /dev/null -S " + ShellQuote(socket_); }

std::string TmuxSession::Screen() const {
  std::string screen;
  RunCommand(Tmux() + " capture-pane -p", &screen);
  return screen;
}

std::string TmuxSession::WaitFor(const std::string& text) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  std::string screen = Screen();
  while (screen.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(kPoll);
    screen = Screen();
  }
  EXPECT_NE(screen.find(text), std::string::npos) << "waited for \"" << text << "\"; the screen:\n" << screen;
  return screen;
}

void TmuxSession::Keys(const std::string& keys, bool literal) const {
  RunCommand(Tmux() + " send-keys " + (literal ? "-l " + ShellQuote(keys) : keys));
}

int TmuxSession::ExitStatus() {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  std::string status = ReadHostFile(exitFile_);
  while (status.empty() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(kPoll);
    status = ReadHostFile(exitFile_);
  }
  return status.empty() ? -1 : std::atoi(status.c_str());
}

}  // namespace sx::test
