// sxtool features --project FILE [--install-type ID] [--select ID]... [--deselect ID]... [--trace]:
// runs the engine's feature selection on a project and prints the resulting feature tree, so
// that authors can see what an install type and the user's choices select.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "database/sx_main_database.h"
#include "database/sx_selection.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"
#include "tools/sxtool/tool_project.h"

namespace sx::tool {
namespace {

const char kUsage[] =
    "usage: sxtool features --project FILE [--install-type ID] [--select ID]... [--deselect ID]...\n"
    "                       [--trace]\n"
    "\n"
    "Loads the project file FILE (a file of this computer), activates the install type ID when\n"
    "given, then selects and deselects features in the order given, with the engine's rules\n"
    "(Required, Depends, Excepts, sub-features). Prints every enabled feature in tree order, one\n"
    "line each: two spaces per nesting level, the ID and the state (0 not selected, 1 selected,\n"
    "2 selected with some sub-features not), and last 'active install type: ID'.\n"
    "With --trace each change is printed when it happens, before the tree: 'feature ID STATE'\n"
    "or 'installtype ID'. A selection that the rules override is reported on standard error.\n"
    "Exit status: 0 done, 1 the project cannot be read or names no such install type or\n"
    "feature, 2 bad usage.\n";

struct TSelectionRequest {
  std::string id;
  bool value;
};

}  // namespace

int FeaturesCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::string project, installType;
  bool trace = false;
  std::vector<TSelectionRequest> requests;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--trace") trace = true;
    else if (arg == "--project" && hasValue) project = args[++i];
    else if (arg == "--install-type" && hasValue) installType = args[++i];
    else if (arg == "--select" && hasValue) requests.push_back({args[++i], true});
    else if (arg == "--deselect" && hasValue) requests.push_back({args[++i], false});
    else {
      std::fputs(kUsage, stderr);
      return kBadUsage;
    }
  }
  if (project.empty()) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }

  ToolHost machine;
  ToolProject tool("features");
  if (!tool.Open(project)) return kFailed;
  TsxMainDatabase& database = tool.database();
  if (trace) {
    database.OnFeatureStateChange = [](TsxFeature* feature) {
      std::printf("feature %s %d\n", feature->ID.c_str(), GetState(*feature));
    };
    database.OnInstallTypeChange = [](TsxInstallType* type) {
      std::printf("installtype %s\n", type->ID.c_str());
    };
  }

  if (!installType.empty() && !SetActiveInstallType(database, installType)) {
    std::fprintf(stderr, "sxtool features: no enabled install type '%s'\n", installType.c_str());
    return kFailed;
  }
  for (const TSelectionRequest& request : requests) {
    if (!FindFeature(*database.Features, request.id)) {
      std::fprintf(stderr, "sxtool features: no enabled feature '%s'\n", request.id.c_str());
      return kFailed;
    }
    if (!SetFeatureState(database, request.id, request.value))
      std::fprintf(stderr, "sxtool features: %s stays %s\n", request.id.c_str(),
                   request.value ? "deselected" : "selected");
  }

  ForEachEnabledFeature(*database.Features, [](TsxFeature& feature, int level) {
    std::printf("%s%s %d\n", std::string(static_cast<std::size_t>(level) * 2, ' ').c_str(),
                feature.ID.c_str(), GetState(feature));
  });
  const TsxInstallType* active = database.InstallTypes->Active;
  std::printf("active install type: %s\n", active ? active->ID.c_str() : "");
  return std::fflush(stdout) == 0 ? kOk : kFailed;
}

}  // namespace sx::tool
