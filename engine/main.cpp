// sxengine: the setup engine. The program block lands with the start-up work; for now the engine
// opens its machine and says so.
#include <cstdio>
#include <exception>

#include "host/posix/posix_host.h"

int main() {
  try {
    auto host = sx::host::OpenPosixHost(sx::host::DefaultMachineFolder());
    sx::host::SetCurrentHost(host.get());
    std::printf("sxengine: machine %s, Windows folder %s\n", host->MachineFolder().c_str(),
                host->Facts().windowsFolder.c_str());
    host->RegFlush();
    sx::host::SetCurrentHost(nullptr);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sxengine: %s\n", e.what());
    return 255;
  }
}
