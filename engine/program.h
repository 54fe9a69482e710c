// The program block of the setup engine: switches, the temporary folder tree, the main flow under
// a guard, clean-up, self-removal of a resume copy, the reboot request and the exit code.
#pragma once

#include <string>
#include <vector>

#include "engine/main_flow.h"

namespace sx {

// The main flow that the program block runs: true when the installation succeeded.
using MainFlowFunction = bool (*)();

// Runs the engine with its command-line parameters (without the program name); the exit code:
// 0 on success, -1 on failure. `mainFlow` is the engine's main flow; tests pass their own to reach
// the clean-up of failures, errors and reboots.
int RunProgram(const std::vector<std::string>& params, MainFlowFunction mainFlow = RunMainFlow);

}  // namespace sx
