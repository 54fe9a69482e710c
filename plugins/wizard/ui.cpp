#include "plugins/wizard/ui.h"

#include <algorithm>

#include "plugins/wizard/screen_text.h"

namespace sxwizard {

void DrawPage(const std::string& title, const std::vector<std::string>& body, const std::string& keys) {
  const int width = Terminal::Width();
  const int height = Terminal::Height();
  std::string screen = "\x1b[H\x1b[2J\x1b[1m" + FitRight(title, width) + "\x1b[0m\n" +
                       std::string(static_cast<size_t>(std::min(width, 78)), '-') + "\n";
  int row = 2;
  for (const std::string& line : body) {
    if (row >= height - 2) break;  // the key line keeps its place
    screen += FitRight(line, width) + "\n";
    ++row;
  }
  screen += "\x1b[" + std::to_string(height) + ";1H" + FitRight(keys, width);
  Terminal::Write(screen);
}

PageResult ChooseFromList(const std::string& title, const std::vector<std::string>& intro,
                          const std::vector<std::string>& entries, size_t& chosen,
                          const std::function<std::vector<std::string>(size_t)>& describe) {
  Terminal::RawMode raw;
  size_t cursor = std::min(chosen, entries.empty() ? 0 : entries.size() - 1);
  for (;;) {
    std::vector<std::string> body = intro;
    body.emplace_back();
    for (size_t i = 0; i < entries.size(); ++i) body.push_back((i == cursor ? "> " : "  ") + entries[i]);
    body.emplace_back();
    if (describe)
      for (std::string& line : describe(cursor)) body.push_back("  " + line);
    DrawPage(title, body, "[Up/Down] Choose  [Enter] Next  [Left] Back  [Esc] Cancel");
    const Key key = Terminal::ReadKey();
    switch (key.kind) {
      case KeyKind::kUp: cursor = cursor > 0 ? cursor - 1 : cursor; break;
      case KeyKind::kDown: cursor = cursor + 1 < entries.size() ? cursor + 1 : cursor; break;
      case KeyKind::kEnter: chosen = cursor; return PageResult::kNext;
      case KeyKind::kLeft: return PageResult::kBack;
      case KeyKind::kEscape: case KeyKind::kInterrupt: case KeyKind::kEnd: return PageResult::kCancel;
      default: break;
    }
  }
}

PageResult ReadLine(const std::string& title, const std::vector<std::string>& prompt, std::string& text,
                    bool hidden, const std::string& error, bool allowBack) {
  Terminal::RawMode raw;
  std::string typed = text;
  for (;;) {
    std::vector<std::string> body = prompt;
    body.emplace_back();
    if (!error.empty()) {
      body.push_back("! " + error);
      body.emplace_back();
    }
    body.push_back("> " + (hidden ? std::string() : typed) + "_");
    DrawPage(title, body,
             std::string("[Enter] Next  [Backspace] Delete  [Ctrl-U] Clear") + (allowBack ? "  [Left] Back" : "") +
                 "  [Esc] Cancel");
    const Key key = Terminal::ReadKey();
    switch (key.kind) {
      case KeyKind::kEnter: text = typed; return PageResult::kNext;
      case KeyKind::kBackspace: if (!typed.empty()) typed.pop_back(); break;
      case KeyKind::kLeft: if (allowBack) return PageResult::kBack; break;
      case KeyKind::kEscape: case KeyKind::kInterrupt: case KeyKind::kEnd: return PageResult::kCancel;
      case KeyKind::kChar:
        if (key.ch == 0x15) typed.clear();  // Ctrl-U
        else if (static_cast<unsigned char>(key.ch) >= 0x20 && typed.size() < 259) typed += key.ch;
        break;
      default: break;
    }
  }
}

bool AskYesNo(const std::string& title, const std::vector<std::string>& question, bool byDefault) {
  Terminal::RawMode raw;
  DrawPage(title, question, byDefault ? "[Y/n]" : "[y/N]");
  for (;;) {
    const Key key = Terminal::ReadKey();
    if (key.kind == KeyKind::kEnter || key.kind == KeyKind::kEnd) return byDefault;
    if (key.kind == KeyKind::kEscape) return false;
    if (key.kind == KeyKind::kChar && (key.ch == 'y' || key.ch == 'Y')) return true;
    if (key.kind == KeyKind::kChar && (key.ch == 'n' || key.ch == 'N')) return false;
  }
}

void WaitForEnter(const std::string& title, const std::vector<std::string>& body) {
  Terminal::RawMode raw;
  DrawPage(title, body, "[Enter] Close");
  for (;;) {
    const Key key = Terminal::ReadKey();
    if (key.kind == KeyKind::kEnter || key.kind == KeyKind::kEnd) return;
  }
}

}  // namespace sxwizard
