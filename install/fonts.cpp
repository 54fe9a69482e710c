#include "install/fonts.h"

#include <vector>

#include "database/sx_variable_access.h"
#include "host/host.h"
#include "install/install_actions.h"
#include "install/install_run.h"
#include "install/install_services.h"
#include "install/item_phase.h"
#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "plugins/sxplugin.h"
#include "util/case_tables.h"
#include "util/folder_path.h"
#include "util/os_version.h"
#include "util/unique_name.h"

namespace sx {
namespace {

std::string WithoutTrailingBackslash(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// The registered file as a full path: a bare name is in the fonts folder.
std::string RegisteredPath(const std::string& value, const std::string& fontsFolder) {
  if (!FolderOf(value).empty()) return value;
  return fontsFolder + "\\" + value;
}

std::string ExtensionOf(std::string_view path) {
  const size_t slash = path.rfind('\\');
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return std::string(path.substr(dot));
}

}  // namespace

std::string FontsKey() {
  return IsWin9x() ? "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts\\"
                   : "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\";
}

bool InstallFont(const std::string& fontName, const std::string& stagedFile, std::string target, bool log) {
  TsxMainDatabase& database = InstallServices().Database();
  const std::string fontsFolder = WithoutTrailingBackslash(ReadVariable(&database, "Fonts", ""));
  const std::string key = FontsKey();
  std::string name = fontName;
  bool registered = RegValueExists(key, name);
  if (!registered && SameTextFast(ExtensionOf(target), ".ttf")) {
    name += " (TrueType)";
    registered = RegValueExists(key, name);
  }
  if (registered) {
    target = RegisteredPath(RegReadString(key, name, ""), fontsFolder);
  } else if (host::CurrentHost().GetFileInfo(target)) {
    // Another font file of that name is there: this one takes a new name beside it.
    const std::string folder(FolderOf(target));
    const std::string extension = ExtensionOf(target);
    std::string base = target.substr(folder.size(), target.size() - folder.size() - extension.size());
    target = folder + MakeUniqueName(folder, base.substr(0, 4), extension, true);
  }

  TsxFlags flags{TsxFlag::reg_font};
  if (!log) flags.Include(TsxFlag::dont_log);
  TInstallActions& actions = InstallActionList();
  actions.ForceFolders(FolderOf(target), true, log);
  TInstallFile* action = actions.AddFileAction(target, flags, true);
  if (!action) return false;
  action->FontName = name;
  const std::string& copyTo = action->RenamePending ? action->TmpFileName : target;
  if (!CopyFilePlain(stagedFile, copyTo)) return false;
  if (registered) {
    action->Log = false;
    return true;
  }
  auto& host = host::CurrentHost();
  if (!host.AddFontResource(target)) return false;
  const std::string folder = WithoutTrailingBackslash(std::string(FolderOf(target)));
  const bool inFontsFolder = !fontsFolder.empty() && SameTextFast(folder, fontsFolder);
  const std::string value = inFontsFolder ? target.substr(folder.size() + 1) : target;
  if (!RegWriteString(key, name, value)) return false;
  host.BroadcastFontChange();
  return true;
}

bool RegisterFonts() {
  TInstallActions& actions = InstallActionList();
  // The staged fonts as the phase finds them; InstallFont's own actions are not visited.
  std::vector<TInstallFile*> staged;
  for (TInstallAction& action : actions)
    if (auto* file = dynamic_cast<TInstallFile*>(&action); file && file->IsStagedFont()) staged.push_back(file);
  for (TInstallFile* file : staged) {
    const std::string path = file->FileName;
    SxRegisterItem record{path.c_str(), 0};
    if (ItemVetoed(ikFonts, &record)) continue;
    if (!InstallFont(file->FontName, file->TmpFileName, file->FileName, file->Log)) {
      ShowItemError(FormatMessage("Cannot register font \"%s\".", file->FontName));
      return false;
    }
    file->Log = false;
    ItemDone(ikFonts, &record);
  }
  return true;
}

}  // namespace sx
