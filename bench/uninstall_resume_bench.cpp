// Registration and resume at two sizes each, a tenth and the full size: the resume state (the
// project with 5,000 variables and 50,000 actions, saved as the two resume files and loaded
// again), the silent settings of a registration from 10,000 variables, and the removal of old
// references with 10,000 uninstall entries in the old log. Goal: linear, i.e. the full size costs
// about ten times the tenth. Prints one table (best of three runs) and the check.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/bench_install_services.h"
#include "database/sx_variable_access.h"
#include "host/posix/posix_host.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "install/old_references.h"
#include "install/uninstall_registration.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"

namespace {

using sx::bench::Seconds;
using BenchServices = sx::bench::QuietInstallServices;

double Best(const std::function<void()>& prepare, const std::function<void()>& work) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    prepare();
    best = std::min(best, Seconds(work));
  }
  return best;
}

bool failed = false;

void FillVariables(sx::TsxMainDatabase& database, int count) {
  database.Variables->Clear();
  for (int i = 0; i < count; ++i) {
    auto& variable = database.Variables->AddNew();
    variable.Name = "Var" + std::to_string(i);
    variable.Value = "value " + std::to_string(i);
  }
  sx::WriteVariable(&database, "AppID", "Bench");
  sx::WriteVariable(&database, "AppName", "Bench");
}

double ResumeState(BenchServices& services, int actions) {
  auto& list = sx::InstallActionList();
  FillVariables(services.database, actions / 10);
  list.Clear();
  for (int i = 0; i < actions; ++i) {
    auto& file = list.AddActionOf<sx::TInstallFile>();
    file.FileName = "C:\\Product\\bin" + std::to_string(i % 97) + "\\file" + std::to_string(i) + ".dll";
  }
  return Best([] {}, [&] {
    if (!services.database.SaveToFile("C:\\bench\\MainDB", "sx2project") ||
        !list.SaveToFile("C:\\bench\\InstallActions", "installactions"))
      failed = true;
    sx::TsxMainDatabase loaded;
    sx::TInstallActions loadedList;
    if (!loaded.LoadFromFile("C:\\bench\\MainDB", "sx2project") ||
        !loadedList.LoadFromFile("C:\\bench\\InstallActions", "installactions") || loadedList.Count() != actions)
      failed = true;
  });
}

double SilentSettings(BenchServices& services, int variables) {
  FillVariables(services.database, variables);
  return Best(
      [] {
        sx::InstallActionList().RollbackAll();
        sx::InstallActionList().Clear();
      },
      [&] { sx::RegisterUninstall(services.database, "C:\\bench\\", "C:\\bench\\install.log"); });
}

double OldReferences(int keys) {
  const std::string log = "C:\\bench\\old" + std::to_string(keys) + ".log";
  return Best(
      [&] {
        std::vector<std::string> lines;
        for (int i = 0; i < keys; ++i) {
          const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P" + std::to_string(i);
          sx::RegWriteString(key, "UninstallString", "\"C:\\bench\\Uninstall.exe\" \"" + log + "\"");
          lines.push_back(key + "=");
        }
        sx::IniWriteSectionValues(log, "CreateKeys", lines);
        sx::IniCloseAll();
        sx::InstallActionList().Clear();
      },
      [&] {
        sx::RemoveOldReferencesFromLog(log);
        if (sx::RegKeyExists("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P0")) failed = true;
      });
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "sx-register-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  int status = 0;
  {
    auto host = sx::host::OpenPosixHost(pattern);
    sx::host::SetCurrentHost(host.get());
    host->CreateFolder("C:\\bench");
    BenchServices services;
    services.exeName = "C:\\setup\\setup.exe";
    sx::SetInstallServices(&services);

    struct Row {
      const char* what;
      int small, large;
      double tSmall, tLarge;
    };
    Row rows[] = {{"resume state (actions)", 5000, 50000, 0, 0},
                  {"silent settings (variables)", 1000, 10000, 0, 0},
                  {"old references (keys)", 1000, 10000, 0, 0}};
    rows[0].tSmall = ResumeState(services, rows[0].small);
    rows[0].tLarge = ResumeState(services, rows[0].large);
    rows[1].tSmall = SilentSettings(services, rows[1].small);
    rows[1].tLarge = SilentSettings(services, rows[1].large);
    rows[2].tSmall = OldReferences(rows[2].small);
    rows[2].tLarge = OldReferences(rows[2].large);

    std::printf("%-28s %8s %10s %8s %10s %8s\n", "operation", "size", "ms", "size", "ms", "growth");
    bool linear = true;
    for (const Row& r : rows) {
      // Ten times the work; a quadratic cost would be about a hundred times. The check allows 25.
      const double growth = r.tLarge / r.tSmall;
      linear = linear && growth < 25.0;
      std::printf("%-28s %8d %10.1f %8d %10.1f %7.1fx\n", r.what, r.small, r.tSmall * 1e3, r.large,
                  r.tLarge * 1e3, growth);
    }
    std::printf("-> %s\n", linear ? "linear" : "NOT LINEAR");
    if (failed || services.errors) std::printf("ERROR: a save, a load or a removal failed\n");
    status = linear && !failed && !services.errors ? 0 : 1;
    sx::InstallActionList().Clear();
    sx::SetInstallServices(nullptr);
    sx::host::SetCurrentHost(nullptr);
  }
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return status;
}
