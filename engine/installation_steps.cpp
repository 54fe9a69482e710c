#include "engine/installation_steps.h"

#include "host/host.h"

namespace sx {

bool TInstallationSteps::RunInstallation() {
  host::CurrentHost().Trace("install", "");
  return true;
}

void TInstallationSteps::LogAddRecord(std::string_view section, std::string_view key,
                                      std::string_view value) {
  host::CurrentHost().Trace("log", "[" + std::string(section) + "] " + std::string(key) + "=" +
                                       std::string(value));
}

void TInstallationSteps::LogInstalledFile(std::string_view path) {
  host::CurrentHost().Trace("log", "file " + std::string(path));
}

}  // namespace sx
