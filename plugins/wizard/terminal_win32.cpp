// The terminal on Windows: the console in virtual-terminal mode, so keys arrive as the same byte
// sequences a POSIX terminal sends and the screen takes the same ANSI sequences.
#include <windows.h>

#include "plugins/wizard/terminal.h"

namespace sxwizard {
namespace {

HANDLE Input() { return GetStdHandle(STD_INPUT_HANDLE); }
HANDLE Output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

bool ScreenInfo(CONSOLE_SCREEN_BUFFER_INFO& info) {
  return GetConsoleScreenBufferInfo(Output(), &info) != FALSE;
}

}  // namespace

bool Terminal::Present() {
  DWORD mode = 0;
  return GetConsoleMode(Input(), &mode) && GetConsoleMode(Output(), &mode);
}

struct Terminal::RawMode::Saved {
  DWORD input = 0, output = 0;
};

Terminal::RawMode::RawMode() {
  Saved before;
  if (!GetConsoleMode(Input(), &before.input) || !GetConsoleMode(Output(), &before.output)) return;
  // No line buffering, no echo, and Ctrl-C arrives as a key (the wizard asks before it cancels).
  const DWORD input = (before.input & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                          ENABLE_PROCESSED_INPUT)) |
                      ENABLE_VIRTUAL_TERMINAL_INPUT;
  if (!SetConsoleMode(Input(), input)) return;
  SetConsoleMode(Output(), before.output | ENABLE_VIRTUAL_TERMINAL_PROCESSING | ENABLE_PROCESSED_OUTPUT);
  saved_ = std::make_unique<Saved>(before);
}

Terminal::RawMode::~RawMode() {
  if (!saved_) return;
  SetConsoleMode(Input(), saved_->input);
  SetConsoleMode(Output(), saved_->output);
}

std::string Terminal::ReadPending() {
  std::string bytes;
  char buffer[64];
  DWORD n = 0;
  if (!ReadFile(Input(), buffer, sizeof buffer, &n, nullptr) || n == 0) return bytes;
  bytes.append(buffer, n);
  while (bytes[0] == 0x1B && bytes.size() < 8) {
    if (WaitForSingleObject(Input(), 50) != WAIT_OBJECT_0) break;
    if (!ReadFile(Input(), buffer, sizeof buffer, &n, nullptr) || n == 0) break;
    bytes.append(buffer, n);
  }
  return bytes;
}

int Terminal::Width() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  return ScreenInfo(info) ? info.srWindow.Right - info.srWindow.Left + 1 : 80;
}

int Terminal::Height() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  return ScreenInfo(info) ? info.srWindow.Bottom - info.srWindow.Top + 1 : 24;
}

void Terminal::Write(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    DWORD n = 0;
    if (!WriteFile(Output(), text.data() + done, static_cast<DWORD>(text.size() - done), &n, nullptr) || n == 0)
      return;
    done += n;
  }
}

}  // namespace sxwizard
