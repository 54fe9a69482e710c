// The mark of a running engine in its temporary folder, and the clean-up of the folders that
// engines left behind when they were killed.
//
// Every run keeps the file "Running.lck" in its TempDir open with write access, denying others
// the right to write, until it ends. An engine that dies (killed, crashed, the machine switched
// off) cannot delete its folder, but the system closes its handle: the next run finds a folder
// whose lock file nobody holds and removes it. Folders that hold a resume state belong to an
// installation waiting for its reboot and are never touched.
#pragma once

#include <memory>
#include <string_view>

#include "host/host.h"

namespace sx {

inline constexpr char kRunLockFile[] = "Running.lck";

// Creates and holds the lock file in `tempDir`; nullptr when it cannot be made.
std::unique_ptr<host::File> LockRunFolder(std::string_view tempDir);

// Removes this run's temporary folder, its lock file last: a folder that could not be removed
// completely stays recognisable, and the next run removes the rest. True when it is gone.
bool RemoveRunFolder(std::string_view tempDir);

// Removes the temporary folders of dead engines from the system temporary folder: folders named
// with an 8-character unique name that are empty, or hold a lock file nobody holds and no resume
// state. The number removed.
int RemoveDeadRunFolders();

}  // namespace sx
