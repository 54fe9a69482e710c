// sxengine: the setup engine.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_context.h"
#include "engine/program.h"
#include "host/machine.h"

namespace {

constexpr char kUsage[] =
    "usage: sxengine [/s] [/repair APPID] [/exename:PATH] [/resume:FOLDER]\n"
    "  The setup engine. A setup program is sxengine with its main package appended.\n"
    "  /s               run silently (the SilentMode variable defaults to 1)\n"
    "  /repair APPID    repair the installed application APPID\n"
    "  /exename:PATH    install the packages of the setup program PATH\n"
    "  /resume:FOLDER   continue an installation interrupted by a reboot\n"
    "  Works on the machine folder named by SX_MACHINE; exit code 0 on success, 255 on failure.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  std::unique_ptr<sx::host::Host> host;
  try {
    host = sx::host::OpenMachine();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sxengine: %s\n", e.what());
    return 255;
  }
  sx::host::SetCurrentHost(host.get());
  // The parameters in the machine's ANSI code page, as the host has them.
  const std::vector<std::string> params = sx::host::ProgramArguments(*host, argc, argv);
  int code;
  {
    // The engine's objects live around the program block, as long as the machine is open.
    sx::TEngineContext engine;
    code = sx::RunProgram(params);
  }
  sx::host::SetCurrentHost(nullptr);
  return code & 0xFF;
}
