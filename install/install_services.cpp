#include "install/install_services.h"


#include "util/errors.h"

namespace sx {
namespace {

TInstallServices* currentServices = nullptr;

}  // namespace

TInstallServices& InstallServices() {
  if (!currentServices) throw EEngineError("The installation services were not set.");
  return *currentServices;
}

bool HasInstallServices() { return currentServices != nullptr; }

TInstallServices* SetInstallServices(TInstallServices* services) {
  TInstallServices* previous = currentServices;
  currentServices = services;
  return previous;
}

}  // namespace sx
