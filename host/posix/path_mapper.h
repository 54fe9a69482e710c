// Windows paths of the simulated machine and the host paths they live at.
//
// Drive X: is <machine>/dosdevices/x: (a symlink or a folder, as Wine has it). Below a drive, each
// existing component is found ignoring case, as Windows and Wine do; components that do not exist
// yet keep the spelling they were given. Names are UTF-8 on disk and ANSI in the engine.
#pragma once

#include <sys/stat.h>

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/posix/codepage.h"

namespace sx::host {

// The full form of a Windows path (GetFullPathName): drive letter upper-cased, '/' read as '\',
// "." and ".." resolved (never above the drive root), repeated separators collapsed, trailing
// dots and spaces of the last name removed, "\\?\" and "\??\" prefixes dropped. Relative paths
// are taken from `currentFolder` (a full path). A trailing backslash is kept. std::nullopt for
// UNC paths and for text that is no path.
std::optional<std::string> NormalizeWindowsPath(std::string_view path,
                                                std::string_view currentFolder);

// True when a file-name component holds a character Windows forbids in names.
bool HasInvalidNameCharacter(std::string_view component);

// What mapping a path learnt about its last entry on the way, so that the caller need not look
// again: the entry was found as spelled (with its lstat), or is missing from a folder that
// exists. kUnknown when the mapping could not tell cheaply.
struct MappedEntry {
  enum class State { kUnknown, kPresent, kMissing };
  State state = State::kUnknown;
  struct stat link = {};  // lstat of the entry when kPresent
  // The entry's stat (following a symbolic link) when the mapping saw it; false otherwise.
  bool KnownStat(struct stat& st) const {
    if (state != State::kPresent || S_ISLNK(link.st_mode)) return false;
    st = link;
    return true;
  }
};

class PathMapper {
 public:
  PathMapper(std::string machineFolder, const CodePage& ansi);

  // The host path of a full Windows path (from NormalizeWindowsPath). Sets ThreadError when the
  // drive is unknown or a name is invalid.
  std::optional<std::string> ToHost(std::string_view fullPath, MappedEntry* entry = nullptr) const;
  // The Windows path of a host path, through the drive whose folder holds it (longest match).
  std::optional<std::string> ToWindows(std::string_view hostPath) const;
  // The host folder of a drive letter, resolved; "" when the machine has no such drive.
  std::string DriveFolder(char letter) const;

  // Tells the mapper that the host entry was just made or removed by this process, so that its
  // knowledge of the folder's names stays current without reading the folder again.
  void NoteCreated(const std::string& hostPath) const;
  void NoteRemoved(const std::string& hostPath) const;
  // Both at once for a rename (one look at the folder when both are in the same one).
  void NoteMoved(const std::string& fromHostPath, const std::string& toHostPath) const;

 private:
  // The names of one host folder by their case-folded form, as of the folder's change time.
  struct FolderNames {
    int64_t changeTime = 0;
    std::unordered_map<std::u16string, std::string> byFoldedName;
  };
  // The entry of `folder` equal to `name` ignoring case, or "" when there is none.
  std::string FindIgnoringCase(const std::string& folder, const std::string& name) const;
  // The same, or std::nullopt when `folder` itself cannot be found.
  std::optional<std::string> LookUpIgnoringCase(const std::string& folder, const std::string& name) const;
  void Note(const std::string& hostPath, bool created) const;
  // The drive's folder as last resolved, without checking that it still is a folder.
  std::string KnownDriveFolder(char letter) const;
  // Resolves the drive's link again and remembers the result.
  std::string ResolveDrive(int index) const;

  std::string machineFolder_;
  const CodePage& ansi_;
  mutable std::mutex mutex_;  // guards the caches below
  mutable std::array<std::string, 26> drives_;
  mutable std::unordered_map<std::string, FolderNames> folders_;
};

}  // namespace sx::host
