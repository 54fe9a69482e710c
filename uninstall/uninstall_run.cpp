#include "uninstall/uninstall_run.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "host/host.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_steps.h"
#include "util/folder_path.h"
#include "util/ini_file.h"
#include "util/message_boxes.h"
#include "util/str_utils.h"

namespace sx {
namespace {

constexpr char kTexts[] = "Messages";
constexpr std::string_view kUninstallKeys = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr uint32_t kMbOk = 0x0, kMbYesNo = 0x4, kMbIconQuestion = 0x20, kMbIconInformation = 0x40;

// The product's entry in the list of installed programs: a logged key directly under
// ...\Uninstall\. It goes with all its sub-keys, so nothing else may pass for it: not the list
// itself ("...\Uninstall\\"), nor a key deeper down.
bool IsUninstallEntry(std::string_view key) {
  RegPath path = RegSplitPath(key);
  std::string_view subKey = path.subKey;
  while (!subKey.empty() && subKey.back() == '\\') subKey.remove_suffix(1);
  if (subKey.size() <= kUninstallKeys.size() ||
      host::CurrentHost().CompareLocale(subKey.substr(0, kUninstallKeys.size()), kUninstallKeys, true) != 0)
    return false;
  std::string_view name = subKey.substr(kUninstallKeys.size());
  return name.find('\\') == std::string_view::npos;
}

std::string WithName(std::string text, std::string_view name) {
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  return text;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\r\n" + line;
  return text;
}

// The silent settings file: named by the entry, else beside the log with the extension ".sss".
std::string SilentSettingsFile(const TUninstallLog& log, const std::string& entry) {
  std::string named = entry.empty() ? std::string() : RegReadString(entry, "SilentSettings", "");
  if (IsFullWindowsPath(named)) return named;
  std::string path = log.path;
  size_t dot = path.find_last_of(".\\");
  if (dot != std::string::npos && path[dot] == '.') path.erase(dot);
  return path + ".sss";
}

class Uninstaller {
 public:
  Uninstaller(const TUninstallLog& log, const TUninstallOptions& options) : log_(log), options_(options) {
    for (const std::string& key : log.keys)
      if (IsUninstallEntry(key)) entries_.push_back(key);
    if (!entries_.empty()) name_ = RegReadString(entries_.front(), "DisplayName", "");
    if (name_.empty()) name_ = log.appId;
    SetMessageTitle(WithName(Text("Title", "%s Uninstall"), name_));
  }

  TUninstallOutcome Run() {
    TUninstallOutcome outcome;
    if (log_.adminRights && !host::CurrentHost().Facts().admin) {
      ShowErrorBox(WithName(Text("AdminRequired", "Removing %s needs administrator rights."), name_));
      return outcome;
    }
    if (!options_.silent &&
        Box(WithName(Text("Confirm", "Do you want to remove %s and all of its components?"), name_),
            kMbYesNo | kMbIconQuestion) != host::kIdYes) {
      outcome.result = TUninstallResult::kCancelled;
      return outcome;
    }
    if (!RunUninstallPrograms(log_.before, report_)) {
      outcome.result = TUninstallResult::kStopped;
      outcome.leftovers = report_.leftovers;
      ShowErrorBox(WithName(Text("Stopped", "The uninstallation stops:%s"), Joined(report_.leftovers)));
      return outcome;
    }
    UndoSettings();
    UndoFiles(outcome);
    UndoContainers();
    host::CurrentHost().RegFlush();
    outcome.leftovers = report_.leftovers;
    if (report_.Failed()) {
      // While the log and the entry stay, the uninstaller stays with them: it is run again.
      outcome.removeSelf = false;
      outcome.foldersAfterSelf.clear();
      outcome.result = TUninstallResult::kIncomplete;
      // Shown in silent runs too, as a stop is: somebody has to run the uninstaller again.
      ShowErrorBox(WithName(Text("Failed", "%s could not be removed completely. Run the uninstallation again to "
                                           "remove the rest; this stays for now:"),
                            name_) +
                   Joined(report_.leftovers));
      return outcome;
    }

    outcome.result = report_.leftovers.empty() ? TUninstallResult::kDone : TUninstallResult::kIncomplete;
    if (!options_.silent) {
      if (outcome.result == TUninstallResult::kDone)
        Box(WithName(Text("Finished", "%s was removed from your computer."), name_), kMbOk | kMbIconInformation);
      else
        Box(WithName(Text("Incomplete", "%s was removed, except for:"), name_) + Joined(report_.leftovers),
            kMbOk | kMbIconInformation);
    }
    return outcome;
  }

