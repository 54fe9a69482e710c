#include "engine/main_flow.h"

#include <exception>
#include <memory>
#include <string>
#include <unordered_map>

#include "database/sx_main_database.h"
#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "engine/builtin_variables.h"
#include "engine/engine_common.h"
#include "engine/engine_context.h"
#include "engine/engine_resources.h"
#include "engine/engine_state.h"
#include "engine/launch_checks.h"
#include "engine/package_preparation.h"
#include "engine/run_app_items.h"
#include "host/host.h"
#include "install/file_phase.h"
#include "packages/embedded_resource.h"
#include "packages/pdb_file.h"
#include "packages/sx_unpacker.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "plugins/plugin_host.h"
#include "util/case_tables.h"
#include "util/errors.h"
#include "util/message_boxes.h"
#include "util/os_version.h"
#include "util/run_program.h"

namespace sx {
namespace {

constexpr char kUninstallKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeExtension(const std::string& path, std::string_view extension) {
  const size_t slash = path.find_last_of('\\');
  const size_t dot = path.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + std::string(extension);
}

bool ProtectedByHost(std::string_view path) { return host::CurrentHost().IsProtectedFile(path); }

class TMainFlow {
 public:
  explicit TMainFlow(TEngineContext& engine)
      : engine_(engine), database_(engine.Database()), state_(EngineState()),
        host_(host::CurrentHost()) {}

  bool Run();

 private:
  // The body of steps 5 to 20; false to go on to the tail with failure.
  bool Body();
  bool LoadMainPackage();
  bool Repair();
  void SelectFeatures(bool resumed);
  bool RunBeforeDialogs(bool& result);
  bool MarkComponents();
  bool PrepareFurtherPackages();
  bool Install();
  bool Tail(bool result);
  void Fail(std::string_view text) { ShowErrorBoxTitled("Error", text); }

