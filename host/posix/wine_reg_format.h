// Wine's registry text format ("WINE REGISTRY Version 2"), read and written byte for byte as Wine
// does, so that Wine reads what we write and a file Wine wrote comes back out unchanged.
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to REGISTRY\\Machine
//
//   #arch=win64
//
//   [Software\\Key\\Sub] 1796624957          key path (escaped), last write in Unix seconds
//   #time=1dd861448d8f63c                    last write as a FILETIME, in hex
//   #class="text"                            optional class name
//   #link                                    optional: the key is a symbolic link
//   @="default value"                        REG_SZ
//   "name"=str(2):"%SystemRoot%"             REG_EXPAND_SZ (str(7): REG_MULTI_SZ, "\0" between)
//   "n"=dword:0000002a                       REG_DWORD
//   "b"=hex:01,02,\                          REG_BINARY, continued on the next line
//     03
//   "q"=hex(b):2a,00,00,00,00,00,00,00       any other type by its number
//
// Strings are UTF-16 written as ASCII: "\\", "\"" (and "\[", "\]" in key paths), C escapes for
// control characters (\a \b \t \n \v \f \r \e), octal for other control characters ("\0"; three
// digits when an octal digit follows) and "\x" with the hex UTF-16 unit for everything above
// 127 ("\xe9"; four digits when a hex digit follows, since the reader takes up to four). Keys
// appear depth-first with sub-keys ordered by lower-cased name; a key with sub-keys but no values,
// class or link is implied by its sub-keys and not written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "host/posix/registry_hive.h"

namespace sx::host {

// Parses the whole text of a registry file. Raises MachineError naming `fileName` and the line
// for anything Wine would not have written (or could not read).
HiveContent ParseWineRegistry(std::string_view text, const std::string& fileName);

// The text of a registry file for the tree, exactly as Wine would write it.
std::string FormatWineRegistry(const HiveContent& content);

// Appends `text` escaped as Wine writes strings; `quote1`/`quote2` are the characters that also
// get a backslash ('"' in values, '[' and ']' in key paths). Every unit is written, a NUL at the
// end too (names keep it; string data leaves its terminator out before calling). Returns the
// number of characters appended.
size_t AppendWineEscaped(std::string& out, std::u16string_view text, char quote1, char quote2);

// Reads an escaped string from `text` at `pos` up to the unescaped character `end` into `out`
// (replacing its content; raw UTF-8 bytes are accepted too). Returns the position after `end`,
// or std::string_view::npos when `end` never comes.
size_t ParseWineString(std::string_view text, size_t pos, char end, std::u16string& out);

}  // namespace sx::host
