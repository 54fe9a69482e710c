// The action list: adding actions, preparing an existing file, the folder and key creation that
// records what it made, rollback and the reboot operations of files in use.
#include "install/install_actions.h"

#include "database/sx_variable_access.h"
#include "host/host.h"
#include "install/file_steps.h"
#include "install/install_services.h"
#include "platform/file_utils.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "util/case_tables.h"
#include "util/folder_path.h"

namespace sx {

const TXMLClass& TInstallActions::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TInstallActions, TXMLObjectList>(
      "TInstallActions", {},
      {Item<TInstallFile>("file"), Item<TInstallReg>("reg"), Item<TInstallIni>("ini"),
       Item<TInstallShortcut>("shortcut"), Item<TInstallFolder>("folder"),
       Item<TInstallRegKey>("regkey"), Item<TInstallEnvVar>("envvar")});
  return info;
}

const TXMLClass* TInstallActions::ItemClass(std::string_view elementName) const {
  // Exact tags only: a foreign document's "File" or "REG" gives no action.
  for (const TXMLItemDecl& item : ClassInfo().Items())
    if (item.TagName == elementName) return &item.Class();
  return nullptr;
}

TInstallAction& TInstallActions::AddAction(const TXMLClass& actionClass) {
  std::unique_ptr<TXMLObject> object = actionClass.Create(this);
  auto* action = dynamic_cast<TInstallAction*>(object.get());
  if (!action) throw std::logic_error("AddAction needs an install action class");
  object.release();
  return Add(std::unique_ptr<TInstallAction>(action));
}

TInstallFile* TInstallActions::AddFileAction(std::string_view path, TsxFlags flags,
                                             bool deleteExisting, TFileChange change) {
  auto& services = InstallServices();
  TInstallFile& action = AddActionOf<TInstallFile>();
  action.FileName = path;
  action.IsServer = flags.Contains(TsxFlag::reg_server);
  action.IsFont = flags.Contains(TsxFlag::reg_font);
  action.SharedFile = flags.Contains(TsxFlag::shared);
  action.Log = !flags.Contains(TsxFlag::dont_log);
  // Drops the action again: the caller fails the item and nothing of it stays.
  auto fail = [&]() -> TInstallFile* {
    if (!action.BackupFileName.empty()) DeleteFileKeepingAttributes(action.BackupFileName);
    Delete(Count() - 1);
    return nullptr;
  };
  if (!FileExistsAt(path)) return &action;

  action.Existed = true;
  TsxMainDatabase& database = services.Database();
  std::string backupFolder = database.TempBackupPath;
  if (!backupFolder.empty() && backupFolder.back() != '\\') backupFolder += '\\';
  action.BackupFileName = backupFolder + MakeUniqueName(backupFolder, "", "", true);
  IniCloseFile(path);
  if (!CopyFileExactly(path, action.BackupFileName)) return fail();
  if (!deleteExisting) return &action;

  if (action.IsServer) services.RegisterServer(path, false);
  if (action.IsFont) services.RemoveFontResource(path);
  if (DeleteFileKeepingAttributes(path)) return &action;

  // In use: the new content (if any) waits in a temporary file until the next reboot.
  action.RenamePending = true;
  if (change == TFileChange::kReplace) {
    action.TmpFileName = CreateTempFileIn(FolderOf(path), "sx");
    if (action.TmpFileName.empty()) {
      if (action.IsServer) services.RegisterServer(path, true);
      return fail();
    }
  }
  WriteVariableBool(&database, "Reboot", true);
  return &action;
}

void TInstallActions::CatchUpIndex() const {
  const int count = Count();
  bool stale = indexed_ > count;
  if (!stale && indexed_ > 0) stale = &Items(indexed_ - 1) != lastIndexed_;
  if (stale) {
    fileIndex_.clear();
    indexed_ = 0;
  }
  for (; indexed_ < count; ++indexed_) {
    if (auto* file = dynamic_cast<const TInstallFile*>(&Items(indexed_)))
      fileIndex_.try_emplace(LowerCaseFast(file->FileName), IndexEntry{indexed_, file});
  }
  lastIndexed_ = count > 0 ? &Items(count - 1) : nullptr;
}

