// A picture of the simulated machine for tests that must leave it as they found it (rollback):
// every file's bytes, DOS attributes and last-write time, the folder tree (not folder times, which
// change with their contents), and the registry value by value (not key write times, which
// Windows changes on its own too).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/host.h"

namespace sx::test {

struct MachineSnapshot {
  // "file C:\a.txt", "folder C:\dir", "key HKLM\Software\X", "value HKLM\Software\X\\Name" with
  // a description of what was found.
  std::map<std::string, std::string> entries;
};

// Walks the folders (Windows paths such as "C:\") and the registry roots HKLM, HKCU and HKU
// through the current host. Paths starting with one of `excluded` (ignoring case) are left out,
// e.g. the engine's own temporary folder.
MachineSnapshot TakeSnapshot(const std::vector<std::string>& folders = {"C:\\"},
                             const std::vector<std::string>& excluded = {});

// What differs, one line per entry ("" when the snapshots are equal), for readable failures.
std::string SnapshotDifference(const MachineSnapshot& before, const MachineSnapshot& after);

}  // namespace sx::test
