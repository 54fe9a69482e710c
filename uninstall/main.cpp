// Uninstall.exe: undoes an installation that the engine recorded in its install log. The engine
// writes its command line into the uninstall entry: the program's path and the log's path, each
// in double quotes.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "host/host.h"
#include "host/machine.h"
#include "uninstall/uninstall_run.h"
#include "util/folder_path.h"
#include "util/self_delete.h"

namespace {

constexpr char kUsage[] =
    "usage: Uninstall.exe [/s] [LOGFILE]\n"
    "  Removes the product that the install log LOGFILE (default: install.log beside the program)\n"
    "  lists, after asking; /s removes it without asking. Works on the machine folder named by\n"
    "  SX_MACHINE; exit code 0 when everything was removed, 255 otherwise.\n";

bool IsSwitch(std::string_view arg, std::string_view name) {
  if (arg.size() != name.size() + 1 || (arg[0] != '/' && arg[0] != '-')) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if ((arg[i + 1] | 0x20) != name[i]) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "/?") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  std::unique_ptr<sx::host::Host> host;
  try {
    host = sx::host::OpenMachine();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Uninstall.exe: %s\n", e.what());
    return 255;
  }
  sx::host::SetCurrentHost(host.get());
  int code = -1;
  try {
    sx::TUninstallOptions options;
    options.selfPath = host->ModuleFileName();
    std::string logPath;
    // The parameters in the machine's ANSI code page, as the host has them.
    for (const std::string& arg : sx::host::ProgramArguments(*host, argc, argv)) {
      if (IsSwitch(arg, "s"))
        options.silent = true;
      else if (logPath.empty())
        logPath = arg;
    }
    if (logPath.empty()) logPath = std::string(sx::FolderOf(options.selfPath)) + "install.log";
    sx::TUninstallOutcome outcome = sx::RunUninstall(host->FullPath(logPath), options);
    if (outcome.removeSelf) sx::StartSelfDeletingBatch(options.selfPath, outcome.foldersAfterSelf);
    code = sx::UninstallExitCode(outcome);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Uninstall.exe: %s\n", e.what());
  }
  sx::host::SetCurrentHost(nullptr);
  return code & 0xFF;
}
