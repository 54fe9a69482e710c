// sxtool eval [--project FILE] EXPR: evaluates an expression with the installer's evaluator
// against the machine (SX_MACHINE) and prints its value.
//
// Variables: those the engine defines from the machine at start-up (folders, registry facts,
// the date), the project's when a project file is named (their conditions evaluated as the
// engine evaluates them), then the process environment.
// Requests that need a running installation (AbortInstall, SetLanguage, ...) are reported on
// standard error and otherwise ignored. AskUser asks through the machine's message boxes.
#include <cstdio>
#include <optional>
#include <string>

#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"
#include "tools/sxtool/tool_project.h"
#include "util/errors.h"

namespace sx::tool {
namespace {

const char kUsage[] =
    "usage: sxtool eval [--project FILE] EXPR\n"
    "\n"
    "Evaluates the expression EXPR as the engine evaluates conditions and actions, on the machine\n"
    "named by SX_MACHINE, and prints its value. Operands may refer to variables as %Name%: the\n"
    "machine's variables the engine defines at start-up (Windows, System, ProgramFiles, Desktop,\n"
    "Date, ...), the variables of the project file FILE (a file of this computer, root\n"
    "<sx2project>) and the process environment. Functions that act on a running installation\n"
    "(AbortInstall, SuspendInstall, ResumeInstall, SetLanguage, SetPassword, logging by\n"
    "RenameFile) only report that none is running. SetInstallType activates an install type of\n"
    "the project with the engine's selection rules; FeatureEnabled and ActiveInstallType read\n"
    "the project's selection. AskUser shows a message box of the machine.\n"
    "Exit status: 0 done, 1 the expression has an error or the evaluation failed, 2 bad usage.\n";

}  // namespace

int EvalCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::optional<std::string> projectPath;
  std::optional<std::string> expression;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--project" && i + 1 < args.size() && !projectPath) {
      projectPath = args[++i];
    } else if (!expression && args[i] != "--project") {
      expression = args[i];  // may start with '-' ("-1 < 0")
    } else {
      std::fputs(kUsage, stderr);
      return kBadUsage;
    }
  }
  if (!expression) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }

  ToolHost machine;
  ToolProject project("eval");
  if (!project.Open(projectPath.value_or(""))) return kFailed;
  try {
    const std::string result = project.evaluator().EvaluateExpression(*expression, 0);
    std::fwrite(result.data(), 1, result.size(), stdout);
    std::fputc('\n', stdout);
  } catch (const EEngineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kFailed;
  }
  return std::fflush(stdout) == 0 ? kOk : kFailed;
}

}  // namespace sx::tool
