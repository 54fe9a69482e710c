// sxengine: the setup engine.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "engine/program.h"
#include "host/posix/posix_host.h"

int main(int argc, char** argv) {
  std::unique_ptr<sx::host::Host> host;
  try {
    host = sx::host::OpenPosixHost(sx::host::DefaultMachineFolder());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sxengine: %s\n", e.what());
    return 255;
  }
  sx::host::SetCurrentHost(host.get());
  // The command line arrives in the terminal's UTF-8; the engine works in the machine's ANSI.
  std::vector<std::string> params;
  for (int i = 1; i < argc; ++i) params.push_back(host->Utf8ToAnsi(argv[i]));
  int code = sx::RunProgram(params);
  sx::host::SetCurrentHost(nullptr);
  return code & 0xFF;
}
