// The terminal on POSIX systems: termios for raw keys, poll for the rest of a sequence.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "plugins/wizard/terminal.h"

namespace sxwizard {

bool Terminal::Present() { return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1; }

struct Terminal::RawMode::Saved {
  termios settings{};
};

Terminal::RawMode::RawMode() {
  termios settings{};
  if (::tcgetattr(STDIN_FILENO, &settings) != 0) return;
  termios raw = settings;
  // No line buffering, no echo, and Ctrl-C arrives as a key (the wizard asks before it cancels).
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0)  // keys typed ahead stay
    saved_ = std::make_unique<Saved>(Saved{settings});
}

Terminal::RawMode::~RawMode() {
  if (saved_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->settings);
}

std::string Terminal::ReadPending() {
  std::string bytes;
  char buffer[64];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(n));
    break;
  }
  while (bytes[0] == 0x1B && bytes.size() < 8) {
    pollfd waiting{STDIN_FILENO, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) break;
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

int Terminal::Width() {
  winsize size{};
  return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

int Terminal::Height() {
  winsize size{};
  return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 ? size.ws_row : 24;
}

void Terminal::Write(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace sxwizard
