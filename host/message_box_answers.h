// The answers of a message box by name, shared by both hosts: how scripted answers are read
// and how a box is written as a trace line.
#pragma once

#include <string>
#include <string_view>

namespace sx::host {

// "IDYES", "yes", the button label "Yes" or the number "6" (case ignored); 0 when it is none.
int ParseMessageBoxAnswer(std::string_view text);

// "IDYES" for 6; nullptr for a number that is no answer.
const char* MessageBoxAnswerName(int id);

// The button's label ("Yes", "Try Again"); nullptr for a number that is no answer.
const char* MessageBoxAnswerLabel(int id);

// The text in double quotes, with line ends, quotes and backslashes escaped: one trace line.
std::string QuoteTraceText(std::string_view text);

}  // namespace sx::host
