// The font phase (kind 5): installing the fonts the file phase staged, and registering them with
// the system (a font resource and a value under the fonts key).
#pragma once

#include <string>
#include <string_view>

namespace sx {

// "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Fonts\" on Windows 9x, else the Windows NT key.
std::string FontsKey();

// Installs the staged font file at `target` under `fontName`: an already registered font is
// replaced in place (backed up, no new registration, never logged); a ".ttf" is registered as
// "<name> (TrueType)"; a different file already at the target makes the font take a new 8-character
// name in the same folder. The copy is recorded by a file action (flag reg_font; dont_log unless
// `log`); a new font gets a font resource, its value under FontsKey() and a WM_FONTCHANGE
// broadcast. False when the copy, the resource or the registry value failed.
bool InstallFont(const std::string& fontName, const std::string& stagedFile, std::string target, bool log);

// Every staged font in the action list when the phase starts, in list order, offered to the
// plug-ins and installed. False, after "Cannot register font "<name>".", at the first failure.
bool RegisterFonts();

}  // namespace sx
