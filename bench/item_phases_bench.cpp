// The item phases at scale: registry values (10,000 and 50,000 in 100 keys), INI entries (10,000
// in one file from one component, and from 1,000 components of 10), and 1,000 shortcuts. Each is
// installed through its phase and rolled back; the table gives microseconds per item. Goal: a
// cost per item that does not grow with the count (the file index, no flush per item).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/bench_install_services.h"
#include "database/sx_main_database.h"
#include "host/posix/posix_host.h"
#include "install/ini_items.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "install/registry_items.h"
#include "install/shortcut_items.h"
#include "platform/ini_cache.h"

namespace {

using sx::bench::Seconds;
using BenchServices = sx::bench::QuietInstallServices;

struct Result {
  const char* what;
  int items;
  double install = 0, rollback = 0;
};

bool failed = false;

// Installs the components' items with `phase`, then rolls everything back.
Result Measure(const char* what, int items, BenchServices& services,
               bool (*phase)(sx::TXMLObject*, sx::TsxComponent&)) {
  Result result{what, items};
  auto& list = sx::InstallActionList();
  list.Clear();
  result.install = Seconds([&] {
    for (sx::TsxComponent& component : *services.database.Components)
      if (!phase(&services.database, component)) failed = true;
    sx::host::CurrentHost().RegFlush();
  });
  result.rollback = Seconds([&] {
    list.RollbackAll();
    sx::IniCloseAll();
    sx::host::CurrentHost().RegFlush();
  });
  services.database.Components->Clear();
  return result;
}

void AddRegistry(BenchServices& services, int count) {
  auto& component = services.database.Components->AddNew();
  for (int i = 0; i < count; ++i) {
    auto& item = component.Registry->AddNew();
    item.Key = "HKLM\\Software\\Bench\\Key" + std::to_string(i % 100);
    item.Param = "Value" + std::to_string(i);
    item.Value = "data " + std::to_string(i);
  }
}

void AddIni(BenchServices& services, int components, int perComponent) {
  for (int c = 0; c < components; ++c) {
    auto& component = services.database.Components->AddNew();
    for (int i = 0; i < perComponent; ++i) {
      auto& item = component.IniFiles->AddNew();
      item.IniFile = "C:\\bench\\app.ini";
      item.Section = "Section" + std::to_string((c * perComponent + i) % 50);
      item.Param = "Key" + std::to_string(c * perComponent + i);
      item.Value = "value";
    }
  }
}

void AddShortcuts(BenchServices& services, int count) {
  auto& component = services.database.Components->AddNew();
  for (int i = 0; i < count; ++i) {
    auto& item = component.Shortcuts->AddNew();
    item.Name = "C:\\bench\\Menu\\Group" + std::to_string(i % 20) + "\\Link" + std::to_string(i);
    item.CmdLine = "C:\\bench\\app.exe";
    item.Arg = "--item " + std::to_string(i);
    item.Description = "Shortcut " + std::to_string(i);
  }
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "sx-items-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  int status = 0;
  {
    auto host = sx::host::OpenPosixHost(pattern);
    sx::host::SetCurrentHost(host.get());
    host->CreateFolder("C:\\bench");
    host->CreateFolder("C:\\bench\\backup");
    BenchServices services;
    services.database.TempBackupPath = "C:\\bench\\backup\\";
    sx::SetInstallServices(&services);

    std::vector<Result> results;
    AddRegistry(services, 10000);
    results.push_back(Measure("registry, 100 keys", 10000, services, sx::InstallRegistryItems));
    AddRegistry(services, 50000);
    results.push_back(Measure("registry, 100 keys", 50000, services, sx::InstallRegistryItems));
    AddIni(services, 1, 10000);
    results.push_back(Measure("INI, 1 component", 10000, services, sx::InstallIniItems));
    AddIni(services, 1000, 10);
    results.push_back(Measure("INI, 1000 x 10", 10000, services, sx::InstallIniItems));
    AddShortcuts(services, 1000);
    results.push_back(Measure("shortcuts", 1000, services, sx::InstallShortcutItems));

    std::printf("%-20s %7s %12s %12s %12s %12s\n", "phase", "items", "install ms", "rollback ms",
                "us/item in", "us/item back");
    for (const Result& r : results)
      std::printf("%-20s %7d %12.1f %12.1f %12.2f %12.2f\n", r.what, r.items, r.install * 1e3,
                  r.rollback * 1e3, r.install / r.items * 1e6, r.rollback / r.items * 1e6);
    // 50k against 10k registry values: a cost per item that grew with the count would show here.
    const double growth = (results[1].install / results[1].items) / (results[0].install / results[0].items);
    std::printf("registry install per item, 50k against 10k: %.2fx -> %s\n", growth,
                growth < 3.0 ? "linear" : "NOT LINEAR");
    if (failed || services.errors) std::printf("ERROR: a phase failed\n");
    status = growth < 3.0 && !failed && !services.errors ? 0 : 1;
    sx::InstallActionList().Clear();
    sx::SetInstallServices(nullptr);
    sx::host::SetCurrentHost(nullptr);
  }
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return status;
}
