#include "engine/engine_services.h"

#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "engine/engine_context.h"
#include "engine/engine_state.h"
#include "packages/password.h"
#include "plugins/plugin_host.h"
#include "util/str_utils.h"

namespace sx {

std::string TEngineServices::ReadVariable(TXMLObject& container, std::string_view name,
                                          std::string_view def) {
  return sx::ReadVariable(&container, name, def);
}

void TEngineServices::WriteVariable(TXMLObject& container, std::string_view name,
                                    std::string_view value) {
  sx::WriteVariable(&container, name, value);
}

std::string TEngineServices::ExpandText(TXMLObject& container, std::string_view text) {
  return sx::ExpandText(&container, text);
}

TsxFeature* TEngineServices::FindFeature(TsxFeatures& features, std::string_view id,
                                         TsxFeature*& parent, TsxFeature*& next) {
  return sx::FindFeature(features, id, parent, next);
}

TsxInstallType* TEngineServices::FindInstallType(TsxInstallTypes& installTypes,
                                                 std::string_view id, TsxInstallType*& next) {
  return sx::FindInstallType(installTypes, id, next);
}

bool TEngineServices::SetFeatureState(TsxMainDatabase& database, std::string_view id, bool value) {
  return sx::SetFeatureState(database, id, value);
}

bool TEngineServices::SetActiveInstallType(TsxMainDatabase& database, std::string_view id) {
  return sx::SetActiveInstallType(database, id);
}

std::string TEngineServices::EvaluateExpression(std::string_view text, std::intptr_t context) {
  return engine_.Evaluator().EvaluateExpression(text, context);
}

bool TEngineServices::EvaluateCondition(std::string_view text, std::intptr_t context) {
  return engine_.Evaluator().EvaluateCondition(text, context);
}

int TEngineServices::RegisterFunction(TPlugin& owner, std::string_view name, int32_t paramCount) {
  return engine_.Evaluator().RegisterFunction(&owner, name, paramCount);
}

void TEngineServices::ReleaseFunctions(TPlugin& owner) {
  engine_.Evaluator().ReleaseFunctions(&owner);
}

void TEngineServices::SetAborted() { EngineState().Aborted = true; }
void TEngineServices::SuspendInstall() { engine_.Installation().SuspendInstall(); }
void TEngineServices::ResumeInstall() { engine_.Installation().ResumeInstall(); }

std::vector<std::string> TEngineServices::LanguageList() { return engine_.Languages().List(); }

void TEngineServices::SetLanguage(std::string_view id) { engine_.Languages().SetLanguage(id); }

bool TEngineServices::SetPassword(std::string_view password) {
  TsxMainDatabase& database = engine_.Database();
  const std::string hash = sx::ReadVariable(&database, "PswCheckHash", "");
  return OfferPassword(password, hash, database.Password) == 0;
}

bool TEngineServices::IsPasswordValid() {
  TsxMainDatabase& database = engine_.Database();
  const std::string hash = sx::ReadVariable(&database, "PswCheckHash", "");
  return !PasswordRequired(hash) || PasswordMatches(database.Password, hash);
}

void TEngineServices::LogAddRecord(std::string_view section, std::string_view record) {
  TsxMainDatabase& database = engine_.Database();
  const std::string text = sx::ExpandText(&database, record);
  engine_.Installation().LogAddRecord(sx::ExpandText(&database, section), NameOf(text),
                                      ValueOf(text));
}

std::intptr_t TEngineServices::InstallIcon(bool small) { return engine_.IconHandle(small); }

void TEngineEvaluatorServices::AbortInstall() { engine_.Plugins().AbortInstall(); }
void TEngineEvaluatorServices::SuspendInstall() { engine_.Installation().SuspendInstall(); }
void TEngineEvaluatorServices::ResumeInstall() { engine_.Installation().ResumeInstall(); }
void TEngineEvaluatorServices::SetLanguage(std::string_view id) {
  engine_.Languages().SetLanguage(id);
}
void TEngineEvaluatorServices::SetPassword(std::string_view password) {
  engine_.Services().SetPassword(password);
}
void TEngineEvaluatorServices::LogInstalledFile(std::string_view path) {
  engine_.Installation().LogInstalledFile(path);
}
WindowHandle TEngineEvaluatorServices::ActiveWindow() { return engine_.Plugins().ActiveWindow(); }

std::optional<std::string> TEngineEvaluatorServices::CallPluginFunction(
    void* owner, const TPluginFunctionCall& call) {
  return engine_.Plugins().CallPluginFunction(static_cast<TPlugin*>(owner), call.ID, call.Name,
                                              call.Args, call.Context);
}

}  // namespace sx
