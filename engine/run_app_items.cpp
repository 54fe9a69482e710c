#include "engine/run_app_items.h"

#include <atomic>
#include <cstdlib>

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "engine/engine_common.h"
#include "engine/engine_context.h"
#include "engine/engine_state.h"
#include "host/host.h"
#include "platform/file_utils.h"
#include "plugins/plugin_host.h"
#include "util/run_program.h"
#include "util/str_utils.h"

namespace sx {
namespace {

// The key of the next uninstall record: one counter for both sections, from 0, per process.
std::atomic<int> g_uninstallRecordKey{0};

// The moment as plug-ins number it: before and after the installation are the other way round.
intptr_t PluginMoment(TsxWhenStart moment) {
  switch (moment) {
    case TsxWhenStart::after_install: return 1;
    case TsxWhenStart::before_install: return 0;
    default: return static_cast<intptr_t>(moment);
  }
}

// ShowWindow's codes for normal, minimised (not activated), maximised and hidden.
int StartShow(TsxShowCmd show) {
  static constexpr int kShow[] = {1, 7, 3, 0};
  return kShow[static_cast<int>(show)];
}

// The uninstaller's numbers for the same four.
int UninstallShow(TsxShowCmd show) {
  static constexpr int kShow[] = {1, 3, 2, 0};
  return kShow[static_cast<int>(show)];
}

TsxInstallState StateOf(TsxWhenStart moment) {
  switch (moment) {
    case TsxWhenStart::after_install: return TsxInstallState::isRunAppAfterInstall;
    case TsxWhenStart::before_install: return TsxInstallState::isRunAppBeforeInstall;
    default: return TsxInstallState::isRunAppBeforeDialogs;
  }
}

std::string Quote(const std::string& field) { return "'" + ReplaceAll(field, "'", "''") + "'"; }

// "<ID>,<index>" split at its last comma (an ID may hold commas); a bad index reads as 0.
void SplitPosition(const std::string& data, std::string& id, int& index) {
  const size_t comma = data.find_last_of(',');
  id = comma == std::string::npos ? data : data.substr(0, comma);
  index = 0;
  if (comma == std::string::npos) return;
  const std::string number = Trim(data.substr(comma + 1));
  char* end = nullptr;
  const long value = std::strtol(number.c_str(), &end, 10);
  if (!number.empty() && end && *end == '\0' && value >= 0 && value <= 0x7FFFFFFF)
    index = static_cast<int>(value);
}

void ClearPosition(TsxMainDatabase& database) {
  database.InstallState = TsxInstallState::isUnknown;
  database.InstallStateData.clear();
}

}  // namespace

std::string UninstallRecord(const std::string& cmdLine, const std::string& arg,
                            const std::string& workDir, int show, const std::string& msg,
                            bool wait, bool checkExitCode) {
  return Quote(cmdLine) + "," + Quote(arg) + "," + Quote(workDir) + "," + std::to_string(show) +
         "," + Quote(msg) + "," + (wait ? "1" : "0") + "," + (checkExitCode ? "1" : "0");
}

bool RunAppItems(TsxPackage* package, TsxComponent& component, TsxWhenStart moment) {
  TEngineContext& engine = *CurrentEngine();
  TsxMainDatabase& database = engine.Database();
  TEngineState& state = EngineState();
  TXMLObject* context = package ? static_cast<TXMLObject*>(package) : &database;

  bool resuming = false;
  int resumeIndex = 0;
  if (!database.InstallStateData.empty()) {
    std::string id;
    SplitPosition(database.InstallStateData, id, resumeIndex);
    if (id != component.ID()) return true;
    resuming = true;
  }
  TsxRunApps& items = *component.RunApps;
  const intptr_t param = SX_STAGE_PARAM(SX_STAGE_RUNAPPS);
  try {
    for (int i = 0; i < items.Count(); ++i) {
      TsxRunApp& item = items[i];
      if (resuming) {
        // The interrupted item ran before the reboot: continue after it.
        if (i == resumeIndex) {
          database.InstallStateData.clear();
          resuming = false;
        }
        continue;
      }
      if (item.WhenStart != moment || !IsConditionTrue(item)) continue;
      const std::string cmdLine = ExpandText(context, item.CmdLine);
      const std::string arg = ExpandText(context, item.Arg);
      const std::string workDir = ExpandText(context, item.WorkDir);
      const std::string msg = ExpandText(context, item.Msg);
      SxRunAppItem record{cmdLine.c_str(), arg.c_str(), workDir.c_str(),
                          static_cast<intptr_t>(item.ShowCmd), msg.c_str(), PluginMoment(moment)};
      const intptr_t data = reinterpret_cast<intptr_t>(&record);
      if (SendEvent(EV_BEFOREPROCESSITEM, param, data, false) != 0) continue;

      const bool noWait = item.Flags.Contains(TsxFlag::dont_wait);
      const bool checkExitCode = item.Flags.Contains(TsxFlag::check_exitcode);
      if (moment == TsxWhenStart::before_uninstall || moment == TsxWhenStart::after_uninstall) {
        engine.Installation().LogAddRecord(
            moment == TsxWhenStart::before_uninstall ? "PreRunApp" : "RunApp",
            std::to_string(g_uninstallRecordKey++),
            UninstallRecord(cmdLine, arg, workDir, UninstallShow(item.ShowCmd), msg, !noWait,
                            checkExitCode));
      } else {
        database.InstallState = StateOf(moment);
        database.InstallStateData = component.ID() + "," + std::to_string(i);
        int code;
        if (noWait) {
          auto process = host::CurrentHost().ShellExecute(cmdLine, arg, workDir, StartShow(item.ShowCmd));
          code = process ? 0 : -1;  // with check_exitcode, a program that cannot start fails
        } else {
          code = RunAndWait(engine.MainWindow().Handle(), cmdLine, arg, StartShow(item.ShowCmd),
                            workDir);
        }
        if (checkExitCode && code != 0) {
          if (!state.ResumePending) ClearPosition(database);
          return false;
        }
        if (state.ResumePending) return true;  // the remaining items run after the reboot
        ClearPosition(database);
        if (FolderExistsAt(cmdLine))
          WaitServingMessages(host::CurrentHost().TickCount(), 500);
      }
      SendEvent(EV_AFTERPROCESSITEM, param, data, true);
    }
  } catch (...) {
    if (!state.ResumePending) ClearPosition(database);
    throw;
  }
  return true;
}

bool ForAllComponents(const TRunAppItemsFunction& routine, TsxWhenStart moment) {
  TsxMainDatabase& database = CurrentEngine()->Database();
  for (TsxComponent& component : *database.Components) {
    TsxPackage* package = database.Packages->FindByFileName(component.Package);
    if (!routine(package, component, moment)) return false;
    if (EngineState().ResumePending) return true;
  }
  return true;
}

bool ForMainComponents(const TRunAppItemsFunction& routine, TsxWhenStart moment) {
  TsxMainDatabase& database = CurrentEngine()->Database();
  if (database.Packages->Count() == 0) return true;
  TsxPackage& main = database.Packages->Items(0);
  for (TsxComponent& component : *main.Components) {
    if (!routine(&main, component, moment)) return false;
    if (EngineState().ResumePending) return true;
  }
  return true;
}

TInstallationHooks RunAppHooks() {
  return {RunAppItems, ForAllComponents, ForMainComponents, {}};
}

}  // namespace sx
