#include "install/ini_items.h"

#include <vector>

#include "database/sx_component.h"
#include "database/sx_install_items.h"
#include "database/sx_variable_access.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_run.h"
#include "install/item_phase.h"
#include "platform/ini_cache.h"
#include "plugins/sxplugin.h"
#include "util/case_tables.h"
#include "util/folder_path.h"

namespace sx {
namespace {

// No INI value can hold a line break, so this default tells a missing entry from any value.
constexpr char kMissingEntry[] = "\n<missing>\n";

struct TIniTexts {
  std::string file, section, param, value;
};

TIniTexts Expanded(TXMLObject* container, const TsxIni& item) {
  return {ExpandText(container, item.IniFile), ExpandText(container, item.Section),
          ExpandText(container, item.Param), ExpandText(container, item.Value)};
}

class TIniPhase {
 public:
  explicit TIniPhase(TXMLObject* container) : container_(container) {}

  bool Item(const TsxIni& item);
  // Writes the files changed so far; false (after the message) when one could not be written.
  bool WriteFiles();

 private:
  TXMLObject* container_;
  std::vector<std::string> files_;  // full names of the files changed, in order

  bool Fail(const std::string& file) {
    ShowItemError(FormatMessage("Error changing ini-file \"%s\".", file));
    return false;
  }
  // The first change of a file: its folder is made and the file backed up.
  bool ProtectFile(const std::string& file, TsxFlags flags, bool log);
};

bool TIniPhase::ProtectFile(const std::string& file, TsxFlags flags, bool log) {
  TInstallActions& actions = InstallActionList();
  if (actions.FindFileAction(file)) return true;
  actions.ForceFolders(FolderOf(file), true, log);
  return actions.AddFileAction(file, flags, false) != nullptr;
}

bool TIniPhase::Item(const TsxIni& item) {
  TIniTexts texts = Expanded(container_, item);
  const bool remove = item.Action == TsxInstallAction::remove;
  SxIniItem record{texts.file.c_str(), texts.section.c_str(), texts.param.c_str(), texts.value.c_str(),
                   remove ? SX_ACTION_REMOVE : SX_ACTION_ADD};
  if (ItemVetoed(ikIniEntries, &record)) return true;
  texts = Expanded(container_, item);
  record = {texts.file.c_str(), texts.section.c_str(), texts.param.c_str(), texts.value.c_str(), record.Action};
  // Backups, the action list and the log compare the file as the cache finds it.
  const std::string file = IniFullFileName(texts.file);

  if (remove) {
    IniDeleteKey(file, texts.section, texts.param);
    files_.push_back(file);
    ItemDone(ikIniEntries, &record);
    return true;
  }
  std::string oldValue = IniReadString(file, texts.section, texts.param, kMissingEntry);
  const bool existed = oldValue != kMissingEntry;
  if (!existed) oldValue.clear();
  if (existed && item.Flags.Contains(TsxFlag::dont_overwrite)) return true;

  TsxFlags flags = item.Flags;
  // The install log is an INI file too; entries the project adds to it are not logged in it.
  if (!LogFileName().empty() && SameTextFast(file, IniFullFileName(LogFileName())))
    flags.Include(TsxFlag::dont_log);
  const bool log = !flags.Contains(TsxFlag::dont_log);
  if (!ProtectFile(file, flags, log)) return Fail(file);
  files_.push_back(file);
  if (!IniWriteString(file, texts.section, texts.param, texts.value)) {
    IniCloseAll();
    return Fail(file);
  }
  auto& action = InstallActionList().AddActionOf<TInstallIni>();
  action.IniFile = file;
  action.Section = texts.section;
  action.Param = texts.param;
  action.OldValue = oldValue;
  action.Log = log;
  ItemDone(ikIniEntries, &record);
  return true;
}

bool TIniPhase::WriteFiles() {
  bool ok = true;
  for (const std::string& file : files_)
    if (!IniCloseFile(file) && ok) ok = Fail(file);
  files_.clear();
  // Other cached documents (the install log among them) are written here too: each one that
  // cannot be is named.
  std::vector<std::string> failed;
  IniCloseAll(failed);
  for (const std::string& file : failed)
    if (ok) ok = Fail(file);
  return ok;
}

}  // namespace

bool InstallIniItems(TXMLObject* container, TsxComponent& component) {
  TIniPhase phase(container);
  bool ok = true;
  for (TsxIni& item : *component.IniFiles) {
    if (!IsConditionTrue(item)) continue;
    if (!phase.Item(item)) {
      ok = false;
      break;
    }
  }
  return phase.WriteFiles() && ok;
}

}  // namespace sx
