#include "util/command_line.h"

#include <algorithm>

namespace sx {

namespace {

// Bytes below "!" separate arguments. Compared unsigned: ANSI letters above 0x7F are ordinary.
inline bool IsSeparator(char c) { return static_cast<unsigned char>(c) < '!'; }

// Reads the next argument from `rest`; false when there is none left.
bool NextArgument(std::string_view& rest, std::string& argument) {
  size_t i = 0;
  for (;;) {
    while (i < rest.size() && IsSeparator(rest[i])) ++i;
    if (i + 1 < rest.size() && rest[i] == '"' && rest[i + 1] == '"') {
      i += 2;
    } else {
      break;
    }
  }
  if (i == rest.size()) {
    rest = {};
    return false;
  }
  argument.clear();
  while (i < rest.size() && !IsSeparator(rest[i])) {
    if (rest[i] == '"') {
      const size_t close = rest.find('"', i + 1);
      const size_t end = close == std::string_view::npos ? rest.size() : close;
      argument.append(rest.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? rest.size() : close + 1;
    } else {
      argument.push_back(rest[i++]);
    }
  }
  rest.remove_prefix(i);
  return true;
}

}  // namespace

CommandLineParts SplitCommandLine(std::string_view commandLine) {
  CommandLineParts parts;
  std::string_view rest = commandLine;
  std::string argument;
  if (!NextArgument(rest, parts.program)) return parts;
  while (NextArgument(rest, argument)) {
    if (argument.empty()) continue;
    if (!parts.parameters.empty()) parts.parameters.push_back(' ');
    if (std::any_of(argument.begin(), argument.end(), IsSeparator)) {
      parts.parameters.append(1, '"').append(argument).append(1, '"');
    } else {
      parts.parameters.append(argument);
    }
  }
  return parts;
}

}  // namespace sx
