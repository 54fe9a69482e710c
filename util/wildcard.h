// Wildcard patterns: "*" stands for any run of bytes (also none), "?" for exactly one byte.
#pragma once

#include <string_view>

namespace sx {

// True when the text holds "*" or "?".
bool HasWildcards(std::string_view text);

// Position of the first place in `text` where `pattern` matches, "?" matching any one byte and
// every other byte (including "*") itself; 0 when there is none or the pattern is empty.
int WildPos(std::string_view pattern, std::string_view text);

// True when the whole text matches the pattern. With `ignoreCase` both are upper-cased by the
// user's locale (the current host) first. Equal texts always match and "*" matches any text;
// otherwise an empty text or pattern matches nothing.
bool MatchesWildcard(std::string_view text, std::string_view pattern, bool ignoreCase);

}  // namespace sx
