// The files a resumed engine finds in its temporary folder, and how start-up recognises folders
// and programs that the engine made itself (only those may be deleted on the strength of a
// command-line switch).
#pragma once

#include <string>
#include <string_view>

namespace sx {

inline constexpr char kResumeDatabaseFile[] = "MainDB";
inline constexpr char kResumeActionsFile[] = "InstallActions";
inline constexpr char kResumeCopyFile[] = "Resume.exe";

// Loads the saved state of an interrupted installation from `tempDir` into the current engine's
// project database and the install-action list: both files must be there and hold documents of
// the right kind. False when they do not; then neither was changed.
bool LoadResumeState(std::string_view tempDir);
// Writes the current engine's project database ("MainDB") and then the install-action list
// ("InstallActions") into `tempDir`; true when both were written.
bool SaveResumeState(std::string_view tempDir);

// A folder the engine made: directly in the system temporary folder, named with an 8-character
// unique name, holding at least one of the engine's resume files.
bool IsEngineTempFolder(std::string_view folder);

// A resume copy of the engine: "sx" and six unique-name characters with ".exe", directly in the
// system temporary folder.
bool IsResumeCopy(std::string_view path);

}  // namespace sx
