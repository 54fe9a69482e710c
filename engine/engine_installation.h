// The engine's installation subsystem: the installation library (install/) behind the interface
// the main flow calls. It runs the installation, counts and rolls back the recorded changes,
// writes the install log and, when a reboot interrupts the installation, prepares the resumed
// engine's start at the next logon.
#pragma once

#include <string>
#include <string_view>

#include "engine/installation_steps.h"

namespace sx {

// The value under RunOnce that starts the resume copy: the copy, TempDir without its trailing
// backslash and the setup program, each quoted.
std::string ResumeCommandLine(std::string_view resumeCopy, std::string_view tempDir,
                              std::string_view exeName);

class TEngineInstallation : public TInstallationSteps {
 public:
  bool RunInstallation() override;
  int ActionCount() override;
  void RollbackAll() override;
  void SetLogPath(std::string_view path) override;
  std::string LogPath() override;
  void LogAddRecord(std::string_view section, std::string_view key, std::string_view value) override;
  void LogInstalledFile(std::string_view path) override;
  // Registers the reboot-time file operations; with a resume pending, copies "Resume.exe" to a
  // new "sx*.exe" in the system temporary folder and names it under RunOnce.
  bool PrepareResume() override;
  // Holds and releases the copy thread at its next callback.
  void SuspendInstall() override;
  void ResumeInstall() override;
};

}  // namespace sx
