// Small file steps that the install actions share: temporary files beside a target, deleting a
// file without losing its attributes when the deletion fails, and moving a backup out of the
// engine's temporary folder so that it survives the folder's removal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/host.h"

namespace sx {

// Creates an empty file named `prefix` (at most 3 characters), up to four hexadecimal digits and
// ".tmp" in the folder, as GetTempFileName does; its full path, "" when none could be made.
std::string CreateTempFileIn(std::string_view folder, std::string_view prefix);

// The same, keeping the new file open for writing (TsxUnpacker::HandOverOutput takes it).
struct OpenTempFile {
  std::string path;  // "" when none could be made
  std::unique_ptr<host::File> file;
};
OpenTempFile CreateOpenTempFileIn(std::string_view folder, std::string_view prefix);

// Clears a read-only attribute and deletes the file. When the deletion fails the file keeps the
// attributes it had. True when the file is gone (or was never there).
bool DeleteFileKeepingAttributes(std::string_view path);
// The same for a file whose attributes the caller has just read.
bool DeleteFileKeepingAttributes(std::string_view path, uint32_t attributes);

// Copies the file with its last-write time and attributes, replacing the target. Unlike a plain
// copy it fails when the time or the attributes could not be given to the copy, so that a backup
// or a restored file is never silently different from the original.
bool CopyFileExactly(std::string_view source, std::string_view target);

// The file exists (and is no folder).
bool FileExistsAt(std::string_view path);

}  // namespace sx
