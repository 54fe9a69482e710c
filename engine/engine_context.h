// The engine's process-wide objects: the project database, the evaluator, the silent settings,
// the plug-in host, the services that connect them, the languages and the installation
// subsystem. `main()` makes one around the program block; in-process tests make their own. While
// it exists it is the current engine, and the database's condition and expression hooks and its
// selection events lead to its evaluator and plug-ins.
#pragma once

#include <cstdint>
#include <memory>

#include "database/sx_main_database.h"
#include "engine/engine_services.h"
#include "engine/engine_install_services.h"
#include "engine/engine_windows.h"
#include "engine/installation_steps.h"
#include "engine/languages.h"
#include "expr/sx_evaluator.h"
#include "plugins/plugin_host.h"

namespace sx {

class TEngineContext {
 public:
  TEngineContext();
  ~TEngineContext();
  TEngineContext(const TEngineContext&) = delete;
  TEngineContext& operator=(const TEngineContext&) = delete;

  TsxMainDatabase& Database() { return *database_; }
  TsxSilentSettings& SilentSettings() { return *silentSettings_; }
  TsxEvaluator& Evaluator() { return *evaluator_; }
  TPluginHost& Plugins() { return *plugins_; }
  TEngineServices& Services() { return services_; }
  TLanguages& Languages() { return languages_; }
  TInstallationSteps& Installation() { return *installation_; }
  TMainWindow& MainWindow() { return mainWindow_; }
  // The installation subsystem the main flow calls: TEngineInstallation unless a test sets its
  // own (nullptr sets TEngineInstallation again).
  void SetInstallation(std::unique_ptr<TInstallationSteps> installation);
  // What the installation library reaches the engine through; installed as the library's
  // services while the context exists.
  TEngineInstallServices& InstallServices() { return installServices_; }

  // The setup's icon ("MAINICON") once loaded: a handle for the large and the small form, 0 while
  // none is loaded.
  void SetIconLoaded(bool loaded) { iconLoaded_ = loaded; }
  std::intptr_t IconHandle(bool small) const;

 private:
  std::unique_ptr<TsxMainDatabase> database_;
  std::unique_ptr<TsxSilentSettings> silentSettings_;
  TEngineServices services_;
  std::unique_ptr<TEngineEvaluatorServices> evaluatorServices_;
  std::unique_ptr<TsxEvaluator> evaluator_;
  TLanguages languages_;
  std::unique_ptr<TPluginHost> plugins_;
  std::unique_ptr<TInstallationSteps> installation_;
  TEngineInstallServices installServices_;
  TInstallServices* previousInstallServices_ = nullptr;
  TMainWindow mainWindow_;
  bool iconLoaded_ = false;
  TEngineContext* previous_ = nullptr;
};

// The current engine; nullptr when there is none.
TEngineContext* CurrentEngine();

}  // namespace sx
