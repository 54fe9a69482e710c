// The program block of the setup engine: switches, the temporary folder tree, the main flow under
// a guard, clean-up, self-removal of a resume copy, the reboot request and the exit code.
#pragma once

#include <string>
#include <vector>

namespace sx {

// Runs the engine with its command-line parameters (without the program name); the exit code:
// 0 on success, -1 on failure.
int RunProgram(const std::vector<std::string>& params);

}  // namespace sx
