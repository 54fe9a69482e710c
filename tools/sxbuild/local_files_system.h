// The few system calls that local_files.cpp's shared code needs, one implementation per system
// (local_files_posix.cpp, local_files_win32.cpp).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace sx::build {

[[noreturn]] void FailOn(const std::string& what, const std::string& path, int error);

uint32_t CurrentProcessId();
// True only when no process with this ID runs (a process we may not look at counts as running).
bool ProcessIsGone(uint32_t id);
// True when the path itself (a link not followed) is a folder.
bool IsFolderEntry(const std::string& path);
// Renames `from` to `to`, replacing a file `to`; throws BuildError on failure.
void RenameLocalFile(const std::string& from, const std::string& to);
// Makes the folder's entries (renames) durable where the system needs that; failures are ignored.
void SyncFolder(const std::string& folder);
// The local time of `seconds` since 1970; false when it has none.
bool LocalTimeOf(int64_t seconds, std::tm& out);

}  // namespace sx::build
