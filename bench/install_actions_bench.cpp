// The action list at 1,000, 10,000 and 100,000 actions: adding file actions, FindFileAction for
// every one of them, WriteUninstallLog with the log's write-back, saving and loading the list as
// the "installactions" file, and RollbackAll. Goal: linear, i.e. a cost per action that does not
// grow with the list. Prints one table (best of three runs per size) and the check.
//
// The rollback undoes file actions whose files are gone already, so it measures the list and the
// file-system lookups of each undo, not the deletion of real files.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/bench_install_services.h"
#include "host/posix/posix_host.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "install/install_services.h"
#include "platform/ini_cache.h"

namespace {

using sx::bench::Seconds;
using BenchServices = sx::bench::QuietInstallServices;

struct Times {
  double add = 1e30, find = 1e30, log = 1e30, save = 1e30, load = 1e30, rollback = 1e30;
  double Total() const { return add + find + log + save + load + rollback; }
};

bool failed = false;

std::string FileName(int i) {
  return "C:\\Program Files\\Product\\bin" + std::to_string(i % 97) + "\\file" + std::to_string(i) + ".dll";
}

Times Run(int count) {
  Times best;
  auto& list = sx::InstallActionList();
  const std::string saved = "C:\\bench\\InstallActions" + std::to_string(count);
  for (int run = 0; run < 3; ++run) {
    Times t;
    list.Clear();
    sx::ResetLog();
    sx::SetLogFileName("C:\\bench\\install" + std::to_string(count) + ".log");
    sx::EnableLog();
    t.add = Seconds([&] {
      for (int i = 0; i < count; ++i) {
        auto& file = list.AddActionOf<sx::TInstallFile>();
        file.FileName = FileName(i);
        file.IsServer = i % 10 == 0;
      }
    });
    t.find = Seconds([&] {
      for (int i = 0; i < count; ++i)
        if (!list.FindFileAction(FileName(i))) failed = true;
    });
    t.log = Seconds([&] {
      list.WriteUninstallLog();
      if (!sx::IniCloseAll()) failed = true;
    });
    t.save = Seconds([&] {
      if (!list.SaveToFile(saved, "installactions")) failed = true;
    });
    t.load = Seconds([&] {
      list.Clear();
      if (!list.LoadFromFile(saved, "installactions") || list.Count() != count) failed = true;
    });
    t.rollback = Seconds([&] { list.RollbackAll(); });
    if (list.Count() != 0) failed = true;
    sx::host::CurrentHost().DeleteFile(saved);
    sx::host::CurrentHost().DeleteFile(sx::LogFileName());
    best.add = std::min(best.add, t.add);
    best.find = std::min(best.find, t.find);
    best.log = std::min(best.log, t.log);
    best.save = std::min(best.save, t.save);
    best.load = std::min(best.load, t.load);
    best.rollback = std::min(best.rollback, t.rollback);
  }
  return best;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "sx-actions-bench-XXXXXX").string();
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
    sx::SetInstallServices(&services);

    const int sizes[] = {1000, 10000, 100000};
    Times times[3];
    for (int i = 0; i < 3; ++i) times[i] = Run(sizes[i]);

    std::printf("%-8s %9s %9s %11s %9s %9s %11s %10s %11s\n", "actions", "add ms", "find ms",
                "log+flush", "save ms", "load ms", "rollback ms", "total ms", "us/action");
    for (int i = 0; i < 3; ++i) {
      const Times& t = times[i];
      std::printf("%-8d %9.1f %9.1f %11.1f %9.1f %9.1f %11.1f %10.1f %11.3f\n", sizes[i], t.add * 1e3,
                  t.find * 1e3, t.log * 1e3, t.save * 1e3, t.load * 1e3, t.rollback * 1e3,
                  t.Total() * 1e3, t.Total() / sizes[i] * 1e6);
    }
    // As in the INI benchmark: the work per action is constant, but at 100,000 actions the list,
    // the index and the log no longer sit in the CPU caches; a cost that grew with the list would
    // make the 100k row about ten times slower per action than the 10k row. The check allows 4.
    auto perAction = [&](int i) { return times[i].Total() / sizes[i]; };
    const double growth = perAction(2) / perAction(1);
    const bool linear = growth < 4.0;
    std::printf("time per action, 100k against 10k: %.2fx (against 1k: %.2fx) -> %s\n", growth,
                perAction(2) / perAction(0), linear ? "linear" : "NOT LINEAR");
    if (failed || services.errors) std::printf("ERROR: a lookup, a load or a write-back failed\n");
    status = linear && !failed && !services.errors ? 0 : 1;
    sx::InstallActionList().Clear();
    sx::SetInstallServices(nullptr);
    sx::host::SetCurrentHost(nullptr);
  }
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return status;
}
