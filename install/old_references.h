// What an earlier installation at the same place left behind, removed before the files are
// installed: the shortcuts, the empty folders and the product's uninstall entries an older
// install log lists. Only what plainly belongs to that log is touched (full paths, links, the
// uninstall entries whose uninstaller names this log); links and entries are recorded so that a
// rollback brings them back, folders are removed only when empty.
#pragma once

#include <string>

namespace sx {

// Reads the log at `logPath` (an earlier installation's) and removes its references.
void RemoveOldReferencesFromLog(const std::string& logPath);

}  // namespace sx
