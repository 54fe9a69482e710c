// The machine the programs work on: on Windows the real system, elsewhere the simulated machine
// of SX_MACHINE (see host/posix/posix_host.h). The programs' entry points open it through this
// one call, so they stay the same on both.
#pragma once

#include <memory>

#include "host/host.h"

namespace sx::host {

// Raises MachineError when the machine cannot be opened.
std::unique_ptr<Host> OpenMachine();

}  // namespace sx::host
