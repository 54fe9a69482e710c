#include "install/install_services.h"

#include <array>

#include "util/errors.h"

namespace sx {
namespace {

TInstallServices* currentServices = nullptr;

}  // namespace

std::string_view InstallPhaseName(TInstallPhase phase) {
  static constexpr std::array<std::string_view, kInstallPhaseCount> kNames{
      "files",           "server registration", "registry values",
      "INI entries",     "fonts",               "shortcuts",
      "environment variables", "removal of old references", "uninstaller copy",
      "uninstall registration"};
  return kNames[static_cast<size_t>(phase)];
}

bool TInstallServices::PhaseAvailable(TInstallPhase) { return false; }

bool TInstallServices::RunPhase(TInstallPhase phase, TXMLObject*) {
  ShowErrorBox("This setup needs the " + std::string(InstallPhaseName(phase)) +
               " step, which this engine cannot carry out.");
  return false;
}

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
