// Splitting a Windows command line into the program and its parameters.
#pragma once

#include <string>
#include <string_view>

namespace sx {

struct CommandLineParts {
  std::string program;     // the first argument, without quotes
  std::string parameters;  // the other arguments, re-joined (see SplitCommandLine)
};

// Reads the arguments of a command line one by one:
// - bytes below "!" (control characters and spaces) before an argument are skipped, and so is
//   a pair of double quotes standing there;
// - an argument runs up to the next byte below "!", except inside a quoted part, which runs from
//   a double quote to the next one (or the end) and may hold any byte; the quotes themselves are
//   not part of the argument.
// The first argument is the program; the others are joined with single spaces, each one that
// holds a byte below "!" enclosed in double quotes. Empty arguments (a lone '"' at the end) are
// left out of the parameters.
CommandLineParts SplitCommandLine(std::string_view commandLine);

}  // namespace sx
