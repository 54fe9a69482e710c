// The engine's services to the plug-in host and to the evaluator: plain forwards to the project
// database, the selection, the evaluator, the languages, the abort flag, the installation
// subsystem and the password of the running engine (TEngineContext).
//
// Two objects, because the evaluator's and the plug-in host's interfaces both name SetPassword
// with different results; the evaluator's side forwards to the plug-in side.
#pragma once

#include "expr/database_services.h"
#include "plugins/plugin_services.h"

namespace sx {

class TEngineContext;

class TEngineServices : public TPluginEngineServices {
 public:
  explicit TEngineServices(TEngineContext& engine) : engine_(engine) {}

  std::string ReadVariable(TXMLObject& container, std::string_view name,
                           std::string_view def) override;
  void WriteVariable(TXMLObject& container, std::string_view name,
                     std::string_view value) override;
  std::string ExpandText(TXMLObject& container, std::string_view text) override;
  TsxFeature* FindFeature(TsxFeatures& features, std::string_view id, TsxFeature*& parent,
                          TsxFeature*& next) override;
  TsxInstallType* FindInstallType(TsxInstallTypes& installTypes, std::string_view id,
                                  TsxInstallType*& next) override;
  bool SetFeatureState(TsxMainDatabase& database, std::string_view id, bool value) override;
  bool SetActiveInstallType(TsxMainDatabase& database, std::string_view id) override;
  std::string EvaluateExpression(std::string_view text, std::intptr_t context) override;
  bool EvaluateCondition(std::string_view text, std::intptr_t context) override;
  int RegisterFunction(TPlugin& owner, std::string_view name, int32_t paramCount) override;
  void ReleaseFunctions(TPlugin& owner) override;
  void SetAborted() override;
  void SuspendInstall() override;
  void ResumeInstall() override;
  std::vector<std::string> LanguageList() override;
  void SetLanguage(std::string_view id) override;
  bool SetPassword(std::string_view password) override;
  bool IsPasswordValid() override;
  void LogAddRecord(std::string_view section, std::string_view record) override;
  std::intptr_t InstallIcon(bool small) override;

 private:
  TEngineContext& engine_;
};

class TEngineEvaluatorServices : public TDatabaseServices {
 public:
  TEngineEvaluatorServices(TEngineContext& engine, TsxMainDatabase& database)
      : TDatabaseServices(database), engine_(engine) {}

  void AbortInstall() override;
  void SuspendInstall() override;
  void ResumeInstall() override;
  void SetLanguage(std::string_view id) override;
  void SetPassword(std::string_view password) override;
  void LogInstalledFile(std::string_view path) override;
  WindowHandle ActiveWindow() override;
  std::optional<std::string> CallPluginFunction(void* owner,
                                                const TPluginFunctionCall& call) override;

 private:
  TEngineContext& engine_;
};

}  // namespace sx
