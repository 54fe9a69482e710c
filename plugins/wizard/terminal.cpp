#include "plugins/wizard/terminal.h"

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

namespace {

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

void Terminal::Clear() { Write("\x1b[H\x1b[2J"); }

}  // namespace sxwizard
