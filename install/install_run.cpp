// The installation run, step by step: password, the log's own file, programs before the
// installation, old references, files, servers, registry, INI, fonts, shortcuts, environment,
// programs after the installation, the uninstall registration and the log.
#include "install/install_run.h"

#include <functional>
#include <string>

#include "database/sx_install_items.h"
#include "database/sx_variable_access.h"
#include "install/file_phase.h"
#include "install/file_steps.h"
#include "install/environment_items.h"
#include "install/fonts.h"
#include "install/ini_items.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "install/item_phase.h"
#include "install/registry_items.h"
#include "install/servers.h"
#include "install/shortcut_items.h"
#include "install/old_references.h"
#include "install/uninstall_registration.h"
#include "packages/password.h"
#include "platform/file_utils.h"
#include "platform/ini_cache.h"
#include "plugins/sxplugin.h"
#include "util/folder_path.h"
#include "util/str_utils.h"

namespace sx {
namespace {

constexpr int kStringCannotWrite = 11;    // "%s" is the path
constexpr int kStringOldReferences = 16;  // status text while old references are removed
constexpr int kStringInsertMedium = 19;   // "%s" is the missing setup program
constexpr std::uint32_t kOkCancelWarning = 0x31;
constexpr std::uint32_t kIconError = 0x10;
constexpr int kIdOk = 1;

class TInstallRun {
 public:
  TInstallRun()
      : services_(InstallServices()), database_(services_.Database()), actions_(InstallActionList()) {}

  bool Run();

 private:
  TInstallServices& services_;
  TsxMainDatabase& database_;
  TInstallActions& actions_;
  bool result_ = true;

  bool Resuming() { return services_.ResumeMode(); }

  // EV_BEFOREPROCESSITEMS: a non-zero reply takes the whole kind over (it counts as done).
  bool Vetoed(int kind) {
    return services_.SendEvent(EV_BEFOREPROCESSITEMS, static_cast<std::intptr_t>(kind) << 16, 0, false) != 0;
  }
  void AfterKind(int kind) {
    services_.SendEvent(EV_AFTERPROCESSITEMS, static_cast<std::intptr_t>(kind) << 16, 0, true);
  }
  // One kind framed by its events; the body runs only while the run has not failed.
  void Kind(int kind, const std::function<void()>& body) {
    if (!result_ || Vetoed(kind)) return;
    body();
    AfterKind(kind);
  }
  // A kind carried out component after component, in the project's order.
  void PerComponent(int kind, bool (*install)(TXMLObject*, TsxComponent&)) {
    Kind(kind, [&] {
      for (TsxComponent& component : *database_.Components) {
        result_ = install(ComponentContainer(database_, component), component) && !services_.Aborted();
        if (!result_) return;
      }
    });
  }

