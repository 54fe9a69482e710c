// What the installation benchmarks share: a wall-clock timer and a quiet stand-in for the engine's
// services that answers every question at once and counts the boxes that must not come.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "database/sx_main_database.h"
#include "install/install_services.h"

namespace sx::bench {

inline double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class QuietInstallServices : public TInstallServices {
 public:
  TsxMainDatabase database;
  std::string exeName;  // the setup program the run names
  int errors = 0;       // error boxes and message boxes shown
  TsxMainDatabase& Database() override { return database; }
  bool Aborted() override { return false; }
  void SetAborted(bool) override {}
  bool ResumeMode() override { return false; }
  void SetResumeMode(bool) override {}
  bool ResumePending() override { return false; }
  void SetResumePending(bool) override {}
  std::string ExeName() override { return exeName; }
  std::intptr_t SendEvent(std::int32_t, std::intptr_t, std::intptr_t, bool) override { return 0; }
  void ShowStatusText(std::string_view) override {}
  void HideStatusText() override {}
  std::string LanguageString(int) override { return {}; }
  std::vector<std::string> LanguageSectionNames() override { return {}; }
  std::vector<std::string> LanguageSectionLines(std::string_view) override { return {}; }
  int ShowErrorBox(std::string_view) override { return ++errors, 1; }
  int ShowBox(TBoxOwner, std::string_view, std::string_view, std::uint32_t) override { return ++errors, 1; }
  bool RunApplications(TsxWhenStart) override { return true; }
  std::vector<TsxRunApp*> UninstallRunApps(TsxWhenStart) override { return {}; }
  bool SaveResumeState() override { return true; }
  void RemoveFontResource(std::string_view) override {}
  bool RegisterServer(std::string_view, bool) override { return true; }
};

}  // namespace sx::bench
