// Windows asks whether the session may end (WM_QUERYENDSESSION to the main window). The engine
// lets it end only while a program of the setup runs or a step waits for a reboot: then it saves
// its state for a resume at the next logon and stops waiting for the running program.
#pragma once

#include <string>

#include "database/sx_enums.h"

namespace sx {

// Sets the resume position, saves the state into TempDir and marks the resume pending. False,
// with nothing pending, when the state could not be saved.
bool SaveForResume(TsxInstallState state, const std::string& data);

// The answer of the current engine: no in resume mode or while no resumable step runs; no when
// the state cannot be saved; otherwise the state is saved, SessionEnding set, and yes.
bool AnswerSessionEnd();

}  // namespace sx
