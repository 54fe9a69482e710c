// Evaluator services over a project database: variables are the project's (read, written and
// expanded by the project's rules, database/sx_variable_access.h), and features and install
// types are the project's (read and switched by database/sx_selection.h). The engine derives
// from this class to add what a running installation has (abort, the installation thread,
// languages, the password, the install log, plug-ins); tools and benchmarks use it as it is.
//
// Without a running installation the requests that need one (AbortInstall, SuspendInstall,
// ResumeInstall, SetLanguage, SetPassword, logging a renamed file) have nothing to act on: each
// goes to Unavailable, which ignores it unless a subclass reports or performs it. The active
// window is none, and calling a plug-in function raises an EEngineError: no plug-in is loaded.
#pragma once

#include <string>
#include <string_view>

#include "expr/evaluator_services.h"

namespace sx {

class TsxMainDatabase;

class TDatabaseServices : public TEvaluatorServices {
 public:
  // The database must outlive the services.
  explicit TDatabaseServices(TsxMainDatabase& database) : database_(database) {}

  TsxMainDatabase& Database() { return database_; }

  std::string ExpandText(std::string_view text) override;
  std::string ReadVariable(std::string_view name) override;
  void WriteVariable(std::string_view name, std::string_view value) override;

  std::string ActiveInstallType() override;
  void SetInstallType(std::string_view id) override;
  bool FeatureEnabled(std::string_view id) override;
  void AbortInstall() override;
  void SuspendInstall() override;
  void ResumeInstall() override;
  void SetLanguage(std::string_view id) override;
  void SetPassword(std::string_view password) override;
  void LogInstalledFile(std::string_view path) override;
  WindowHandle ActiveWindow() override { return 0; }
  std::optional<std::string> CallPluginFunction(void* owner,
                                                const TPluginFunctionCall& call) override;

 protected:
  // A request that needs a running installation, e.g. "AbortInstall" or "SetLanguage DEU".
  virtual void Unavailable(std::string_view request);

 private:
  TsxMainDatabase& database_;
};

}  // namespace sx
