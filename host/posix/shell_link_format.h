// The bytes of a Windows shell link file (.lnk, the MS-SHLLINK format) as the shell writes them
// for a link to a local file or folder: the header, the target's item list (My Computer, the
// volume, one file-system item per path component), the LinkInfo with the volume and the local
// path, and the texts as counted UTF-16 strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"

namespace sx::host {

// One component of the target's path below the drive root.
struct ShellLinkPathItem {
  std::string shortName;  // the 8.3 name (ANSI)
  bool folder = false;
  uint32_t dosDateTime = 0;  // last write: DOS date in the high word, time in the low word
  uint32_t size = 0;
  uint16_t attributes = 0;
};

// What the link says about its target, in the machine's code page and in UTF-16.
struct ShellLinkImage {
  ShellLinkData link;
  std::u16string description, workingDir, arguments, iconFile, relativePath;
  // A local target: the drive ("C:\"), its components and the full path; empty drive otherwise.
  std::string drive;
  std::vector<ShellLinkPathItem> items;
  std::string localBasePath;
  FileInfo targetInfo;  // attributes, size and times of the target when it exists
  uint32_t volumeSerial = 0;
};

// The file's bytes; nothing when a text is longer than the format's 16-bit counts can hold.
std::optional<std::string> EncodeShellLink(const ShellLinkImage& image);

// The 8.3 name Windows would give a long name as the only one of its kind in its folder
// ("Program Files" -> "PROGRA~1", "readme.txt" -> "README.TXT").
std::string ShortNameOf(std::string_view name);

}  // namespace sx::host
