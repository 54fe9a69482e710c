#include "host/message_box_answers.h"

#include <cstdlib>

#include "host/host.h"

namespace sx::host {
namespace {

struct Answer {
  int id;
  const char* name;
  const char* label;
};

constexpr Answer kAnswers[] = {
    {kIdOk, "IDOK", "OK"},          {kIdCancel, "IDCANCEL", "Cancel"},
    {kIdAbort, "IDABORT", "Abort"}, {kIdRetry, "IDRETRY", "Retry"},
    {kIdIgnore, "IDIGNORE", "Ignore"}, {kIdYes, "IDYES", "Yes"},
    {kIdNo, "IDNO", "No"},          {kIdTryAgain, "IDTRYAGAIN", "Try Again"},
    {kIdContinue, "IDCONTINUE", "Continue"},
};

const Answer* Find(int id) {
  for (const auto& a : kAnswers)
    if (a.id == id) return &a;
  return nullptr;
}

bool SameAsciiText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

int ParseMessageBoxAnswer(std::string_view text) {
  for (const auto& a : kAnswers) {
    const std::string_view name = a.name;
    if (SameAsciiText(text, name) || SameAsciiText(text, name.substr(2)) || SameAsciiText(text, a.label))
      return a.id;
  }
  const std::string number(text);
  char* end = nullptr;
  const long n = std::strtol(number.c_str(), &end, 10);
  return (end && *end == '\0' && Find(static_cast<int>(n))) ? static_cast<int>(n) : 0;
}

const char* MessageBoxAnswerName(int id) {
  const Answer* a = Find(id);
  return a ? a->name : nullptr;
}

const char* MessageBoxAnswerLabel(int id) {
  const Answer* a = Find(id);
  return a ? a->label : nullptr;
}

std::string QuoteTraceText(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"' || c == '\\') out += '\\', out += c;
    else out += c;
  }
  return out + "\"";
}

}  // namespace sx::host
