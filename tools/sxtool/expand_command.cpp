// sxtool expand [--project FILE] [--package ID] TEXT: expands a text against the variables of a
// project on the machine, as the engine would expand it after start-up: with the machine's
// system variables and the process environment defined.
#include <cstdio>
#include <string>

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"
#include "tools/sxtool/tool_project.h"

namespace sx::tool {
namespace {

const char kUsage[] =
    "usage: sxtool expand [--project FILE] [--package ID] TEXT\n"
    "\n"
    "Expands TEXT as the engine expands the texts of a project: every %Name% becomes the value of\n"
    "the variable Name (values are expanded in turn), %% becomes %, || becomes a line break, and\n"
    "a reference to a missing variable stays as written. The variables are those of the project\n"
    "file FILE (a file of this computer), looked up in the package with the ID first when one is\n"
    "named, together with the system variables of the machine (folders, registry facts, Date)\n"
    "and the environment, defined as the engine defines them at start-up.\n"
    "A TEXT that starts with -- follows a -- argument.\n"
    "Exit status: 0 done, 1 the project cannot be read or has no such package, 2 bad usage.\n";

}  // namespace

int ExpandCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::string project, package;
  const std::string* text = nullptr;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if ((arg == "--project" || arg == "--package") && i + 1 < args.size()) {
      (arg == "--project" ? project : package) = args[++i];
    } else if (arg == "--" && i + 2 == args.size() && !text) {
      text = &args[++i];
    } else if (!text && !arg.starts_with("--")) {
      text = &arg;
    } else {
      std::fputs(kUsage, stderr);
      return kBadUsage;
    }
  }
  if (!text) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }

  ToolHost machine;
  ToolProject tool("expand");
  if (!tool.Open(project)) return kFailed;
  TsxMainDatabase& database = tool.database();
  TXMLObject* container = &database;
  if (!package.empty()) {
    container = database.Packages->FindByID(package);
    if (!container) {
      std::fprintf(stderr, "sxtool expand: the project has no package '%s'\n", package.c_str());
      return kFailed;
    }
  }
  std::string result = ExpandText(container, *text);
  result += '\n';
  std::fwrite(result.data(), 1, result.size(), stdout);
  return std::fflush(stdout) == 0 ? kOk : kFailed;
}

}  // namespace sx::tool
