#include "host/machine.h"
#include "host/posix/posix_host.h"

namespace sx::host {

std::unique_ptr<Host> OpenMachine() { return OpenPosixHost(DefaultMachineFolder()); }

}  // namespace sx::host
