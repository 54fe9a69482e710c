// Splitting a Windows command line into arguments by the rules Windows programs use
// (CommandLineToArgvW): the program name runs to the first blank or, when quoted, to the next
// quote; after it, 2n backslashes before a quote give n backslashes and the quote toggles quoting,
// 2n+1 give n backslashes and a literal quote, "" inside quotes is a literal quote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sx::host {

std::vector<std::string> SplitWindowsCommandLine(std::string_view commandLine);

}  // namespace sx::host
