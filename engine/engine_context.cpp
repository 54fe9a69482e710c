#include "engine/engine_context.h"

#include "database/sx_condition_object.h"
#include "engine/engine_installation.h"
#include "engine/session_end.h"
#include "install/install_actions.h"
#include "install/install_log.h"

namespace sx {
namespace {
TEngineContext* g_current = nullptr;
}  // namespace

TEngineContext::TEngineContext()
    : database_(std::make_unique<TsxMainDatabase>()),
      silentSettings_(std::make_unique<TsxSilentSettings>()),
      services_(*this),
      evaluatorServices_(std::make_unique<TEngineEvaluatorServices>(*this, *database_)),
      evaluator_(std::make_unique<TsxEvaluator>(*evaluatorServices_)),
      languages_(*database_),
      plugins_(std::make_unique<TPluginHost>(*database_, services_)),
      installation_(std::make_unique<TEngineInstallation>()),
      installServices_(*this) {
  InstallEvaluatorHooks(evaluator_.get());
  // A new engine starts with no recorded change and the install log off.
  InstallActionList().Clear();
  ResetLog();
  SetLogFileName("");
  previousInstallServices_ = SetInstallServices(&installServices_);
  mainWindow_.OnQueryEndSession = AnswerSessionEnd;
  plugins_->ConnectDatabaseEvents();
  previous_ = g_current;
  g_current = this;
}

TEngineContext::~TEngineContext() {
  g_current = previous_;
  SetInstallServices(previousInstallServices_);
  // The plug-ins go first: unloading them reaches the evaluator and the database.
  plugins_.reset();
  InstallEvaluatorHooks(nullptr);
  ConditionsEnabled = false;
}

void TEngineContext::SetInstallation(std::unique_ptr<TInstallationSteps> installation) {
  installation_ = installation ? std::move(installation) : std::make_unique<TEngineInstallation>();
}

std::intptr_t TEngineContext::IconHandle(bool small) const {
  // The simulated machine has no icon objects: a loaded icon is a fixed non-zero handle per size.
  if (!iconLoaded_) return 0;
  return small ? 0x1C16 : 0x1C32;
}

TEngineContext* CurrentEngine() { return g_current; }

}  // namespace sx
