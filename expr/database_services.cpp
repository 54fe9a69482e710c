#include "expr/database_services.h"

#include "database/sx_condition_object.h"
#include "database/sx_main_database.h"
#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "util/errors.h"

namespace sx {

std::string TDatabaseServices::ExpandText(std::string_view text) {
  // Most operands hold no reference: they are their own value.
  if (text.find('%') == std::string_view::npos && text.find("||") == std::string_view::npos)
    return std::string(text);
  return sx::ExpandText(&database_, text);
}

std::string TDatabaseServices::ReadVariable(std::string_view name) {
  return sx::ReadVariable(&database_, name, "");
}

void TDatabaseServices::WriteVariable(std::string_view name, std::string_view value) {
  sx::WriteVariable(&database_, name, value);
}

std::string TDatabaseServices::ActiveInstallType() { return database_.ActiveInstallType; }

void TDatabaseServices::SetInstallType(std::string_view id) {
  // The selection engine reports the change through the project's OnInstallTypeChange; a
  // missing or disabled install type changes nothing.
  SetActiveInstallType(database_, id);
}

bool TDatabaseServices::FeatureEnabled(std::string_view id) {
  // The search passes over disabled features with their subtrees.
  const TsxFeature* feature = FindFeature(*database_.Features, id);
  return feature && feature->Selected && IsConditionTrue(*feature);
}

void TDatabaseServices::AbortInstall() { Unavailable("AbortInstall"); }
void TDatabaseServices::SuspendInstall() { Unavailable("SuspendInstall"); }
void TDatabaseServices::ResumeInstall() { Unavailable("ResumeInstall"); }

void TDatabaseServices::SetLanguage(std::string_view id) {
  Unavailable("SetLanguage " + std::string(id));
}

void TDatabaseServices::SetPassword(std::string_view) { Unavailable("SetPassword"); }

void TDatabaseServices::LogInstalledFile(std::string_view path) {
  Unavailable("LogInstalledFile " + std::string(path));
}

std::optional<std::string> TDatabaseServices::CallPluginFunction(void*,
                                                                 const TPluginFunctionCall& call) {
  throw EEngineError("Function \"" + call.Name + "\" cannot be called: no plug-in is loaded.");
}

void TDatabaseServices::Unavailable(std::string_view) {}

}  // namespace sx
