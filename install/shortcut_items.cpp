#include "install/shortcut_items.h"

#include "database/sx_component.h"
#include "database/sx_install_items.h"
#include "database/sx_variable_access.h"
#include "install/file_steps.h"
#include "install/install_actions.h"
#include "install/install_run.h"
#include "install/item_phase.h"
#include "platform/shell_link.h"
#include "plugins/sxplugin.h"
#include "util/folder_path.h"

namespace sx {
namespace {

struct TShortcutTexts {
  std::string name, cmdLine, arg, workDir, iconFile, description;
};

TShortcutTexts Expanded(TXMLObject* container, const TsxShortcut& item) {
  return {ExpandText(container, item.Name),     ExpandText(container, item.CmdLine),
          ExpandText(container, item.Arg),      ExpandText(container, item.WorkDir),
          ExpandText(container, item.IconFile), ExpandText(container, item.Description)};
}

std::uint8_t ShowCmdOf(TsxShowCmd show) {
  return show == TsxShowCmd::scMin ? 1 : show == TsxShowCmd::scMax ? 2 : 0;
}

SxShortcutItem RecordOf(const TShortcutTexts& texts, const TsxShortcut& item) {
  return {texts.name.c_str(),
          texts.cmdLine.c_str(),
          texts.arg.c_str(),
          texts.workDir.c_str(),
          ShowCmdOf(item.ShowCmd),
          texts.iconFile.c_str(),
          item.Icon,
          item.Hotkey,
          texts.description.c_str(),
          item.Action == TsxInstallAction::remove ? SX_ACTION_REMOVE : SX_ACTION_ADD};
}

void ShowLinkError(const std::string& link) {
  ShowItemError(FormatMessage("Error creating shortcut \"%s\".", link));
}

// Drops the file action just added for a link that was not written after all.
void DropFileAction(TInstallActions& actions, TInstallFile* added) {
  if (!added || actions.Count() == 0 || &actions.Items(actions.Count() - 1) != added) return;
  if (!added->BackupFileName.empty()) DeleteFileKeepingAttributes(added->BackupFileName);
  actions.Delete(actions.Count() - 1);
}

void InstallShortcut(TXMLObject* container, const TsxShortcut& item) {
  TShortcutTexts texts = Expanded(container, item);
  if (item.Flags.Contains(TsxFlag::dont_overwrite) && FileExistsAt(texts.name + ".lnk")) return;
  SxShortcutItem record = RecordOf(texts, item);
  if (ItemVetoed(ikShortcuts, &record)) return;
  texts = Expanded(container, item);
  record = RecordOf(texts, item);
  const std::string link = texts.name + ".lnk";
  const bool remove = item.Action == TsxInstallAction::remove;
  const bool log = !item.Flags.Contains(TsxFlag::dont_log);
  TInstallActions& actions = InstallActionList();

  if (texts.name.empty() || FolderOf(link).empty()) {
    // No folder to put the link in: a relative name would land wherever the engine runs.
    ShowLinkError(link);
    ItemDone(ikShortcuts, &record);
    return;
  }
  if (!remove) actions.ForceFolders(FolderOf(link), true, log);
  TInstallFile* added = nullptr;
  if (!actions.FindFileAction(link)) {
    TsxFlags flags = item.Flags;
    flags.Include(TsxFlag::dont_log);
    // A new link replaces the old one in one step when it is saved, so the old one is only
    // backed up here; a removal deletes it.
    added = remove ? actions.AddFileAction(link, flags, true, TFileChange::kRemove)
                   : actions.AddFileAction(link, flags, false);
    if (!added) {
      ShowLinkError(link);
      ItemDone(ikShortcuts, &record);
      return;
    }
  }
  if (remove) {
    DeleteFileKeepingAttributes(link);
  } else {
    TqvShellLink shellLink;
    shellLink.Target = texts.cmdLine;
    shellLink.Arguments = texts.arg;
    shellLink.WorkingDir = texts.workDir;
    shellLink.IconFile = texts.iconFile;
    shellLink.IconIndex = item.Icon;
    shellLink.HotKey = static_cast<std::uint16_t>(item.Hotkey & 0xFFFF);
    shellLink.ShowCmd = ShowCmdOf(item.ShowCmd);
    shellLink.Description = texts.description;
    if (shellLink.SaveTo(link)) {
      auto& action = actions.AddActionOf<TInstallShortcut>();
      action.LinkFile = link;
      action.Log = log;
    } else {
      DropFileAction(actions, added);
      ShowLinkError(link);
    }
  }
  ItemDone(ikShortcuts, &record);
}

}  // namespace

bool InstallShortcutItems(TXMLObject* container, TsxComponent& component) {
  for (TsxShortcut& item : *component.Shortcuts)
    if (IsConditionTrue(item)) InstallShortcut(container, item);
  return true;
}

}  // namespace sx
