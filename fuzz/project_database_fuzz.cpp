// A project or package database as the engine loads it: the root "sx2project" merged into the
// project, "package" into a package; then every variable expanded and every condition checked
// (which reads the machine's registry and files, never changes them), the features selected,
// and the database written and read back to the same text.
#include "database/sx_package.h"
#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "fuzz/fuzz_project.h"
#include "util/errors.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace {

void Exercise(sx::fuzz::FuzzProject& project) {
  sx::TsxMainDatabase& database = project.Database;
  for (const sx::TsxVariable& variable : *database.Variables) {
    sx::ExpandText(&database, variable.Value);
    sx::ReadVariable(&database, variable.Name, "");
  }
  for (const sx::TsxLaunchCondition& condition : *database.LaunchConditions)
    sx::IsConditionTrue(condition);
  for (const sx::TsxInstallType& type : *database.InstallTypes)
    if (sx::IsConditionTrue(type)) sx::SetActiveInstallType(database, type.ID);
  sx::ForEachEnabledFeature(*database.Features, [](sx::TsxFeature& feature, int) {
    sx::SetSelected(feature, true);
  });
  sx::CombinedState(*database.Features);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::fuzz::Machine();
  sx::fuzz::ReadOnlyMachine readOnly;
  sx::XMLSettings().PreserveAttributeWhitespace = true;
  sx::fuzz::FuzzProject project;
  try {
    sx::TXMLTag tag;
    tag.Parse(sx::fuzz::AsText(data, size));
    if (tag.Name() == "sx2project") {
      project.Database.MergeFrom(tag);
    } else if (tag.Name() == "package") {
      project.Database.Packages->AddNew().MergeFrom(tag);
    } else {
      return 0;
    }
    Exercise(project);
  } catch (const sx::EEngineError&) {
    return 0;
  }
  const std::string written = project.Database.SaveToString("sx2project");
  sx::TsxMainDatabase again;
  try {
    again.LoadFromString(written, "sx2project");
  } catch (const sx::EEngineError&) {
    sx::fuzz::Require(false, "the database reader rejects what the database wrote");
  }
  sx::fuzz::Require(again.SaveToString("sx2project") == written,
                    "a written database reads back differently");
  return 0;
}
