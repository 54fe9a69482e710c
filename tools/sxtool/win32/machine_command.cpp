// sxtool machine on Windows: the machine is the real system, which has no machine folder to
// create, no simulated reboot and no simulated session end.
#include <cstdio>

#include "tools/sxtool/commands.h"

namespace sx::tool {

int MachineCommand(const Args& args) {
  (void)args;
  std::fprintf(stderr,
               "sxtool machine: works on the simulated machine only; on Windows the machine is the "
               "system itself (init, reboot and shutdown are Windows' own)\n");
  return 2;
}

int MachineShutdown() { return MachineCommand({}); }

}  // namespace sx::tool
