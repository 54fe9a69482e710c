// A program run in a real terminal: a detached tmux session on a server of its own, keys typed
// with send-keys and the screen read with capture-pane.
#pragma once

#include <string>

namespace sx::test {

class TmuxSession {
 public:
  // Starts `command` (a shell command line) in a `width` x `height` terminal; its exit status
  // is written to a file, read by ExitStatus.
  TmuxSession(const std::string& folder, const std::string& command, int width = 100, int height = 40);
  ~TmuxSession();
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  // Waits until the screen shows `text` (at most 30 seconds); the screen then.
  std::string WaitFor(const std::string& text);
  std::string Screen() const;
  // Keys in tmux's notation ("Enter", "Space", "Down", "C-u", or literal text with `literal`).
  void Keys(const std::string& keys, bool literal = false) const;
  // Waits for the program's end (at most 30 seconds) and gives its exit status, -1 when it did
  // not end.
  int ExitStatus();

 private:
  std::string Tmux() const;
  std::string socket_, exitFile_;
};

}  // namespace sx::test
