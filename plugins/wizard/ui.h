// The building blocks of the wizard's dialogs on the terminal: a page (title, body, key line),
// a list to choose from, a line of typed text (shown or hidden), a yes/no question.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plugins/wizard/terminal.h"

namespace sxwizard {

// kSkip: the page has nothing to ask (any more); the wizard goes on the way it came.
enum class PageResult { kNext, kBack, kCancel, kSkip };

// Clears the screen and draws a page: the title line, a rule, the body lines, and the key line
// at the bottom.
void DrawPage(const std::string& title, const std::vector<std::string>& body, const std::string& keys);

// A list page: Up and Down move the cursor, Enter takes the entry under it (its index in
// `chosen`). `describe` gives lines shown below the list for the entry under the cursor.
PageResult ChooseFromList(const std::string& title, const std::vector<std::string>& intro,
                          const std::vector<std::string>& entries, size_t& chosen,
                          const std::function<std::vector<std::string>(size_t)>& describe);

// A line of text typed below `prompt` lines; `hidden` shows nothing of it (passwords). Enter
// gives kNext, Left on an empty hidden line and Escape give kBack / kCancel. `error` is shown
// above the input, e.g. after a refused entry.
PageResult ReadLine(const std::string& title, const std::vector<std::string>& prompt, std::string& text,
                    bool hidden, const std::string& error, bool allowBack = true);

// Waits for y or n (Enter takes `byDefault`).
bool AskYesNo(const std::string& title, const std::vector<std::string>& question, bool byDefault);

// Waits for Enter (or input's end).
void WaitForEnter(const std::string& title, const std::vector<std::string>& body);

}  // namespace sxwizard
