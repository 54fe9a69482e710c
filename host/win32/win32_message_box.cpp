// Message boxes on the Win32 host: the system's own, unless SX_MSGBOX_ANSWERS scripts the
// answers (tests). Every box is one line on standard error and in the trace, in the same words
// the simulated machine uses.
#include "host/win32/win32_api.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

struct AnswerName {
  int id;
  const char* name;
};

constexpr AnswerName kAnswers[] = {
    {kIdOk, "IDOK"},         {kIdCancel, "IDCANCEL"}, {kIdAbort, "IDABORT"},
    {kIdRetry, "IDRETRY"},   {kIdIgnore, "IDIGNORE"}, {kIdYes, "IDYES"},
    {kIdNo, "IDNO"},         {kIdTryAgain, "IDTRYAGAIN"}, {kIdContinue, "IDCONTINUE"},
};

const char* AnswerText(int id) {
  for (const auto& a : kAnswers)
    if (a.id == id) return a.name;
  return "IDOK";
}

// "IDYES", "YES" or "6"; 0 when it is none of them.
int ParseAnswer(const std::string& text) {
  for (const auto& a : kAnswers)
    if (_stricmp(text.c_str(), a.name) == 0 || _stricmp(text.c_str(), a.name + 2) == 0) return a.id;
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  for (const auto& a : kAnswers)
    if (end && *end == '\0' && a.id == n) return a.id;
  return 0;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"' || c == '\\') out += '\\', out += c;
    else out += c;
  }
  return out + "\"";
}

}  // namespace

int Win32Host::NextScriptedAnswer() {
  std::lock_guard lock(mutex_);
  while (nextAnswer_ < scriptedAnswers_.size())
    if (int answer = ParseAnswer(scriptedAnswers_[nextAnswer_++])) return answer;
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
  std::string line = "title=" + Quote(title) + " text=" + Quote(text) + " style=" + styleText +
                     " answer=" + AnswerText(answer);
  if (owner) line += " owner=" + std::to_string(owner);
  std::fprintf(stderr, "messagebox %s\n", AnsiToUtf8(line).c_str());
  Trace("messagebox", line);
  return answer;
}

}  // namespace sx::host
