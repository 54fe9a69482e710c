// sxtool plugin info FILE: loads a plug-in file on the machine as the engine would and prints
// what its PluginInfo says, or why the engine would refuse it.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "plugins/plugin_host.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"

namespace sx::tool {
namespace {

constexpr char kHelp[] =
    "usage: sxtool plugin info FILE\n"
    "  Loads the plug-in FILE (a path of this computer, inside one of the machine's drives) as\n"
    "  the engine loads plug-ins, calls its GetPluginInfo and prints the plug-in's ID, the\n"
    "  engine version it asks for and its description. A plug-in the engine would refuse gets\n"
    "  a line \"refused: \" with the reason. Whether a package names the ID is checked only when\n"
    "  the engine loads the plug-in for a package.\n"
    "  Exit status: 0 accepted, 1 refused or not found, 2 bad usage.\n";

int Usage(FILE* out) {
  std::fputs(kHelp, out);
  return out == stdout ? 0 : 2;
}

}  // namespace

int PluginCommand(const Args& args) {
  if (WantsHelp(args)) return Usage(stdout);
  if (args.size() != 2 || args[0] != "info") return Usage(stderr);
  ToolHost tool;
  const std::string absolute = std::filesystem::absolute(args[1]).lexically_normal().string();
  std::optional<std::string> windowsPath = host::CurrentHost().WindowsPathOf(absolute);
  if (!windowsPath || !host::CurrentHost().GetFileInfo(*windowsPath)) {
    std::fprintf(stderr, "sxtool plugin: cannot find %s on the machine\n", args[1].c_str());
    return 1;
  }
  TPlugin plugin;
  const TPluginRefusal refusal = IdentifyPlugin(*windowsPath, plugin);
  std::printf("file: %s\n", windowsPath->c_str());
  if (refusal != TPluginRefusal::kCannotLoad && refusal != TPluginRefusal::kNoPluginInfo) {
    std::printf("id: %s\n", plugin.ID.c_str());
    std::printf("required version: 0x%08llX\n",
                static_cast<unsigned long long>(plugin.Info.RequiredVersion));
    const std::string description(plugin.Info.Description,
                                  strnlen(plugin.Info.Description, SX_ID_SIZE - 1));
    std::printf("description: %s\n", description.c_str());
  }
  if (refusal != TPluginRefusal::kNone) {
    std::printf("refused: %s\n", RefusalText(refusal, plugin).c_str());
    return 1;
  }
  std::printf("accepted\n");
  return 0;
}

}  // namespace sx::tool
