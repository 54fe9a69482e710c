#include "engine/engine_installation.h"

#include <random>

#include "engine/engine_common.h"
#include "engine/engine_state.h"
#include "engine/resume_files.h"
#include "host/host.h"
#include "install/copy_thread.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_run.h"
#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "util/system_folders.h"
#include "util/unique_name.h"

namespace sx {
namespace {

constexpr char kRunOnceKey[] = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// "sx" and a random decimal number below 2147483647 that names no value under RunOnce yet.
std::string NewRunOnceName() {
  std::random_device seed;
  std::mt19937 generator(seed());
  std::uniform_int_distribution<std::int32_t> number(0, 2147483646);
  for (;;) {
    std::string name = "sx" + std::to_string(number(generator));
    if (!RegValueExists(kRunOnceKey, name)) return name;
  }
}

std::string WithoutTrailingBackslash(std::string_view path) {
  std::string text(path);
  if (!text.empty() && text.back() == '\\') text.pop_back();
  return text;
}

}  // namespace

std::string ResumeCommandLine(std::string_view resumeCopy, std::string_view tempDir,
                              std::string_view exeName) {
  return "\"" + std::string(resumeCopy) + "\" /resume:\"" + WithoutTrailingBackslash(tempDir) +
         "\" /exename:\"" + std::string(exeName) + "\"";
}

bool TEngineInstallation::RunInstallation() { return sx::RunInstallation(); }

int TEngineInstallation::ActionCount() { return InstallActionList().Count(); }

void TEngineInstallation::RollbackAll() { InstallActionList().RollbackAll(); }

void TEngineInstallation::SetLogPath(std::string_view path) { SetLogFileName(path); }

std::string TEngineInstallation::LogPath() { return LogFileName(); }

void TEngineInstallation::LogAddRecord(std::string_view section, std::string_view key,
                                       std::string_view value) {
  LogWriteSection(section, key, value);
}

void TEngineInstallation::LogInstalledFile(std::string_view path) { sx::LogInstalledFile(path); }

void TEngineInstallation::SuspendInstall() { SuspendInstallThread(); }
void TEngineInstallation::ResumeInstall() { ResumeInstallThread(); }

bool TEngineInstallation::PrepareResume() {
  InstallActionList().ScheduleRebootOperations();
  TEngineState& state = EngineState();
  if (!state.ResumePending) return true;
  const std::string temp = GetTempFolder();
  const std::string copy = temp + MakeUniqueName(temp, "sx", ".exe", true);
  // A resume that would never start is a failure: the installation is rolled back instead. The
  // value must reach the registry's files, or the next start would not find it.
  if (!CopyFilePlain(state.TempDir + kResumeCopyFile, copy) ||
      !RegWriteString(kRunOnceKey, NewRunOnceName(), ResumeCommandLine(copy, state.TempDir, state.ExeName)) ||
      !host::CurrentHost().RegFlush()) {
    ShowErrorBoxTitled("Error", "Cannot prepare for resuming.");
    return false;
  }
  return true;
}

}  // namespace sx
