// Simulated drive sizes, for machines that must run out of disk space:
//
//   [DiskSpace]
//   C=4M                 drive C holds at most 4 MB (a number of bytes, K, M or G after it)
//
// A drive with a size counts the bytes of the files below its folder (symbolic links are not
// followed) each time a file on it is opened for writing or copied onto it: a write that would
// take the files past the size fails with ERROR_DISK_FULL and writes nothing, and the drive's
// free space is what is left. Drives without a size are the host's file system as it is.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/posix/machine_settings.h"

namespace sx::host {

// "4M" -> 4194304; nullopt for anything that is no size.
std::optional<uint64_t> ParseDriveSize(std::string_view text);

// The sum of the sizes of the regular files below a host folder.
uint64_t BytesBelow(const std::string& hostFolder);

class DriveSizes {
 public:
  // Reads [DiskSpace]; `warnings` receives a line for each key or value it cannot use.
  explicit DriveSizes(const MachineSettings& settings, std::vector<std::string>* warnings = nullptr);
  // The size of the drive with that letter (any case), when the machine sets one.
  std::optional<uint64_t> SizeOf(char letter) const;
  bool Empty() const { return sizes_.empty(); }

 private:
  std::map<char, uint64_t> sizes_;  // upper-case letters
};

}  // namespace sx::host