 private:
  std::string Text(std::string_view key, std::string_view def) const {
    return UninstallText(log_, kTexts, key, def);
  }
  int Box(const std::string& text, uint32_t style) { return ShowMessageBox(0, MessageTitle(), text, style); }

  // What the registry, INI and system settings phases did, newest first.
  void UndoSettings() {
    UndoEnvironment(log_.envVars, report_);
    DeleteShortcuts(log_.shortcuts, report_);
    UnregisterFonts(log_.fonts, report_);
    DeleteIniEntries(log_.iniEntries, log_.files, report_);
    IniCloseAll();
    DeleteRegistryValues(log_.values, report_);
    UnregisterServers(log_.servers, report_);
    RemoveAssemblies(log_.assemblies, log_.files, report_);
  }

  // The files, except those another product still counts on and the running uninstaller, which
  // goes after it has ended.
  void UndoFiles(TUninstallOutcome& outcome) {
    const std::set<std::string> kept = ReleaseSharedFiles(log_, report_);
    const std::string self = options_.selfPath.empty() ? std::string() : PathId(options_.selfPath);
    std::set<std::string> done;
    auto remove = [&](const std::string& path) {
      const std::string id = PathId(path);
      if (kept.count(id) || !done.insert(id).second) return;
      if (id == self)
        outcome.removeSelf = true;
      else
        RemoveFile(path, report_);
    };
    std::for_each(log_.files.rbegin(), log_.files.rend(), remove);
    // A shared file nobody counts on any more goes even when the log does not list it as copied
    // (the uninstaller itself is counted, not listed).
    std::for_each(log_.sharedFiles.rbegin(), log_.sharedFiles.rend(), remove);
    if (outcome.removeSelf) {
      auto created = [&](const std::string& folder) {
        return std::any_of(log_.folders.begin(), log_.folders.end(),
                           [&](const std::string& f) { return PathId(f) == PathId(folder); });
      };
      // C:\Program Files\Vendor\Product\Uninstall.exe: the product's folder, then the vendor's.
      std::string folder(FolderOf(options_.selfPath));
      for (;;) {
        while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
        if (folder.size() <= 3 || !created(folder)) break;
        outcome.foldersAfterSelf.push_back(folder);
        folder = std::string(FolderOf(folder));
      }
    }
  }

  // The silent settings and the keys the installation created, the programs to run after
  // uninstalling, then the uninstall entry, the log and the folders. When something stayed that
  // no restart removes, the entry and the log stay too: the uninstaller can be run again.
  void UndoContainers() {
    RemoveFile(SilentSettingsFile(log_, entries_.empty() ? std::string() : entries_.front()), report_);
    std::vector<std::string> keys;
    std::copy_if(log_.keys.begin(), log_.keys.end(), std::back_inserter(keys),
                 [](const std::string& key) { return !IsUninstallEntry(key); });
    DeleteEmptyKeys(keys, report_);
    RunUninstallPrograms(log_.after, report_);
    if (report_.Failed()) return;
    for (const std::string& entry : entries_)
      if (!RegDeleteKeyPath(entry, true) && RegKeyExists(entry)) report_.Note("the uninstall entry " + entry + " stays");
    if (report_.Failed()) return;
    RemoveFile(log_.path, report_);
    // The journal of a log rewrite (the released shared counts) that a failed run left.
    RemoveFile(TqvIniFile::JournalName(log_.path), report_);
    RemoveEmptyFolders(log_.folders, report_);
  }

  const TUninstallLog& log_;
  const TUninstallOptions& options_;
  std::vector<std::string> entries_;
  std::string name_;
  TUninstallReport report_;
};

}  // namespace

TUninstallOutcome RunUninstall(std::string_view logPath, const TUninstallOptions& options) {
  // INI files are rewritten with their values exactly as they were, quotes included.
  SetIniStripQuotes(false);
  TUninstallLog log;
  try {
    log = ReadUninstallLog(logPath);
  } catch (const EUninstallLogError& e) {
    SetMessageTitle("Uninstall");
    ShowErrorBox("The uninstall log \"" + std::string(logPath) + "\" cannot be read: " + e.what() +
                 ". Nothing was changed.");
    return {};
  }
  return Uninstaller(log, options).Run();
}

int UninstallExitCode(const TUninstallOutcome& outcome) {
  return outcome.result == TUninstallResult::kDone ? 0 : -1;
}

}  // namespace sx
