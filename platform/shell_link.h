// Shell links (.lnk files): the fields of one link and saving it through the host's shell.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

class TqvShellLink {
 public:
  std::string FileName;  // path of the .lnk file
  std::string Target, Arguments, WorkingDir, Description, IconFile;
  std::uint8_t ShowCmd = 0;  // 0 normal, 1 minimized, 2 maximized
  std::uint16_t HotKey = 0;
  std::int32_t IconIndex = 0;

  // Writes the link to FileName. FileName, Target, WorkingDir, Description and IconFile that
  // begin with a double quote are taken without their quotes (a doubled quote inside is one);
  // Arguments are taken as they are. Afterwards the shell is told that the link, and the icon
  // file when it exists, changed. False when the link could not be written; an existing file is
  // then left as it was.
  bool Save();
  // Sets FileName and saves.
  bool SaveTo(std::string_view fileName);

  // The show command of ShowCmd: 7 (minimised without activation), 3 (maximised) or 1 (normal).
  int ShowCommand() const;
};

}  // namespace sx
