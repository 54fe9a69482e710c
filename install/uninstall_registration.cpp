#include "install/uninstall_registration.h"

#include <array>
#include <unordered_set>

#include "database/sx_condition_object.h"
#include "database/sx_main_database.h"
#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "host/host.h"
#include "install/file_steps.h"
#include "install/file_registration.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "install/reg_capture.h"
#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "util/case_tables.h"
#include "util/folder_path.h"

namespace sx {
namespace {

constexpr char kUninstallKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr std::uint32_t kIconError = 0x10;

// The variables a project sets for itself, never part of a user's choices.
constexpr std::array<std::string_view, 28> kProjectSettingNames{
    "PackAlgorithmVersion", "DisableRepair", "DisableRollback", "AppID", "AppName", "CompanyName",
    "AppHomeURL", "AppVersion", "AppIcon", "AppSupportContact", "AppSupportURL", "AppSupportPhone",
    "AppReadme", "AppUpdateURL", "AppComments", "Languages", "AutoSelectLanguage", "Uninstall",
    "LogFile", "SupportedOS", "MinOSVersion", "AdminRights", "Reboot", "RemoveOldReferences",
    "PswCheckHash", "InstallPlatform", "SilentMode", "Charset"};

// A registry value written with its earlier state recorded (Log false), so that rollback
// restores or removes it.
bool WriteRecordedString(const std::string& key, std::string_view name, std::string_view text) {
  auto& action = InstallActionList().AddActionOf<TInstallReg>();
  action.Log = false;
  CaptureRegValue(action, key, name);
  return RegWriteString(key, name, text);
}

std::string WithExtension(const std::string& path, std::string_view extension) {
  const size_t slash = path.find_last_of('\\');
  const size_t dot = path.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + std::string(extension);
}

// The value of the variable, expanded; "" for no variable.
std::string Expanded(TsxMainDatabase& database, std::string_view variable) {
  return variable.empty() ? "" : ReadVariable(&database, variable, "");
}

// The user's choices: the variables whose condition holds, less the project's own settings, the
// active install type and the selected features in pre-order. True when the file was saved.
// Variables the engine made itself (system folders, the imported environment of this process)
// are no choice: a repair defines them afresh, and the environment may hold secrets that have no
// business in a file left on the machine.
bool SaveSilentSettings(TsxMainDatabase& database, const std::string& path) {
  TsxSilentSettings settings;
  std::unordered_set<std::string> excluded;
  for (std::string_view name : kProjectSettingNames) excluded.insert(LowerCaseFast(name));
  // Item by item: the project's list holds no duplicates, and copying the whole list at once
  // would look for them at a cost that grows with the square of its length.
  for (const TsxVariable& variable : *database.Variables)
    if (!variable.Transient && IsConditionTrue(variable) && !excluded.count(LowerCaseFast(variable.Name)))
      settings.Variables->AddNew().Assign(variable);
  settings.ActiveInstallType = database.ActiveInstallType;
  ForEachEnabledFeature(*database.Features, [&](TsxFeature& feature, int) {
    if (feature.Selected) settings.Features->AddNew().ID = feature.ID;
  });
  // An older file is backed up, so that a rollback brings it back.
  if (!InstallActionList().AddFileAction(path, TsxFlags{TsxFlag::dont_log}, true)) return false;
  return settings.SaveToFile(path, "silentsettings");
}

}  // namespace

std::string UninstallKeyPath(TsxMainDatabase& database, bool machine) {
  std::string appId = ReadVariable(&database, "AppID", "App");
  if (appId.empty()) appId = "App";
  return std::string(machine ? "HKLM" : "HKCU") + kUninstallKey + appId;
}

bool CopySystemFile(const std::string& source, const std::string& target, bool log) {
  if (!FileExistsAt(source)) return true;
  TInstallActions& actions = InstallActionList();
  TInstallFile* action = actions.AddFileAction(target, TsxFlags{}, true);
  bool copied = false;
  if (action) {
    action->Log = log;
    actions.ForceFolders(FolderOf(target), true);
    if (action->RenamePending) {
      copied = CopyFilePlain(source, action->TmpFileName);
    } else {
      // Written beside the target under a temporary name and renamed when complete: the target
      // never holds half a program.
      const std::string staged = CreateTempFileIn(FolderOf(target), "~sx");
      copied = !staged.empty() && CopyFilePlain(source, staged) && host::CurrentHost().MoveFile(staged, target, true);
      if (!copied && !staged.empty()) DeleteFileKeepingAttributes(staged);
    }
  }
  if (!copied)
    InstallServices().ShowBox(TBoxOwner::kActiveWindow, "Error",
                              "Cannot copy system file \"" + target + "\".", kIconError);
  return copied;
}

bool CopyUninstaller(TsxMainDatabase& database, const std::string& installPath) {
  if (database.Packages->Count() == 0) return true;
  std::string source = database.Packages->Items(0).TempPath;
  if (!source.empty() && source.back() != '\\') source += '\\';
  const std::string uninstaller = installPath + "Uninstall.exe";
  const bool existed = FileExistsAt(uninstaller);
  if (!CopySystemFile(source + "Uninstall.exe", uninstaller, false)) return false;
  if (FileExistsAt(uninstaller) && !IncrementSharedCount(uninstaller, existed)) {
    InstallServices().ShowBox(TBoxOwner::kActiveWindow, "Error",
                              "Cannot count the shared file \"" + uninstaller + "\".", kIconError);
    return false;
  }
  return CopySystemFile(source + "gacutil.exe", installPath + "gacutil.exe", true);
}

bool RegisterUninstall(TsxMainDatabase& database, const std::string& installPath, const std::string& logPath) {
  TInstallActions& actions = InstallActionList();
  // The empty "DisplayName" probes whether the machine's list can be written. The key is made
  // (and recorded) first: a value written into a missing key would make it unrecorded.
  auto openEntry = [&](bool machine) {
    const std::string key = UninstallKeyPath(database, machine);
    actions.ForceRegKeys(key, true, false);
    return RegKeyExists(key) && WriteRecordedString(key, "DisplayName", "") ? key : std::string();
  };
  std::string key = openEntry(true);
  if (key.empty()) key = openEntry(false);
  if (key.empty()) return true;  // no list can be written: the entry is passed over
  LogWrite(lsCreateKeys, key, "");

  struct Value {
    std::string_view name, variable, fallback;
  };
  const std::string uninstallString = "\"" + installPath + "Uninstall.exe\" \"" + logPath + "\"";
  const std::string exeName = InstallServices().ExeName();
  const Value values[] = {
      {"DisplayName", "UninstallDisplayName", "%AppName%"}, {"UninstallString", "", uninstallString},
      {"InstallLocation", "InstallPath", ""},               {"InstallSource", "SourcePath", ""},
      {"InstallSourceFile", "", exeName},                   {"InstallDate", "Date", ""},
      {"DisplayIcon", "AppIcon", ""},                       {"Publisher", "CompanyName", ""},
      {"URLInfoAbout", "AppHomeURL", ""},                   {"DisplayVersion", "AppVersion", ""},
      {"Contact", "AppSupportContact", ""},                 {"HelpLink", "AppSupportURL", ""},
      {"HelpTelephone", "AppSupportPhone", ""},             {"Readme", "AppReadme", ""},
      {"URLUpdateInfo", "AppUpdateURL", ""},                {"Comments", "AppComments", ""},
  };
  for (const Value& value : values) {
    std::string text = Expanded(database, value.variable);
    // Paths are taken as they are: a "%" in a folder name is no variable.
    if (text.empty()) text = value.variable.empty() ? std::string(value.fallback) : ExpandText(&database, value.fallback);
    // An entry without its command line or name would leave a product nobody can remove.
    if (!text.empty() && !WriteRecordedString(key, value.name, text)) return false;
  }
  if (ReadVariableBool(&database, "DisableRepair", false)) return true;
  const std::string settingsPath = WithExtension(logPath, ".sss");
  return SaveSilentSettings(database, settingsPath) && WriteRecordedString(key, "SilentSettings", settingsPath);
}

}  // namespace sx
