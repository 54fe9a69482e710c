// One uninstallation: reads the install log, asks the user (unless silent), and undoes the
// installation in the reverse order of the engine's phases:
//   programs to run before uninstalling; environment, shortcuts, fonts, INI entries, registry
//   values, servers, assemblies; shared counts and files; the silent settings file; empty keys;
//   programs to run after uninstalling; the uninstall entry, the log and empty folders. When
//   something stayed that no restart removes, the entry and the log stay: it can be run again.
// The texts come from the log's "Messages" section (the language file's "Uninstall.Messages"):
//   Title, Confirm, Finished, Incomplete, Stopped, AdminRequired; "%s" in them is the product's
//   display name (Stopped: the report), "||" a line break. English texts stand in for missing ones.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sx {

struct TUninstallOptions {
  bool silent = false;
  // The running uninstaller's Windows path: when the log lists it and no other product still
  // counts on it, the outcome asks for its removal after exit.
  std::string selfPath;
};

enum class TUninstallResult {
  kDone,        // everything listed is undone
  kIncomplete,  // done, but some things stay (told to the user)
  kStopped,     // a program to run before uninstalling failed: nothing else was changed
  kCancelled,   // the user said no: nothing was changed
  kRefused,     // the log cannot be used, or rights are missing: nothing was changed
};

struct TUninstallOutcome {
  TUninstallResult result = TUninstallResult::kRefused;
  std::vector<std::string> leftovers;
  bool removeSelf = false;        // delete the running uninstaller once it has ended
  // Then its folder and the folders around it, innermost first, as far as the installation
  // created them (each goes only when it is empty by then).
  std::vector<std::string> foldersAfterSelf;
};

TUninstallOutcome RunUninstall(std::string_view logPath, const TUninstallOptions& options);

// The process exit code of an outcome: 0 for kDone, -1 otherwise.
int UninstallExitCode(const TUninstallOutcome& outcome);

}  // namespace sx