  bool CheckPassword();
  void ProtectLogFile(const std::string& logPath, bool uninstall);
  void CopyRegsvr32();
  bool WaitForSetupProgram();
};

bool TInstallRun::CheckPassword() {
  const std::string hash = ReadVariable(&database_, "PswCheckHash", "");
  if (hash.empty() || PasswordMatches(database_.Password, hash)) return true;
  services_.ShowBox(TBoxOwner::kActiveWindow, "Error", "Incorrect password has been specified!", kIconError);
  return false;
}

// The log is protected like any installed file: its folders are recorded, and an older log is
// backed up (never listed in itself), so that a rollback restores or removes it.
void TInstallRun::ProtectLogFile(const std::string& logPath, bool uninstall) {
  const std::string folder(FolderOf(logPath));
  actions_.ForceFolders(folder, true);
  // A log whose folder could not be made now would have it made, unrecorded before the log, by a
  // later phase, and the rollback could not remove it: the run fails here instead.
  const bool folderMissing = uninstall && folder.size() > 3 && !FolderExistsAt(folder);
  if (folderMissing || !actions_.AddFileAction(logPath, TsxFlags{TsxFlag::dont_log}, false)) {
    services_.ShowErrorBox(FormatLanguageText(services_.LanguageString(kStringCannotWrite), logPath));
    result_ = false;
  }
}

// Servers are registered with the system's regsvr32.exe; the first package may bring one for a
// machine that lacks it. Not recorded: it is the system's tool, not the product's.
void TInstallRun::CopyRegsvr32() {
  if (database_.Packages->Count() == 0) return;
  std::string source = database_.Packages->Items(0).TempPath;
  if (source.empty()) return;
  if (source.back() != '\\') source += '\\';
  source += "regsvr32.exe";
  std::string target = ReadVariable(&database_, "System", "");
  if (target.empty()) return;
  if (target.back() != '\\') target += '\\';
  target += "regsvr32.exe";
  // A copy that failed half-way must not stay as the system's tool.
  if (FileExistsAt(source) && !FileExistsAt(target) && !CopyFilePlain(source, target))
    DeleteFileKeepingAttributes(target);
}

// The setup program is the source of the files: when its medium was taken out, ask for it. False
// when the user cancels.
bool TInstallRun::WaitForSetupProgram() {
  for (;;) {
    const std::string exeName = services_.ExeName();
    if (FileExistsAt(exeName)) return true;
    const std::string text = FormatLanguageText(services_.LanguageString(kStringInsertMedium), exeName);
    if (services_.ShowBox(TBoxOwner::kMainWindow, ReadVariable(&database_, "AppName", ""), text,
                          kOkCancelWarning) != kIdOk)
      return false;
  }
}

bool TInstallRun::Run() {
  // 1. A new run: no abort left from before; the password, when the project has one.
  services_.SetAborted(false);
  if (!CheckPassword()) return false;

  // 2. The install folder, the uninstall setting and the log's path.
  std::string installPath = ReadVariable(&database_, "InstallPath", "%Windows%");
  if (installPath.empty() || installPath.back() != '\\') installPath += '\\';
  const bool uninstall = ReadVariableBool(&database_, "Uninstall", false);
  const std::string logPath = SetUpLogFile(&database_);
  const bool oldLogExists = FileExistsAt(logPath);
  const bool oldReferences = ReadVariableBool(&database_, "RemoveOldReferences", false) && oldLogExists;

  // 3. The log's own file and folders (not when resuming: they are in the loaded list).
  if (!Resuming()) {
    ProtectLogFile(logPath, uninstall);
    if (!result_) return false;
  }
  // 4. Logging, and the texts the uninstaller shows.
  if (uninstall) {
    EnableLog();
    if (!Resuming()) LogWriteUninstallTexts(&database_);
  }

  // 5. Programs before the installation.
  if (!Resuming() || database_.InstallState == TsxInstallState::isRunAppBeforeInstall) {
    database_.InstallState = TsxInstallState::isUnknown;
    services_.SetResumeMode(false);
    if (!Vetoed(ikPrograms)) {
      result_ = services_.RunApplications(TsxWhenStart::before_install) && !services_.Aborted();
      if (services_.ResumePending()) return result_;
      AfterKind(ikPrograms);
    }
    database_.InstallStateData.clear();
  }

  // 6.-8. Old references and files, unless resuming (or failed).
  if (result_ && !Resuming()) {
    if (oldReferences) {
      services_.ShowStatusText(services_.LanguageString(kStringOldReferences));
      RemoveOldReferencesFromLog(logPath);
      services_.HideStatusText();
    }
    if (!WaitForSetupProgram()) return false;
    if (!Vetoed(ikFiles)) {
      result_ = (FilePhaseStandIn ? FilePhaseStandIn() : InstallFiles()) && !services_.Aborted();
      if (result_ && uninstall && LogEnabled()) {
        if (!CopyUninstaller(database_, installPath)) return false;
      }
      AfterKind(ikFiles);
    }
    if (result_ && ReadVariableBool(&database_, "Reboot", false)) {
      // A file was in use: the rest follows the reboot, servers first.
      database_.InstallState = TsxInstallState::isRegServers;
      database_.InstallStateData.clear();
      if (!services_.SaveResumeState()) return false;
      services_.SetResumePending(true);
      return result_;
    }
  }

  // 9. Servers.
  if (result_ && (!Resuming() || database_.InstallState == TsxInstallState::isRegServers)) {
    database_.InstallState = TsxInstallState::isUnknown;
    services_.SetResumeMode(false);
    Kind(ikServers, [&] {
      CopyRegsvr32();
      result_ = RegisterServers() && !services_.Aborted();
    });
  }

  // 10. Registry, INI, fonts, shortcuts, environment.
  if (!Resuming()) {
    PerComponent(ikRegistry, InstallRegistryItems);
    PerComponent(ikIniEntries, InstallIniItems);
    Kind(ikFonts, [&] { result_ = RegisterFonts() && !services_.Aborted(); });
    PerComponent(ikShortcuts, InstallShortcutItems);
    if (result_) result_ = InstallEnvironment() && !services_.Aborted();
  }

  // 11. Programs after the installation.
  if (result_ && (!Resuming() || database_.InstallState == TsxInstallState::isRunAppAfterInstall)) {
    database_.InstallState = TsxInstallState::isUnknown;
    services_.SetResumeMode(false);
    if (!Vetoed(ikPrograms)) {
      result_ = services_.RunApplications(TsxWhenStart::after_install) && !services_.Aborted();
      if (services_.ResumePending()) return result_;
      AfterKind(ikPrograms);
    }
    database_.InstallStateData.clear();
  }

  // 12. Uninstall-time programs, the registration, the log of every action.
  if (result_ && uninstall && LogEnabled()) {
    // The programs to run at uninstall time, each moment framed as kind 6.
    for (TsxWhenStart when : {TsxWhenStart::before_uninstall, TsxWhenStart::after_uninstall}) {
      if (Vetoed(ikPrograms)) continue;
      LogUninstallPrograms(&database_, when);
      AfterKind(ikPrograms);
    }
    if (!RegisterUninstall(database_, installPath, logPath)) {
      services_.ShowErrorBox(FormatLanguageText(services_.LanguageString(kStringCannotWrite), UninstallKeyPath(database_, true)));
      return false;
    }
    actions_.WriteUninstallLog();
    if (!IniCloseFile(LogFileName())) {
      services_.ShowErrorBox(FormatLanguageText(services_.LanguageString(kStringCannotWrite), LogFileName()));
      result_ = false;
    }
  }
  return result_;
}

}  // namespace

bool RunInstallation() {
  // 13. The cached INI documents are written on every way out, errors included.
  struct CloseIniDocuments {
    ~CloseIniDocuments() { IniCloseAll(); }
  } closeIniDocuments;
  return TInstallRun().Run();
}

}  // namespace sx
