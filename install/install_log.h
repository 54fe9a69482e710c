// The install log: an INI file beside the installed product that lists, section by section,
// what the separate uninstaller must remove or undo, and the texts it shows. Written through the
// INI cache (platform/ini_cache.h), so it reaches the disk when the cache is flushed or closed.
//
// Logging is on only after EnableLog (the project sets Uninstall) and while LogFileName() is not
// empty; every write while it is off is dropped. Keys and values never add lines: a CR becomes
// "||" and an LF is dropped, as in the "Uninstall." sections. A write with an empty section or
// key writes nothing (an empty key would erase the section).
//
// One thread writes at a time (the copy thread during the file phase, the main thread otherwise);
// the INI cache locks each write.
#pragma once

#include <string>
#include <string_view>

#include "database/sx_enums.h"

namespace sx {

class TXMLObject;

// The thirteen logged sections, by index.
enum TLogSection : int {
  lsCopyFiles = 0,
  lsAddReg,
  lsAddIni,
  lsShortcuts,
  lsCreateDirs,
  lsCreateKeys,
  lsRegServers,
  lsRegFonts,
  lsSharedFiles,
  lsPreRunApp,
  lsRunApp,
  lsSharedAssemblies,
  lsEnvVars,
};
inline constexpr int kLogSectionCount = 13;

// The section name of an index ("" outside 0..12).
std::string_view LogSectionName(int index);

// Sets the log's path from the variable LogFile (expanded), else InstallPath (default
// "%Windows%") with a trailing backslash and "install.log", which is then stored back into
// LogFile. Logging stays as it was. The path is returned.
std::string SetUpLogFile(TXMLObject* database);
// The path of the log during the installation ("" before SetUpLogFile).
const std::string& LogFileName();
// Sets the path directly (tests, and an engine that restores its state).
void SetLogFileName(std::string_view path);

// Switches logging on for the rest of the run; ResetLog switches it off and restarts the
// program and assembly counters (a new run in the same process).
void EnableLog();
void ResetLog();
bool LogEnabled();

// IniWriteString into the section of that index (only its low 7 bits count) when logging is on;
// false when off, for an index outside 0..12, an empty key, or a failed write.
bool LogWrite(int sectionIndex, std::string_view key, std::string_view value);
// The key is present in that section (when logging is on).
bool LogHasKey(int sectionIndex, std::string_view key);
// As LogWrite, with the section named.
bool LogWriteSection(std::string_view section, std::string_view key, std::string_view value);
// A plug-in's record: section and "key=value" text, both expanded in the project database; the
// key is the text before the first "=", the value the rest ("" without one).
void LogAddRecord(TXMLObject* database, std::string_view section, std::string_view record);
// An installed file reported by the installer functions (CopyFiles: path = "").
void LogInstalledFile(std::string_view path);

// Key or value text made single-line: every CR becomes "||", every LF is dropped.
std::string LogLineText(std::string_view text);

// The "Strings" entries (AppID, AdminRights) and every section of the current language file whose
// name starts with "Uninstall." (ignoring case) under the rest of its name, each line expanded
// with unknown variables empty. Uses the install services for the language file.
void LogWriteUninstallTexts(TXMLObject* database);

// The programs to run at uninstall time `when`: PreRunApp for before_uninstall, RunApp for
// after_uninstall, numbered by one counter for both from 0 (install services give the items).
void LogUninstallPrograms(TXMLObject* database, TsxWhenStart when);

// The next number of a "SharedAssemblies" entry, from 1.
int NextSharedAssemblyNumber();

}  // namespace sx
