// Text routines the whole engine relies on: editing, quoting and searching texts.
//
// Texts are 8-bit ANSI strings; positions are 1-based and 0 means "not found". No routine keeps
// state. This header also brings in the companion groups: tokens and fields (tokens.h), numbers
// as text (number_text.h), wildcards (wildcard.h), command lines (command_line.h) and the
// fixed-table case routines (case_tables.h).
#pragma once

#include <string>
#include <string_view>

#include "util/case_tables.h"
#include "util/command_line.h"
#include "util/number_text.h"
#include "util/tokens.h"
#include "util/wildcard.h"

namespace sx {

// Every occurrence of `oldText` replaced by `newText`, left to right, case-sensitive; inserted
// text is not searched again. An empty `oldText` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText);

// The text without any occurrence of `c`.
std::string RemoveChar(std::string_view text, char c);
// The text without spaces.
std::string RemoveSpaces(std::string_view text);

// Position of the n-th occurrence of `sub`. Each search starts one byte after the start of the
// previous occurrence, so overlapping occurrences count. 0 when there are fewer, when n < 1 or
// when `sub` is empty.
int NthPos(std::string_view sub, std::string_view text, int n);

// The text preceded by as many `c` as make it `length` long; unchanged when it is that long
// already.
std::string PadLeft(char c, std::string_view text, int length);

// The text before the first `c` (the whole text when there is none), and the text after it
// ("" when there is none).
std::string TextBefore(std::string_view text, char c);
std::string TextAfter(std::string_view text, char c);
// The name and the value of a "name=value" text.
std::string NameOf(std::string_view text);
std::string ValueOf(std::string_view text);

// When the text begins with `quote`: the bytes up to the matching closing quote, with each
// doubled quote inside taken as one; anything after the closing quote is dropped, and without a
// closing quote the rest of the text is taken. Any other text is returned unchanged.
std::string Unquote(std::string_view text, char quote);

// The text without leading and trailing blanks and control characters (bytes up to ' ').
std::string Trim(std::string_view text);

// The text converted from the ANSI to the OEM code page of the machine (for batch files).
std::string ToOem(std::string_view text);

// A language text with an argument: the first "%s" takes the argument, "%%" stands for "%",
// anything else (a further "%s", "%d", a lone "%") stays as it is.
std::string FormatLanguageText(std::string_view format, std::string_view argument);

}  // namespace sx
