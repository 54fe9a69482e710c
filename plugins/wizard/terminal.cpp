#include "plugins/wizard/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace sxwizard {

Key DecodeKey(const std::string& bytes, size_t& used) {
  used = 0;
  if (bytes.empty()) return {KeyKind::kEnd, 0};
  used = 1;
  const char c = bytes[0];
  if (c == '\r' || c == '\n') return {KeyKind::kEnter, 0};
  if (c == 0x7F || c == 0x08) return {KeyKind::kBackspace, 0};
  if (c == 0x03) return {KeyKind::kInterrupt, 0};
  if (c != 0x1B) return {KeyKind::kChar, c};
  // ESC [ X or ESC O X are the arrow keys; other sequences are taken whole and ignored.
  if (bytes.size() < 3 || (bytes[1] != '[' && bytes[1] != 'O')) return {KeyKind::kEscape, 0};
  size_t end = 2;
  while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
  if (end == bytes.size()) return {KeyKind::kEscape, 0};
  used = end + 1;
  switch (bytes[end]) {
    case 'A': return {KeyKind::kUp, 0};
    case 'B': return {KeyKind::kDown, 0};
    case 'C': return {KeyKind::kRight, 0};
    case 'D': return {KeyKind::kLeft, 0};
    default: return {KeyKind::kChar, 0};  // a key the wizard does not use
  }
}

bool Terminal::Present() { return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1; }

Terminal::RawMode::RawMode() {
  if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios raw = saved_;
  // No line buffering, no echo, and Ctrl-C arrives as a key (the wizard asks before it cancels).
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;  // keys typed ahead stay
}

Terminal::RawMode::~RawMode() {
  if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

namespace {

// Reads what is waiting, at least one byte; after an Escape, waits briefly for the rest of a
// sequence, because a lone Escape and an arrow key start alike.
std::string ReadPending() {
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

std::string& Pending() {
  static std::string pending;
  return pending;
}

bool& Ended() {
  static bool ended = false;
  return ended;
}

}  // namespace

Key Terminal::ReadKey() {
  std::string& pending = Pending();
  if (pending.empty()) pending = ReadPending();
  size_t used = 0;
  const Key key = DecodeKey(pending, used);
  pending.erase(0, used);
  if (key.kind == KeyKind::kEnd) Ended() = true;
  return key;
}

bool Terminal::InputEnded() { return Ended(); }

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

void Terminal::Clear() { Write("\x1b[H\x1b[2J"); }

}  // namespace sxwizard
