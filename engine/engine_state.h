// The process-wide state of the engine that start-up owns and the main flow reads.
#pragma once

#include <string>
#include <vector>

namespace sx {

struct TEngineState {
  std::string ExeName;       // the setup executable whose packages are installed
  std::string TempDir;       // the engine's private temporary folder, with a trailing '\'
  bool ResumeMode = false;   // started after a reboot to continue an installation
  bool ResumePending = false;  // a resume has been prepared: TempDir must survive
  bool RepairMode = false;
  std::string RepairAppId;   // the application to repair (the parameter after /repair)
  bool SilentSwitch = false;   // "/s": SilentMode defaults to 1
  bool RebootAtExit = false;   // the final value of the project's "Reboot" variable
  bool Aborted = false;
  bool DisableRollbackFlag = false;  // the project's "DisableRollback": failures keep changes
  std::vector<std::string> Params;   // the command-line parameters, without the program name
  // Sub-folders of TempDir for fonts and assemblies waiting to be installed, and for backups.
  std::string TempFontsPath, TempGACPath, TempBackupPath;
  int ExitCode = 0;
};

// The one engine state of the process.
TEngineState& EngineState();

}  // namespace sx
