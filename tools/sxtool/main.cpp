// sxtool: evaluate, inspect and change what the engine works with, from the command line.
#include <cstdio>
#include <exception>
#include <functional>
#include <map>

#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"

namespace sx::tool {

bool WantsHelp(const Args& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h" || a == "/?") return true;
  return false;
}

namespace {

struct Command {
  std::function<int(const Args&)> run;
  const char* summary;
};

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"attrib", {AttribCommand, "show the attributes of a file, or of every file below a folder"}},
      {"machine", {MachineCommand, "create a machine folder, reboot it, end its session"}},
      {"reg", {RegCommand, "query, add and delete registry keys and values of the machine"}},
      {"xml", {XmlCommand, "show an XML document as the engine reads it; check it strictly"}},
      {"db", {DbCommand, "normalise a project file through the project database model"}},
      {"hash", {HashCommand, "print the engine's HAVAL digest of a text"}},
      {"password-hash", {PasswordHashCommand, "print the PswCheckHash value for a password"}},
      {"decipher", {DecipherCommand, "decipher a file with a key text"}},
      {"encipher", {EncipherCommand, "encipher an external file for the installation password"}},
      {"pdb", {PdbCommand, "decode or encode a project database file (.pdb)"}},
      {"package", {PackageCommand, "show the trailer and archive of a package, extract it"}},
      {"plugin", {PluginCommand, "show the PluginInfo of a plug-in file, or why it is refused"}},
      {"eval", {EvalCommand, "evaluate an expression against the machine (and a project)"}},
      {"expand", {ExpandCommand, "expand %Name% references against a project's variables"}},
      {"features", {FeaturesCommand, "select install types and features of a project, print the tree"}},
  };
  return commands;
}

int Usage(FILE* out) {
  std::fprintf(out,
               "usage: sxtool COMMAND [ARGS...]\n"
               "The machine is the folder named by SX_MACHINE (default: "
               "$XDG_DATA_HOME/sxengine/machine).\n\ncommands:\n");
  for (const auto& [name, command] : Commands())
    std::fprintf(out, "  %-10s %s\n", name.c_str(), command.summary);
  std::fprintf(out, "\n'sxtool COMMAND --help' tells more.\n");
  return out == stdout ? 0 : 2;
}

}  // namespace
}  // namespace sx::tool

int main(int argc, char** argv) {
  using namespace sx::tool;
  if (argc < 2) return Usage(stderr);
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") return Usage(stdout);
  auto it = Commands().find(name);
  if (it == Commands().end()) {
    std::fprintf(stderr, "sxtool: unknown command '%s'\n", name.c_str());
    return Usage(stderr);
  }
  try {
    return it->second.run(Args(argv + 2, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sxtool %s: %s\n", name.c_str(), e.what());
    return 1;
  }
}
