// The silent settings file ("<setup>.sss"): loaded as the engine loads it, then applied to a
// project with features and install types as the engine applies it (variables whose condition
// holds are written, the install type activated, the features named selected).
#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "fuzz/fuzz_project.h"
#include "util/errors.h"
#include "xml/xml_settings.h"

namespace {

constexpr char kFile[] = "C:\\fuzz\\setup.sss";

// Two features (one with a sub-feature) and two install types, as a builder writes them.
constexpr char kProject[] =
    "<sx2project><features>"
    "<feature id=\"Main\" title=\"Main\"><features><feature id=\"Docs\"/></features></feature>"
    "<feature id=\"Extra\" condition=\"%Count% &gt; 1\"/></features>"
    "<installtypes><installtype id=\"Typical\" default=\"1\"/><installtype id=\"Full\"/>"
    "</installtypes></sx2project>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::fuzz::Machine();
  sx::XMLSettings().PreserveAttributeWhitespace = true;
  sx::fuzz::WriteMachineFile(kFile, sx::fuzz::AsText(data, size));
  sx::fuzz::ReadOnlyMachine readOnly;
  sx::fuzz::FuzzProject project;
  sx::TsxMainDatabase& database = project.Database;
  database.LoadFromString(kProject, "sx2project");
  sx::TsxSilentSettings silent;
  try {
    if (!silent.LoadFromFile(kFile, "silentsettings")) return 0;
    for (const sx::TsxVariable& variable : *silent.Variables)
      if (sx::IsConditionTrue(variable)) sx::WriteVariable(&database, variable.Name, variable.Value);
    if (!silent.ActiveInstallType.empty()) sx::SetActiveInstallType(database, silent.ActiveInstallType);
    for (const sx::TsxFeature& wanted : *silent.Features) {
      sx::TsxFeature* feature = sx::FindFeature(*database.Features, wanted.ID);
      if (feature && sx::IsConditionTrue(*feature)) sx::SetFeatureState(database, feature->ID, true);
    }
  } catch (const sx::EEngineError&) {
  }
  return 0;
}
