// Message boxes of the POSIX host. A box is answered, in this order, by the next scripted answer
// (SX_MSGBOX_ANSWERS, a comma-separated list such as "IDYES,IDNO,1", then [MessageBoxes] Answers
// of sxmachine.ini), by the user on a terminal (when standard input and standard error are both
// terminals), or else by the default: the box's default button, or [MessageBoxes] Default.
// Every box is written to standard error and to the trace as one line.
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "host/message_box_answers.h"
#include "host/posix/posix_host_impl.h"

namespace sx::host {
namespace {

// The buttons of a box style (MB_OK, MB_OKCANCEL, ... MB_CANCELTRYCONTINUE).
std::vector<int> ButtonsOf(uint32_t style) {
  switch (style & 0xF) {
    case 1: return {kIdOk, kIdCancel};
    case 2: return {kIdAbort, kIdRetry, kIdIgnore};
    case 3: return {kIdYes, kIdNo, kIdCancel};
    case 4: return {kIdYes, kIdNo};
    case 5: return {kIdRetry, kIdCancel};
    case 6: return {kIdCancel, kIdTryAgain, kIdContinue};
    default: return {kIdOk};
  }
}

}  // namespace

int PosixHost::NextScriptedAnswer() {
  std::lock_guard lock(mutex_);
  while (nextAnswer_ < scriptedAnswers_.size()) {
    if (int answer = ParseMessageBoxAnswer(scriptedAnswers_[nextAnswer_++])) return answer;
  }
  return 0;
}

int PosixHost::MessageBox(std::string_view title, std::string_view text, uint32_t style) {
  const std::vector<int> buttons = ButtonsOf(style);
  size_t defaultIndex = (style >> 8) & 0xF;
  if (defaultIndex >= buttons.size()) defaultIndex = 0;
  int answer = NextScriptedAnswer();
  if (!answer && isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) {
    std::fprintf(stderr, "\n[%s]\n%s\n", AnsiToUtf8(title).c_str(), AnsiToUtf8(text).c_str());
    for (size_t i = 0; i < buttons.size(); ++i)
      std::fprintf(stderr, "  %zu) %s%s\n", i + 1, MessageBoxAnswerLabel(buttons[i]),
                   i == defaultIndex ? " (default)" : "");
    std::fprintf(stderr, "choice: ");
    std::string line;
    if (std::getline(std::cin, line)) {
      unsigned long pick = std::strtoul(line.c_str(), nullptr, 10);
      answer = (pick >= 1 && pick <= buttons.size()) ? buttons[pick - 1] : buttons[defaultIndex];
    }
  }
  if (!answer) {
    std::string fallback = settings_.Get("MessageBoxes", "Default", "default");
    answer = strcasecmp(fallback.c_str(), "default") == 0 ? 0 : ParseMessageBoxAnswer(fallback);
    if (!answer) answer = buttons[defaultIndex];
  }
  char styleText[16];
  std::snprintf(styleText, sizeof styleText, "0x%08X", style);
  std::string line = "title=" + QuoteTraceText(AnsiToUtf8(title)) + " text=" + QuoteTraceText(AnsiToUtf8(text)) +
                     " style=" + styleText + " answer=" + MessageBoxAnswerName(answer);
  if (const intptr_t owner = TakeNextBoxOwner()) line += " owner=" + std::to_string(owner);
  std::fprintf(stderr, "messagebox %s\n", line.c_str());
  Trace("messagebox", Utf8ToAnsi(line));
  return answer;
}

}  // namespace sx::host
