// How the engine reads the lines of its INI-style files. Kept at the lowest layer so that the
// engine's INI document (util/line_io.h, util/ini_file.h) and the machine's settings file
// (host/posix/machine_settings.h) read lines by the same rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sx::host {

// Appends `data` up to its first CR to `line`, leaving out every LF: a line ends at CR, and LF is
// dropped wherever it stands (so CR LF and LF CR end a line once). Returns the bytes used, the CR
// included; `ended` tells whether the CR was found (else all of `data` was used and the line may
// go on in the bytes that follow).
size_t TakeIniLine(std::string_view data, std::string& line, bool* ended);

// Removes the leading and trailing bytes up to and including the space (control characters, NUL).
void TrimIniControls(std::string& line);

// Removes the spaces and TABs directly before and after the first "=".
void TrimAroundFirstEquals(std::string& line);

}  // namespace sx::host
