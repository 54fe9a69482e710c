// File-system services of the engine: unique names, folder trees, block copies with progress,
// free space, renames and deletions at the next reboot, and exiting Windows. Failures are
// reported by results, never raised (except the I/O errors of rewriting wininit.ini).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "util/folder_path.h"
#include "util/unique_name.h"

namespace sx {

constexpr size_t kCopyBlockSize = 0x20000;

// The path's attributes can be read and include the folder bit.
bool FolderExistsAt(std::string_view path);

// Deletes everything in the folder (read-only files too), then, with `removeFolder`, the folder
// itself. Entries whose names start with '.' are left alone, and with them the folder. Symbolic
// links are removed as links, never followed. False when anything could not be deleted.
bool DeleteFolderTree(std::string_view path, bool removeFolder);

// Sets the attributes to normal, then deletes.
bool DeleteFileForced(std::string_view path);

// The size of the first match of a directory search on the path; -1 when nothing is found.
int64_t FileSizeOf(std::string_view path);

// The last-write time, local, at DOS resolution, as a date-time (days since 1899-12-30 with the
// time of day as fraction); 0 when the file is missing.
double FileDateOf(std::string_view path);

// The short (8.3) form of a path; the path unchanged when the system gives none.
std::string ShortPathOf(std::string_view path);

// Called after each block: source, target, bytes of this block, total size, bytes so far.
// Answering false stops the copy with failure.
using CopyProgressHandler =
    std::function<bool(std::string_view, std::string_view, uint32_t, uint32_t, uint32_t)>;
// Called on each block before it is written; may change the bytes in place.
using CopyBlockHandler = std::function<void(char* data, uint32_t size)>;

// Copies in blocks of 128 KB, appending to the target or replacing it, and gives the target the
// source's last-write time and attributes; false when any of that failed (a partly written
// target stays: the caller decides).
bool CopyFileBlocks(std::string_view source, std::string_view target,
                    const CopyProgressHandler& progress, bool append,
                    const CopyBlockHandler& block);
bool CopyFilePlain(std::string_view source, std::string_view target);

// The whole file; "" when it cannot be opened or is empty.
std::string ReadWholeFile(std::string_view path);

// Kilobytes free to the caller on the folder's drive, at most 2147483647; 0 for a missing folder.
int64_t DiskFreeKB(std::string_view folder);

// Moves `source` to `target` (or deletes it when `target` is empty) at the next reboot: the
// registry's pending renames on Windows NT, the [Rename] section of wininit.ini on Windows 9x.
void RenameAtReboot(std::string_view source, std::string_view target);
void DeleteAtReboot(std::string_view path);
// Takes back what RenameAtReboot registered for `source` (Windows NT's pending renames: the pair
// of the source and the deletion of its target registered with it). Rollback uses it for the
// changes it undoes. Windows 9x's wininit.ini is left as it is.
void WithdrawRebootOperations(std::string_view source);

// Exits Windows with the ExitWindowsEx flags (reboot 2, force 4, ...).
bool ExitWindowsPrivileged(uint32_t flags);
bool RebootSystem(bool force);

// Where the pending renames of Windows NT live.
inline constexpr char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr char kPendingRenamesValue[] = "PendingFileRenameOperations";

}  // namespace sx
