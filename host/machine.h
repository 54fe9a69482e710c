// The machine the programs work on: on Windows the real system, elsewhere the simulated machine
// of SX_MACHINE (see host/posix/posix_host.h). The programs' entry points open it through this
// one call, so they stay the same on both.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/host.h"

namespace sx::host {

// Raises MachineError when the machine cannot be opened.
std::unique_ptr<Host> OpenMachine();

// The program's parameters, without its name, in the machine's ANSI code page. On the simulated
// machine main's arguments are a terminal's UTF-8; on Windows the program's own ANSI command line
// is split (SplitProgramCommandLine), not the C runtime's argv, which follows other quoting rules.
std::vector<std::string> ProgramArguments(Host& host, int argc, char** argv);

}  // namespace sx::host
