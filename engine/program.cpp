#include "engine/program.h"

#include <exception>
#include <memory>

#include "engine/engine_state.h"
#include "engine/main_flow.h"
#include "engine/resume_files.h"
#include "engine/run_lock.h"
#include "engine/switches.h"
#include "host/host.h"
#include "platform/file_utils.h"
#include "platform/ini_cache.h"
#include "util/errors.h"
#include "util/folder_path.h"
#include "util/message_boxes.h"
#include "util/self_delete.h"
#include "util/system_folders.h"
#include "xml/xml_settings.h"

namespace sx {
namespace {

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

// Makes a folder or raises: nothing of the run may go on without its temporary folders.
void MakeTempFolder(const std::string& path) {
  CreateFolderPath(path);
  if (!FolderExistsAt(path)) throw EEngineError("Cannot create the temporary folder " + path);
}

// Makes TempDir, marks it as this run's (before anything else goes in, so that a run killed at
// any moment leaves a folder the next run recognises), and makes its three staging folders.
void CreateTempFolders(TEngineState& state, std::unique_ptr<host::File>& runLock) {
  const std::string temp = GetTempFolder();
  state.TempDir = temp + MakeUniqueName(temp, "", "", true) + "\\";
  MakeTempFolder(state.TempDir);
  runLock = LockRunFolder(state.TempDir);
  if (!runLock) throw EEngineError("Cannot write to the temporary folder " + state.TempDir);
  for (std::string* path : {&state.TempFontsPath, &state.TempGACPath, &state.TempBackupPath}) {
    *path = state.TempDir + MakeUniqueName(state.TempDir, "", "", true) + "\\";
    MakeTempFolder(*path);
  }
}

// Runs the main flow; an error that escapes it is shown and counts as failure. Every exception
// is caught here, not only the engine's own: the clean-up that follows must always run, or a
// failed run would leave its temporary folder behind.
bool GuardedMainFlow(MainFlowFunction mainFlow) {
  try {
    return mainFlow();
  } catch (const std::exception& e) {
    ShowErrorBox(e.what());
    return false;
  }
}

void CleanUp(TEngineState& state, bool success, bool startedForResume) {
  auto& host = host::CurrentHost();
  // A folder named on the command line is deleted only when the engine made it.
  if (!state.ResumePending && !state.TempDir.empty() &&
      (!startedForResume || IsEngineTempFolder(state.TempDir)))
    RemoveRunFolder(state.TempDir);
  if (startedForResume) {
    const std::string self = host.ModuleFileName();
    if (IsResumeCopy(self)) {
      if (success && state.RebootAtExit)
        DeleteAtReboot(self);
      else
        StartSelfDeletingBatch(self);
    }
  }
  if (success && state.RebootAtExit) RebootSystem(false);
  if (!success && state.ExitCode == 0) state.ExitCode = -1;
}

}  // namespace

int RunProgram(const std::vector<std::string>& params, MainFlowFunction mainFlow) {
  TEngineState& state = EngineState();
  auto& host = host::CurrentHost();
  state.ExeName = host.ModuleFileName();
  state.Params = params;
  XMLSettings().PreserveAttributeWhitespace = true;

  bool success = false;
  std::unique_ptr<host::File> runLock;
  const auto resume = FindSwitch(params, "resume:*");
  bool resumeLoaded = true;
  if (resume) {
    state.ResumeMode = true;
    state.TempDir = WithBackslash(SwitchValue(*resume, 9));
    resumeLoaded = LoadResumeState(state.TempDir);
    if (!resumeLoaded) ShowErrorBox("Cannot resume installation.");
  }
  if (resumeLoaded) {
    if (auto exename = FindSwitch(params, "exename:*")) state.ExeName = SwitchValue(*exename, 10);
    if (FindSwitch(params, "repair")) {
      state.RepairMode = true;
      // The application follows the switch, wherever it stands ("/s /repair AppID").
      state.RepairAppId = ParameterAfterSwitch(params, "repair").value_or("");
    }
    state.SilentSwitch = FindSwitch(params, "s").has_value();
    try {
      // Folders of engines that were killed go first; this run's own is marked as alive.
      RemoveDeadRunFolders();
      if (!state.ResumeMode) {
        CreateTempFolders(state, runLock);
      } else {
        runLock = LockRunFolder(state.TempDir);
        if (!runLock) throw EEngineError("Cannot write to the temporary folder " + state.TempDir);
      }
      success = GuardedMainFlow(mainFlow);
    } catch (const std::exception& e) {
      ShowErrorBox(e.what());
      success = false;
    }
  }
  runLock.reset();  // the folder can go now
  CleanUp(state, success, resume.has_value());
  IniCloseAll();  // cached INI documents reach their files while the machine is still open
  host.RegFlush();
  return state.ExitCode;
}

}  // namespace sx
