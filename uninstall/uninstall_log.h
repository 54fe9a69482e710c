// The install log as the uninstaller reads it: an INI file that the engine wrote beside the
// installed product, section by section (CopyFiles, AddReg, AddIni, Shortcuts, CreateDirs,
// CreateKeys, RegServers, RegFonts, SharedFiles, PreRunApp, RunApp, SharedAssemblies, EnvVars),
// plus "Strings" (AppID, AdminRights) and the texts of the language file's "Uninstall." sections.
//
// The whole log is read and checked before anything is changed: a log that cannot be opened, is
// no install log, or holds one entry that does not have its section's form (a relative path, a
// registry path without its root, a program line that does not parse) is refused as a whole, so
// that a damaged or hand-edited log never leads to a partial or misdirected uninstallation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/errors.h"

namespace sx {

// The log cannot be used; the message says why (without the file name).
class EUninstallLogError : public EEngineError {
 public:
  using EEngineError::EEngineError;
};

// A program to run before or after the uninstallation (PreRunApp, RunApp).
struct TUninstallProgram {
  int number = 0;  // the log's counter, shared by both sections: the order of running
  std::string cmdLine, args, workDir;
  int windowCode = 1;  // 1 normal, 3 minimised, 2 maximised, 0 hidden
  std::string message;
  bool wait = true;
  bool checkExitCode = false;
};

struct TUninstallIniEntry {
  std::string file, section, key;
};

struct TUninstallEnvVar {
  std::string name;
  bool system = false;
  std::string added;  // the text added to a path list; "" when the variable was set outright
};

struct TUninstallFont {
  std::string name, file;
};

struct TUninstallLog {
  std::string path;
  std::string appId;
  bool adminRights = false;
  // Every list in log order (the order of installation).
  std::vector<std::string> files, sharedFiles, shortcuts, folders, keys, servers, assemblies;
  // AddReg keys as written: "registry key\'value name'"; split when undone (see RegValueOfEntry).
  std::vector<std::string> values;
  std::vector<TUninstallIniEntry> iniEntries;
  std::vector<TUninstallFont> fonts;
  std::vector<TUninstallEnvVar> envVars;
  std::vector<TUninstallProgram> before, after;  // by their counter
  // SharedReleased: the value each shared count was set to (0: the count was deleted) by an
  // earlier run that did not finish, recorded before the counts were changed. A second run
  // must not release them again.
  std::vector<std::pair<std::string, int32_t>> sharedReleased;
  // The "key=value" lines of every other section (the uninstaller's texts), by section.
  std::vector<std::pair<std::string, std::vector<std::string>>> textSections;
};

// Reads and checks the log at the Windows path. Raises EUninstallLogError.
TUninstallLog ReadUninstallLog(std::string_view path);

// The log's section of released shared counts.
inline constexpr char kSharedReleasedSection[] = "SharedReleased";
// Records in the log file the counts the shared files' values are about to be set to, adding to
// (or replacing) what it records already. False when the log could not be written.
bool RecordSharedReleased(std::string_view logPath, const std::vector<std::pair<std::string, int32_t>>& counts);

// The text of `key` in the section `section` of the log's texts (ignoring case), with "||" turned
// back into line breaks; `def` when the log has none.
std::string UninstallText(const TUninstallLog& log, std::string_view section, std::string_view key,
                          std::string_view def);

// The ways an AddReg entry "key\'name'" can be split into a key and a value name, first split
// first. Names and keys may both hold "\'"; the caller takes the first split whose value exists.
std::vector<std::pair<std::string, std::string>> RegValueSplits(std::string_view entry);

// A registry path that names its root (HKCR, HKCU, HKLM, HKU) and at least one key below it.
bool IsRootedRegistryKey(std::string_view path);
// A full Windows path: "X:\..." or "\\server\share\...".
bool IsFullWindowsPath(std::string_view path);

}  // namespace sx