TInstallFile* TInstallActions::FindFileAction(std::string_view path) const {
  CatchUpIndex();
  const std::string key = LowerCaseFast(path);
  auto found = fileIndex_.find(key);
  if (found != fileIndex_.end() && LowerCaseFast(found->second.action->FileName) == key)
    return const_cast<TInstallFile*>(found->second.action);
  if (found == fileIndex_.end()) return nullptr;
  // A FileName changed after the action was indexed: look again from scratch.
  fileIndex_.clear();
  indexed_ = 0;
  CatchUpIndex();
  found = fileIndex_.find(key);
  return found == fileIndex_.end() ? nullptr : const_cast<TInstallFile*>(found->second.action);
}

void TInstallActions::ForceFolders(std::string_view pathIn, bool record, bool log) {
  std::string path(pathIn);
  if (path.empty()) return;
  if (path.back() == '\\') path.pop_back();
  if (path.size() < 3 || FolderExistsAt(path)) return;
  std::string parent(FolderOf(path));
  if (!parent.empty() && parent.back() == '\\') parent.pop_back();
  if (parent == path || parent.empty()) return;
  ForceFolders(parent, record, log);
  if (host::CurrentHost().CreateFolder(path) && record && !rollingBack_) {
    auto& folder = AddActionOf<TInstallFolder>();
    folder.Folder = path;
    folder.Log = log;
  }
}

std::string RegKeyParent(std::string_view path) {
  char quote = 0;
  for (size_t i = path.size(); i-- > 0;) {
    char c = path[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      // A quote opens a stretch only when a matching one comes before it.
      if (path.substr(0, i).find(c) != std::string_view::npos) quote = c;
    } else if (c == '\\') {
      return std::string(path.substr(0, i));
    }
  }
  return {};
}

void TInstallActions::ForceRegKeys(std::string_view pathIn, bool record, bool log) {
  std::string path(pathIn);
  if (path.empty()) return;
  if (path.back() == '\\') path.pop_back();
  std::string parent = RegKeyParent(path);
  if (RegKeyExists(path) || parent == path) return;
  ForceRegKeys(parent, record, log);
  // The registry would make a missing parent on its own, unrecorded: stop where one failed.
  if (!parent.empty() && !RegKeyExists(parent)) return;
  auto& host = host::CurrentHost();
  auto create = [&](const std::string& keyPath) {
    RegPath split = RegSplitPath(keyPath);
    if (split.subKey.empty() || host.RegKeyExists(split.root, split.subKey)) return true;
    if (!host.RegCreateKey(split.root, split.subKey)) return false;
    if (record && !rollingBack_) {
      auto& key = AddActionOf<TInstallRegKey>();
      key.Key = keyPath;
      key.Log = log;
    }
    return true;
  };
  // A quoted name may hold backslashes, which the registry takes as separators: every key made
  // on the way is recorded, so that rollback removes them all.
  for (size_t at = path.find('\\', parent.size() + 1); at != std::string::npos;
       at = path.find('\\', at + 1))
    if (!create(path.substr(0, at))) return;
  create(path);
}

void TInstallActions::RollbackAll() {
  struct Flag {
    bool& flag;
    explicit Flag(bool& f) : flag(f) { flag = true; }
    ~Flag() { flag = false; }
  } rolling(rollingBack_);
  while (Count() > 0) {
    TInstallAction& action = Items(Count() - 1);
    if (!action.DontRollback) {
      try {
        action.Undo();
      } catch (const std::exception& error) {
        // One failed undo is reported; the rollback goes on with the next action.
        InstallServices().ShowErrorBox(error.what());
      }
    }
    Delete(Count() - 1);
  }
  fileIndex_.clear();
  indexed_ = 0;
  lastIndexed_ = nullptr;
}

void TInstallActions::WriteUninstallLog() const {
  for (TInstallAction& action : *this)
    if (action.Log && !action.Existed) action.WriteLog();
}

void TInstallActions::ScheduleRebootOperations() const {
  for (TInstallAction& action : *this) {
    auto* file = dynamic_cast<TInstallFile*>(&action);
    if (!file || !file->RenamePending) continue;
    if (!file->TmpFileName.empty())
      RenameAtReboot(file->TmpFileName, file->FileName);
    else
      DeleteAtReboot(file->FileName);
  }
}

TInstallActions& InstallActionList() {
  static TInstallActions list;
  return list;
}

}  // namespace sx
