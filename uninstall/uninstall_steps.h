// The single undo steps of the uninstaller, one per kind of change the install log lists. Each
// undoes what it can and notes in `report` what stays on the machine and why; none raises.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "uninstall/uninstall_log.h"

namespace sx {

// What the uninstallation could not undo, one line each, for the closing message.
struct TUninstallReport {
  std::vector<std::string> leftovers;
  size_t atRestart = 0;  // of them, those the next restart removes
  void Note(std::string line) { leftovers.push_back(std::move(line)); }
  void NoteAtRestart(std::string line) {
    Note(std::move(line));
    ++atRestart;
  }
  // Something stayed that nothing will remove: the log is needed to run the uninstaller again.
  bool Failed() const { return leftovers.size() > atRestart; }
};

// Where Windows keeps the shared-file counts.
inline constexpr char kSharedDllsKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\";

// Runs the programs in order; a waited-for program with the exit-code check that fails stops the
// rest. False then, with the failure noted. A program named by a full path that is gone is
// passed over (an earlier run that stopped removed it with the product's files).
bool RunUninstallPrograms(const std::vector<TUninstallProgram>& programs, TUninstallReport& report);

// Takes back environment changes: a path-list addition loses its added parts, a variable set
// outright is deleted.
void UndoEnvironment(const std::vector<TUninstallEnvVar>& vars, TUninstallReport& report);
void DeleteShortcuts(const std::vector<std::string>& links, TUninstallReport& report);
// Removes the font registrations that still name the logged file.
void UnregisterFonts(const std::vector<TUninstallFont>& fonts, TUninstallReport& report);
// Deletes the INI keys; a section left empty goes, and a file left without sections when the
// installation brought it (it is among `installedFiles`, the log's CopyFiles).
void DeleteIniEntries(const std::vector<TUninstallIniEntry>& entries, const std::vector<std::string>& installedFiles,
                      TUninstallReport& report);
void DeleteRegistryValues(const std::vector<std::string>& values, TUninstallReport& report);
// Unregisters the self-registering servers that are still there.
void UnregisterServers(const std::vector<std::string>& servers, TUninstallReport& report);
// Removes the assembly references with the assembly tool the installation left in `files`.
void RemoveAssemblies(const std::vector<std::string>& assemblies, const std::vector<std::string>& files,
                      TUninstallReport& report);

// Decrements the shared counts of the log's SharedFiles, except those an earlier run released
// already (SharedReleased), after recording the new counts in the log file. The result: the
// files that others still use (their count stays above zero, or nobody counted them), or whose
// count could not be released, upper-cased; the others lose their count value.
std::set<std::string> ReleaseSharedFiles(const TUninstallLog& log, TUninstallReport& report);

// Deletes a file (read-only ones too); one that cannot be deleted now goes at the next restart.
void RemoveFile(std::string_view path, TUninstallReport& report);
// Removes the folders that are empty, deepest first. Non-empty folders stay silently: they hold
// what the user made. One that cannot be removed although empty, or while files wait for the next
// restart, goes at the next restart (noted).
void RemoveEmptyFolders(const std::vector<std::string>& folders, TUninstallReport& report);
// Deletes the keys that have no sub-keys left, deepest first; an empty key that cannot be deleted
// is noted.
void DeleteEmptyKeys(const std::vector<std::string>& keys, TUninstallReport& report);

// The upper-cased form paths are compared in.
std::string PathId(std::string_view path);

}  // namespace sx
