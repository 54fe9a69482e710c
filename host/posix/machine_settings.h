// sxmachine.ini: the simulation settings of a machine folder, for what Windows does not keep in
// its registry or what a test wants to force. Every key is optional.
//
//   [System]
//   Platform=NT            NT, 9x or Win32s
//   Version=5.1.2600       major.minor.build (default: the registry's, else 5.1.2600 on NT
//                          and 4.10.2222 on 9x)
//   ServicePack=Service Pack 3
//   Admin=1                the user is an administrator
//   HKLMWritable=1         HKEY_LOCAL_MACHINE may be written
//   UserName=user
//   ComputerName=SXMACHINE
//   Screen=1024x768
//   [Locale]
//   User=ENU               the user's locale: abbreviation or LCID (default: the registry's)
//   System=ENU             the system locale, which gives the ANSI and OEM code pages
//   Installed=ENU,DEU      the installed locales (default: user and system locale)
//   DecimalSeparator=.     (default: the registry's sDecimal, else the user locale's)
//   [Associations]
//   .txt=C:\windows\notepad.exe    the program that opens documents with that extension
//   [MessageBoxes]
//   Answers=IDYES,IDNO     answers for the boxes shown, in order, before the default applies
//   Default=default        "default": the box's default button; or a fixed answer such as IDOK
//   [FilesInUse]           Windows paths as keys: files held open by a running program
//   [ProtectedFiles]       Windows paths as keys: protected system files
//                          (both described in simulated_file_states.h)
//   [DiskSpace]
//   C=4M                   the size of a drive, to run out of space (see drive_space.h)
//
// The file is read by the rules of the engine's INI files (host/ini_lines.h): a line ends at CR
// and LF is dropped, control characters are trimmed from both ends of a line and blanks beside
// its first '=', lines starting with ';' (or '#') are comments, "[name]" opens a section, the
// first '=' parts name and value, and the first line of a key wins. As files written on this
// computer end their lines in LF alone, a LF with no CR before it ends a line too; a UTF-8
// byte-order mark before the first line is passed over, and a comment after a value (" ;") is
// dropped. Everything that cannot be used (a line that is none of these, a key outside a
// section, an unknown section or key, a duplicate key, a value that is not a yes/no where one is
// needed) is reported with its line.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace sx::host {

// Section and key names compare ignoring ASCII case.
struct CaseLess {
  bool operator()(std::string_view a, std::string_view b) const;
  using is_transparent = void;
};

// The platform a [System] Platform setting names: "9x", "95", "98" or "Me" the Windows 9x family,
// "Win32s", and anything else Windows NT (letter case ignored).
OsPlatform ParsePlatform(std::string_view text);

// The trimmed, non-empty items of a comma-separated list.
std::vector<std::string> SplitList(std::string_view list);

class MachineSettings {
 public:
  // Reads the host file; a missing file gives no settings. What cannot be used is written to
  // standard error, one line each: "<file>:<line>: <what>: <the line>".
  static MachineSettings Load(const std::string& hostPath);
  // Parses the text; `warnings`, when given, receives "<line>: <what>: <the line>" for each line
  // that cannot be used.
  static MachineSettings Parse(std::string_view text, std::vector<std::string>* warnings = nullptr);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;
  std::optional<bool> GetBool(std::string_view section, std::string_view key) const;
  const std::map<std::string, std::string, CaseLess>* Section(std::string_view section) const;

 private:
  std::map<std::string, std::map<std::string, std::string, CaseLess>, CaseLess> sections_;
};

}  // namespace sx::host
