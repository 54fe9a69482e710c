// sxtool machine: create a machine folder.
#include <cstdio>

#include "host/posix/posix_host.h"
#include "tools/sxtool/commands.h"

namespace sx::tool {
namespace {

int Help(FILE* out) {
  std::fprintf(out,
               "usage: sxtool machine init [DIR]\n"
               "  init    create a fresh machine in DIR (else $SX_MACHINE, else the default\n"
               "          folder) and print its path; an existing machine keeps what it has\n");
  return out == stdout ? 0 : 2;
}

}  // namespace

int MachineCommand(const Args& args) {
  if (WantsHelp(args)) return Help(stdout);
  if (args.empty()) return Help(stderr);
  if (args[0] == "init") {
    if (args.size() > 2) return Help(stderr);
    std::string folder = args.size() == 2 ? args[1] : sx::host::DefaultMachineFolder();
    auto host = sx::host::OpenPosixHost(folder);
    std::printf("%s\n", host->MachineFolder().c_str());
    return 0;
  }
  std::fprintf(stderr, "sxtool machine: unknown sub-command '%s'\n", args[0].c_str());
  return Help(stderr);
}

}  // namespace sx::tool
