// Splitting a path that may hold quoted runs (a command line with a quoted program path, an
// argument list): the backslashes inside '...' or "..." do not separate folders.
#pragma once

#include <string>
#include <string_view>

namespace sx {

// The text before the last backslash that stands outside every single- or double-quoted run;
// "" when there is none. An unclosed quote runs to the end of the text.
std::string FolderOutsideQuotes(std::string_view text);

}  // namespace sx