  TEngineContext& engine_;
  TsxMainDatabase& database_;
  TEngineState& state_;
  host::Host& host_;
  bool started_ = false;  // EV_START was sent: EV_FINISH follows
  std::string savedCurrentDir_;
  std::unique_ptr<host::NamedMutex> setupMutex_;
  bool anotherSetupRuns_ = false;
  bool resultOfBody_ = false;
};

bool TMainFlow::Run() {
  // Step 1: engine-wide settings. Dates and times of the engine are always written
  // "mm/dd/yyyy" and "hh:mm:ss" (util), and the host needs no common controls.
  SetIniStripQuotes(false);
  if (state_.ExeName.empty()) state_.ExeName = host_.ModuleFileName();
  ExtraBoxFlags = kMbSetForeground;
  engine_.SetIconLoaded(!MainIconResource().empty());
  ConditionsEnabled = true;

  // Step 2.
  if (!engine_.MainWindow().Create()) {
    ShowErrorBox("Can't create main window!");
    return false;
  }
  // Step 3.
  if (!state_.ResumeMode) {
    if (EmbeddedResource("UNPACK").empty() || WriteUnpackLibrary(state_.TempDir).empty()) {
      ShowErrorBox("Can't extract UNPACK.DLL");
      engine_.MainWindow().Destroy();
      return false;
    }
  }
  SetUnpackDllPath(state_.TempDir + "unpack.dll");
  // Step 4: from here every exit runs the tail.
  engine_.Languages().Clear();
  savedCurrentDir_ = host_.CurrentFolder();
  host_.SetCurrentFolder(FolderOf(state_.ExeName));

  std::exception_ptr error;
  bool result = false;
  try {
    result = Body();
  } catch (...) {
    error = std::current_exception();
    result = false;
  }
  try {
    result = Tail(result);
  } catch (...) {
    if (!error) error = std::current_exception();
    result = false;
  }
  if (error) std::rethrow_exception(error);
  return result;
}

bool TMainFlow::Body() {
  TPluginHost& plugins = engine_.Plugins();
  // Step 5: the system's file protection, from Windows 2000 and ME on.
  const TOSVersion& os = OSVersion();
  if (os.Major > 4 || os.Kind == osWinMe) {
    SfcIsFileProtectedHook = ProtectedByHost;
    ProtectedFileHook = HostProtectsFile;
  }

  // Step 6.
  database_.TempFontsPath = state_.TempFontsPath;
  database_.TempGACPath = state_.TempGACPath;
  database_.TempBackupPath = state_.TempBackupPath;
  TsxSilentSettings& silent = engine_.SilentSettings();
  silent.Clear();
  const std::string silentFile = ChangeExtension(state_.ExeName, ".sss");
  if (host_.GetFileInfo(silentFile)) silent.LoadFromFile(silentFile, "silentsettings");
  if (!state_.ResumeMode) ApplySilentVariables(database_, silent);
  SetBuiltinVariables(database_, state_);

  // Step 7.
  if (!state_.ResumeMode && !LoadMainPackage()) return false;
  // Step 8.
  WriteVariableBool(&database_, "Reboot", false);
  state_.DisableRollbackFlag = ReadVariableBool(&database_, "DisableRollback", false);

  // Step 9: one setup of a product at a time.
  const std::string mutexName = ReadVariable(&database_, "AppID", "App") + " setup";
  setupMutex_ = host_.CreateNamedMutex(mutexName);
  if (!setupMutex_) {
    host_.Trace("mutex", "\"" + mutexName + "\" cannot be created: the run goes on unguarded");
  } else if (setupMutex_->AlreadyExisted()) {
    setupMutex_.reset();
    anotherSetupRuns_ = true;
  }

  // Step 10.
  if (state_.RepairMode && !Repair()) return false;
  // Step 11.
  engine_.Languages().Build();
  engine_.Languages().Choose();
  // Step 12. A resumed engine whose saved state holds no project cannot go on.
  if (database_.Packages->Count() == 0) throw EEngineError("Cannot resume installation.");
  if (!plugins.LoadPackagePlugins(database_.Packages->Items(0)) || state_.Aborted) return false;

  // Step 13. A run resumed before the dialogs continues as a fresh one, selection included.
  const bool resumedAfterDialogs =
      state_.ResumeMode && database_.InstallState != TsxInstallState::isRunAppBeforeDialogs;
  SelectFeatures(resumedAfterDialogs);
  // Step 14.
  if (!state_.ResumeMode && (!LaunchChecks(anotherSetupRuns_) || state_.Aborted)) return false;
  // Step 15: plug-ins that saw EV_START see EV_FINISH, even after an abort in EV_START.
  SendEvent(EV_START, 0, 0, true);
  started_ = true;
  if (state_.Aborted) return false;

  // Step 16.
  if (!state_.ResumeMode || database_.InstallState == TsxInstallState::isRunAppBeforeDialogs) {
    bool outcome = false;
    if (!RunBeforeDialogs(outcome)) return outcome;
  }
  // Steps 17 and 18.
  if (!state_.ResumeMode) {
    if (SendEvent(EV_SHOWDIALOGS, 0, 0, false) != 0 || state_.Aborted) return false;
    if (!MarkComponents() || !PrepareFurtherPackages()) return false;
  }
  // Step 19: a package whose plug-ins fail has shown its message; the others still load.
  for (int i = 1; i < database_.Packages->Count(); ++i)
    plugins.LoadPackagePlugins(database_.Packages->Items(i));
  // Step 20.
  return Install();
}

bool TMainFlow::LoadMainPackage() {
  TsxPackage& main = database_.Packages->AddNew();
  main.FullFileName = state_.ExeName;
  main.Needed = true;
  main.Main = true;
  if (!CheckPackage(main)) return false;
  if (!PreparePackages()) {
    ShowErrorBox(
        "Cannot prepare main package.\rProbably incorrect TMP/TEMP variables or there is no "
        "execute permission for temporary folder.");
    return false;
  }
  LoadPackageDatabase(main);
  // The project replaces the variables; its packages follow the main package.
  database_.Variables->Clear();
  const std::string path = main.TempPath + "main.pdb";
  const std::string text = ReadPdbFile(path);
  if (text.empty()) throw EEngineError("Project database \"" + path + "\" is missing or empty.");
  TXMLTag tag;
  tag.Parse(text);
  if (tag.Name() != "sx2project") throw EEngineError("Project database \"" + path + "\" is damaged.");
  database_.MergeFrom(tag);
  ApplySilentVariables(database_, engine_.SilentSettings());
  SetBuiltinVariables(database_, state_);
  database_.RebootOnFinish = ReadVariableBool(&database_, "Reboot", false);
  return true;
}

bool TMainFlow::Repair() {
  const std::string appId = ReadVariable(&database_, "AppID", "App");
  if (!state_.RepairAppId.empty() && state_.RepairAppId != appId) {
    ShowErrorBox("Cannot repair application!");
    return false;
  }
  engine_.Installation().SetLogPath(ReadVariable(&database_, "LogFile", ""));
  std::string file = RegReadString("HKLM" + std::string(kUninstallKey) + appId, "SilentSettings", "");
  if (file.empty())
    file = RegReadString("HKCU" + std::string(kUninstallKey) + appId, "SilentSettings", "");
  auto info = file.empty() ? std::nullopt : host_.GetFileInfo(file);
  if (!info || (info->attributes & host::kAttrDirectory)) {
    ShowErrorBox("Cannot repair application!");
    return false;
  }
  TsxSilentSettings& silent = engine_.SilentSettings();
  silent.Clear();
  silent.LoadFromFile(file, "silentsettings");
  ApplySilentVariables(database_, silent);
  WriteVariable(&database_, "SilentMode", "2");
  return true;
}

void TMainFlow::SelectFeatures(bool resumed) {
  const TsxSilentSettings& silent = engine_.SilentSettings();
  if (resumed || state_.RepairMode) {
    // The saved or previous selection stands; only the active install type is looked up.
    const std::string id = state_.RepairMode ? silent.ActiveInstallType : database_.ActiveInstallType;
    TsxInstallType* next = nullptr;
    TsxInstallType* found = id.empty() ? nullptr : FindInstallType(*database_.InstallTypes, id, next);
    database_.ActiveInstallType = found ? found->ID : "";
  } else if (database_.InstallTypes->Count() == 0) {
    ForEachEnabledFeature(*database_.Features, [](TsxFeature& feature, int) {
      if (!feature.Selected) SetSelected(feature, true);
    });
  } else {
    std::string id = silent.ActiveInstallType;
    if (id.empty()) {
      for (const TsxInstallType& type : *database_.InstallTypes)
        if (type.Default && IsConditionTrue(type)) {
          id = type.ID;
          break;
        }
      if (id.empty()) id = database_.InstallTypes->Items(0).ID;
    }
    SetActiveInstallType(database_, id);
  }
  if (resumed) return;
  for (const TsxFeature& wanted : *silent.Features) {
    TsxFeature* feature = FindFeature(*database_.Features, wanted.ID);
    if (feature && IsConditionTrue(*feature)) SetFeatureState(database_, feature->ID, true);
  }
}

// Step 16; false to go on to the tail with `result`.
bool TMainFlow::RunBeforeDialogs(bool& result) {
  database_.InstallState = TsxInstallState::isUnknown;
  state_.ResumeMode = false;
  const intptr_t param = SX_STAGE_PARAM(SX_STAGE_RUNAPPS);
  bool outcome = true;
  if (SendEvent(EV_BEFOREPROCESSITEMS, param, 0, false) == 0) {
    outcome = ForMainComponents(RunAppItems, TsxWhenStart::before_dialogs);
    if (state_.ResumePending) {
      result = outcome;  // the tail prepares the resume
      return false;
    }
    SendEvent(EV_AFTERPROCESSITEMS, param, 0, true);
  }
  database_.InstallStateData.clear();
  result = false;
  return outcome && !state_.Aborted;
}

bool TMainFlow::MarkComponents() {
  TsxComponents& components = *database_.Components;
  std::unordered_map<std::string, TsxComponent*> byId;
  byId.reserve(static_cast<size_t>(components.Count()));
  for (TsxComponent& component : components) byId.emplace(LowerCaseFast(component.ID()), &component);
  std::unordered_map<const TsxComponent*, bool> marked;
  std::string missing;
  if (database_.Features->Count() > 0) {
    ForEachEnabledFeature(*database_.Features, [&](TsxFeature& feature, int) {
      if (!feature.Selected || !missing.empty()) return;
      for (const TsxComponent& reference : *feature.Components) {
        auto found = byId.find(LowerCaseFast(reference.ID()));
        if (found == byId.end()) {
          missing = reference.ID();
          return;
        }
        if (IsConditionTrue(*found->second)) marked[found->second] = true;
      }
    });
    if (!missing.empty()) {
      Fail("Component ID=\"" + missing + "\" not found.");
      return false;
    }
  } else {
    for (TsxComponent& component : components)
      if (IsConditionTrue(component)) marked[&component] = true;
  }
  const std::string defaultPackage = ChangeExtension(NameOf(state_.ExeName), "");
  for (int i = components.Count() - 1; i >= 0; --i) {
    TsxComponent& component = components[i];
    if (!marked.count(&component))
      components.Delete(i);
    else if (component.Package.empty())
      component.Package = defaultPackage;
  }
  return true;
}

bool TMainFlow::PrepareFurtherPackages() {
  TsxPackages& packages = *database_.Packages;
  for (TsxComponent& component : *database_.Components) {
    TsxPackage* package = packages.FindByFileName(component.Package);
    if (!package) {
      Fail("Can't find package \"" + component.Package + "\" in main database.");
      return false;
    }
    package->Needed = true;
  }
  for (int i = packages.Count() - 1; i >= 1; --i)
    if (!packages[i].Needed) packages.Delete(i);
  for (int i = 1; i < packages.Count(); ++i) {
    packages[i].FullFileName = host_.FullPath(ChangeExtension(packages[i].FileName, ".sxp"));
    if (!CheckPackage(packages[i])) return false;
  }
  if (!PreparePackages()) {
    Fail("Cannot prepare packages.");
    return false;
  }
  for (int i = 1; i < packages.Count(); ++i)
    if (!LoadPackageDatabase(packages[i])) return false;
  // Each package's own definition of its components replaces the project's outline.
  std::unordered_map<const TsxPackage*, std::unordered_map<std::string, TsxComponent*>> index;
  for (TsxComponent& component : *database_.Components) {
    TsxPackage* package = packages.FindByFileName(component.Package);
    if (!package) {
      Fail("Can't find package \"" + component.Package + "\" in main database.");
      return false;
    }
    auto [entry, fresh] = index.try_emplace(package);
    if (fresh)
      for (TsxComponent& own : *package->Components) entry->second.emplace(own.ID(), &own);
    auto own = entry->second.find(component.ID());
    if (own == entry->second.end()) continue;
    own->second->Package = component.Package;
    component.Assign(*own->second);
  }
  return true;
}

bool TMainFlow::Install() {
  if (state_.Aborted ||
      (!state_.ResumeMode && (SendEvent(EV_BEFOREINSTALL, 0, 0, false) != 0 || state_.Aborted)))
    return false;
  TInstallationSteps& installation = engine_.Installation();
  TInstallationHooks hooks = RunAppHooks();
  hooks.LanguageText = [this](std::string_view section, std::string_view key) {
    return engine_.Languages().Text(section, key);
  };
  installation.SetHooks(std::move(hooks));
  bool result = installation.RunInstallation();
  if (!state_.ResumePending && result) {
    SendEvent(EV_AFTERINSTALL, 0, 0, true);
    result = !state_.Aborted;
    if (result) result = SendEvent(EV_SHOWDIALOGS, 1, 0, false) == 0 && !state_.Aborted;
  }
  if (result && !SessionEnding) {
    if (database_.RebootOnFinish && !state_.ResumeMode) WriteVariableBool(&database_, "Reboot", true);
    if (ReadVariableBool(&database_, "Reboot", false)) {
      SendEvent(EV_QUERYREBOOT, 0, 0, false);
      result = !state_.Aborted;
    }
  }
  return result;
}

// Step 21. Every step runs, also when an earlier one raised; the first error goes on afterwards.
bool TMainFlow::Tail(bool result) {
  std::exception_ptr error;
  auto step = [&error](auto&& action) {
    try {
      action();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  };
  TInstallationSteps& installation = engine_.Installation();
  TPluginHost& plugins = engine_.Plugins();
  step([&] {
    if (result) result = installation.PrepareResume();
  });
  if (!result) {
    step([&] { WriteVariableBool(&database_, "Reboot", false); });
    state_.ResumePending = false;
    step([&] {
      if (state_.DisableRollbackFlag || installation.ActionCount() < 1) return;
      plugins.ShowStatusText(engine_.Languages().Text(18));
      IniCloseAll();
      try {
        installation.RollbackAll();
      } catch (...) {
        plugins.HideStatusText();
        throw;
      }
      plugins.HideStatusText();
    });
  }
  step([&] {
    if (!state_.ResumePending && started_) SendEvent(EV_FINISH, result ? 1 : 0, 0, true);
  });
  step([&] { state_.RebootAtExit = ReadVariableBool(&database_, "Reboot", false); });
  step([&] { plugins.UnloadAllPlugins(); });
  step([&] { host_.SetCurrentFolder(savedCurrentDir_); });
  setupMutex_.reset();
  SfcIsFileProtectedHook = nullptr;
  ProtectedFileHook = nullptr;
  step([&] { IniCloseAll(); });
  engine_.Languages().Clear();
  step([&] { database_.Clear(); });
  engine_.MainWindow().Destroy();
  engine_.SetIconLoaded(false);
  if (error) std::rethrow_exception(error);
  return result;
}

}  // namespace

bool RunMainFlow() {
  TEngineContext* engine = CurrentEngine();
  if (!engine) throw EEngineError("The engine's objects have not been set up.");
  return TMainFlow(*engine).Run();
}

}  // namespace sx
