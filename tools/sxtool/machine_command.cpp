// sxtool machine: create a machine folder.
#include <cstdio>

#include "host/posix/posix_host.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"

namespace sx::tool {
namespace {

int Help(FILE* out) {
  std::fprintf(out,
               "usage: sxtool machine init [DIR]\n"
               "       sxtool machine reboot\n"
               "       sxtool machine shutdown\n"
               "  init    create a fresh machine in DIR (else $SX_MACHINE, else the default\n"
               "          folder) and print its path; an existing machine keeps what it has\n"
               "  reboot  start the machine again: perform the pending renames and deletions,\n"
               "          then run the RunOnce programs of HKLM and HKCU, as Windows does\n"
               "  shutdown  end the session: ask every engine running on the machine whether it\n"
               "          may end (one line \"PID yes|no|no answer\" each); when all agree, wait\n"
               "          for them to end (exit 0), else exit 1; answers and ends take 10 s at most\n");
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
  if (args[0] == "reboot") {
    if (args.size() != 1) return Help(stderr);
    ToolHost tool;
    sx::host::PerformReboot(tool.host(), [&](const std::string& line) {
      std::printf("%s\n", tool.host().AnsiToUtf8(line).c_str());
    });
    return 0;
  }
  if (args[0] == "shutdown") {
    if (args.size() != 1) return Help(stderr);
    return MachineShutdown();
  }
  std::fprintf(stderr, "sxtool machine: unknown sub-command '%s'\n", args[0].c_str());
  return Help(stderr);
}

}  // namespace sx::tool
