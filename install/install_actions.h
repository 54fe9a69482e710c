// Install actions: the record of every change the installation makes to the machine, one action
// per change, in the order the changes were made. The list serves rollback (RollbackAll undoes
// the changes newest first), the uninstall log (WriteUninstallLog) and the resume after a reboot
// (the list is saved as the "installactions" document and loaded again).
//
// Published properties are exactly what survives a save and a load. `Log` is true on creation
// and stays true through a save and a load, so a resumed run still logs what it did before the
// reboot.
//
// An action is added right after its change is made (for files: after the previous file was
// backed up and possibly deleted, before the new content is written).
//
// Threads: the main thread and the file phase's copy thread append actions, never both at once;
// rollback and logging run on the main thread. Not locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "database/sx_enums.h"
#include "xml/xml_object_list.h"

namespace sx {

class TInstallAction : public TXMLObject {
 public:
  explicit TInstallAction(TXMLObject* owner = nullptr) : TXMLObject(owner) {}
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  bool Log = true;            // written to the uninstall log
  bool Existed = false;       // the changed object existed before (uninstall leaves it)
  bool DontRollback = false;  // rollback skips the action

  // Reverses the change. Failures are shown (ShowErrorBox of the install services) and never
  // stop a rollback.
  virtual void Undo() {}
  // Writes the change's entries into the uninstall log.
  virtual void WriteLog() {}

  // A loaded action without a "log" attribute had Log true when it was saved.
  void Initialize() override { Log = true; }
};

class TInstallFile : public TInstallAction {
 public:
  using TInstallAction::TInstallAction;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string FileName;        // the target path
  std::string BackupFileName;  // copy of the previous file in the backup folder ("" when none)
  std::string TmpFileName;     // the in-use replacement, or a font's staged copy
  std::string FontName;        // the font's registry name
  bool IsServer = false, IsFont = false, SharedFile = false;

  // Not saved: the target was in use and could not be deleted; the new content goes to
  // TmpFileName (or nowhere, for a removal) and reaches FileName at the next reboot.
  bool RenamePending = false;

  // A font the file phase staged for the font phase: TmpFileName is the staged copy, FileName
  // the final path, which the font phase's own action covers.
  bool IsStagedFont() const { return IsFont && !Existed && !RenamePending && !TmpFileName.empty(); }

  void Undo() override;
  void WriteLog() override;
};

class TInstallReg : public TInstallAction {
 public:
  using TInstallAction::TInstallAction;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Key, Param;
  std::int32_t OldType = 0;  // registry type code, see reg_capture.h for the raw form
  std::string OldValue;

  void Undo() override;
  void WriteLog() override;
};

class TInstallIni : public TInstallAction {
 public:
  using TInstallAction::TInstallAction;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string IniFile, Section, Param, OldValue;

  // The INI file itself is restored or removed by its own file action.
  void WriteLog() override;
};

class TInstallShortcut : public TInstallAction {
 public:
  using TInstallAction::TInstallAction;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string LinkFile;  // full path of the .lnk file; the file has its own file action

  void WriteLog() override;
};

class TInstallFolder : public TInstallAction {
 public:
  using TInstallAction::TInstallAction;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Folder;

  void Undo() override;  // removes the folder when it is empty
  void WriteLog() override;
};

class TInstallRegKey : public TInstallAction {
 public:
  using TInstallAction::TInstallAction;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Key;  // registry path

  void Undo() override;  // deletes the key unless it still has sub-keys
  void WriteLog() override;
};

class TInstallEnvVar : public TInstallAction {
 public:
  using TInstallAction::TInstallAction;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Name, Value, OldValue;
  bool AddPath = false, SysVar = false;

  void Undo() override;
  void WriteLog() override;
};

// What AddFileAction prepares the target for.
enum class TFileChange : std::uint8_t {
  kReplace,  // new content follows: a target in use gets an "sx" temporary file for it
  kRemove,   // the target is removed: a target in use is deleted at the next reboot
};

class TInstallActions : public TXMLList<TInstallAction> {  // root "installactions"
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  // Only the exact tags "file", "reg", "ini", "shortcut", "folder", "regkey", "envvar" give a
  // class; anything else is passed over.
  const TXMLClass* ItemClass(std::string_view elementName) const override;

  // A new action of the class (Log true, other flags false, texts empty), appended.
  TInstallAction& AddAction(const TXMLClass& actionClass);
  template <class Action>
  Action& AddActionOf() {
    return static_cast<Action&>(AddAction(Action::StaticClass()));
  }

  // Appends a file action for `path` and prepares the existing file (PrepareExistingFile):
  // flags from reg_server, reg_font, shared; an existing file is backed up into the project's
  // TempBackupPath (time and attributes kept); with `deleteExisting` it is then unregistered
  // (servers), its font resource removed (fonts) and deleted; a file in use is left and marked
  // RenamePending (see TFileChange), and the variable Reboot is set. Log is the opposite of
  // dont_log.
  // nullptr when the backup could not be made: then no action stays, no partial backup remains,
  // and the file is untouched; the caller fails the item (language string 11 with the path).
  TInstallFile* AddFileAction(std::string_view path, TsxFlags flags, bool deleteExisting,
                              TFileChange change = TFileChange::kReplace);

  // The first file action, in list order, whose FileName equals the path ignoring case. Found
  // through an index of folded names, so the cost does not grow with the list; a FileName is
  // set before the action is first looked up and not changed afterwards.
  TInstallFile* FindFileAction(std::string_view path) const;

  // Creates the folder and its missing parents, outermost first; with `record` every folder
  // created is recorded as a TInstallFolder (Log false for items flagged dont_log: the caller
  // passes `log`). Nothing is recorded while a rollback runs. Drive roots are left alone.
  void ForceFolders(std::string_view path, bool record, bool log = true);
  // The same for registry keys; a backslash inside quotes (' or ") is part of a key name.
  void ForceRegKeys(std::string_view path, bool record, bool log = true);

  // Undoes every action newest first (skipping DontRollback ones) and empties the list.
  void RollbackAll();
  // WriteLog of every action with Log true and Existed false, in list order.
  void WriteUninstallLog() const;
  // For every file action with RenamePending: its TmpFileName replaces FileName at the next
  // reboot, or, without one, FileName is deleted then.
  void ScheduleRebootOperations() const;

  bool RollingBack() const { return rollingBack_; }

 private:
  // FindFileAction's index: folded FileName -> (position, action) of the first action with it,
  // over the first `indexed_` items. Checked against the list on every hit and rebuilt when an
  // item was removed, so that edits of the list through the base class never give stale results.
  struct IndexEntry {
    int position;
    const TInstallFile* action;
  };
  mutable std::unordered_map<std::string, IndexEntry> fileIndex_;
  mutable int indexed_ = 0;
  mutable const TXMLObject* lastIndexed_ = nullptr;  // the item at indexed_ - 1 when indexed
  bool rollingBack_ = false;
  void CatchUpIndex() const;
};

// The engine's one action list, created on first use, living until the process ends.
TInstallActions& InstallActionList();

// The parent of a registry path for ForceRegKeys: the text before the last backslash that is not
// inside a quoted stretch; "" when there is none.
std::string RegKeyParent(std::string_view path);

}  // namespace sx
