// Message boxes on the Win32 host: the system's own, unless SX_MSGBOX_ANSWERS scripts the
// answers (tests). Every box is one line on standard error and in the trace, in the same words
// the simulated machine uses.
#include "host/win32/win32_api.h"

#include <cstdio>

#include "host/message_box_answers.h"
#include "host/win32/win32_host_impl.h"

namespace sx::host {

int Win32Host::NextScriptedAnswer() {
  std::lock_guard lock(mutex_);
  while (nextAnswer_ < scriptedAnswers_.size())
    if (int answer = ParseMessageBoxAnswer(scriptedAnswers_[nextAnswer_++])) return answer;
  return 0;
}

int Win32Host::MessageBox(std::string_view title, std::string_view text, uint32_t style) {
  const intptr_t owner = TakeNextBoxOwner();
  int answer = NextScriptedAnswer();
  if (!answer)
    answer = MessageBoxA(reinterpret_cast<HWND>(owner), std::string(text).c_str(),
                         std::string(title).c_str(), style);
  if (!answer) answer = kIdCancel;  // the box could not be shown
  char styleText[16];
  std::snprintf(styleText, sizeof styleText, "0x%08X", style);
  const char* answerName = MessageBoxAnswerName(answer);  // a system box may answer otherwise
  std::string line = "title=" + QuoteTraceText(title) + " text=" + QuoteTraceText(text) +
                     " style=" + styleText + " answer=" + (answerName ? answerName : "IDOK");
  if (owner) line += " owner=" + std::to_string(owner);
  std::fprintf(stderr, "messagebox %s\n", AnsiToUtf8(line).c_str());
  Trace("messagebox", line);
  return answer;
}

}  // namespace sx::host
