#include "host/machine.h"
#include "host/posix/posix_host.h"

namespace sx::host {

std::unique_ptr<Host> OpenMachine() { return OpenPosixHost(DefaultMachineFolder()); }

std::vector<std::string> ProgramArguments(Host& host, int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(host.Utf8ToAnsi(argv[i]));
  return arguments;
}

}  // namespace sx::host
