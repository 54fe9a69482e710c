// Files the simulated machine treats specially, listed in sxmachine.ini by their Windows paths
// (keys; the value "0" takes a file off the list, any other value keeps it on):
//
//   [FilesInUse]
//   C:\App\busy.dll=       a running program holds it open: deleting, moving, replacing and
//                          opening it for writing fail with a sharing violation; reading works.
//                          `sxtool machine reboot` ends those programs (the section is removed).
//   [ProtectedFiles]
//   C:\windows\system32\core.dll=   protected by the system (Windows File Protection): setups
//                                   leave it alone (Host::IsProtectedFile)
//
// The lists are read again whenever sxmachine.ini changes on disk, so that a reboot or a test
// that edits the file takes effect in a running host. Safe across threads.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace sx::host {

class SimulatedFileStates {
 public:
  explicit SimulatedFileStates(std::string iniPath) : iniPath_(std::move(iniPath)) {}

  // `fullPath` is a normalised full Windows path; letter case is ignored.
  bool InUse(std::string_view fullPath);
  // Either of two paths ("" for none), on one look at sxmachine.ini.
  bool InUse(std::string_view fullPath, std::string_view otherFullPath);
  bool Protected(std::string_view fullPath);

 private:
  void Refresh();  // with mutex_ held
  std::string iniPath_;
  std::mutex mutex_;
  bool present_ = false;
  struct timespec modified_ = {};
  off_t size_ = -1;
  std::set<std::string> inUse_, protected_;  // upper-cased paths
};

// Removes the [FilesInUse] section from the machine's sxmachine.ini: the programs that held the
// files have ended. Other sections stay as they are.
void ReleaseFilesInUse(const std::string& machineFolder);

}  // namespace sx::host
