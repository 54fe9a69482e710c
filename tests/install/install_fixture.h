// The common ground of the install tests: a fresh machine behind a fault-injecting host, the
// recording services, an empty action list and a switched-off log; helpers for Windows files.
#pragma once

#include <gtest/gtest.h>

#include "install/install_actions.h"
#include "install/install_log.h"
#include "platform/ini_cache.h"
#include "tests/install/fault_host.h"
#include "tests/install/install_test_support.h"
#include "tests/support/machine_snapshot.h"
#include "tests/support/temp_machine.h"

namespace sx::test {

class InstallFixture : public ::testing::Test {
 protected:
  // The engine's backup folder, left out of snapshots as the engine's temporary folder is.
  static constexpr char kTempDir[] = "C:\\sxtemp\\";
  static constexpr char kBackupFolder[] = "C:\\sxtemp\\backup\\";

  InstallFixture() {
    host::SetCurrentHost(&faults);
    IniCloseAll();
    InstallActionList().Clear();
    ResetLog();
    SetLogFileName("");
    machine.host().CreateFolder("C:\\sxtemp");
    machine.host().CreateFolder(kBackupFolder);
    services.database->TempBackupPath = kBackupFolder;
  }
  ~InstallFixture() override {
    faults.counting = false;
    InstallActionList().Clear();
    IniCloseAll();
    ResetLog();
    SetLogFileName("");
    host::SetCurrentHost(&machine.host());
  }

  TInstallActions& list() { return InstallActionList(); }
  // The host in force (the fault host, or another machine a test switched to).
  host::Host& host() { return host::CurrentHost(); }

  bool WriteFile(const std::string& path, const std::string& content) {
    auto file = host::CurrentHost().OpenFile(path, {host::OpenMode::kCreateAlways, false});
    return file && file->Write(content.data(), content.size());
  }
  std::string ReadFile(const std::string& path) {
    auto file = host::CurrentHost().OpenFile(path, {host::OpenMode::kRead, false});
    if (!file) return "<missing>";
    std::string data(4096, '\0');
    auto n = file->Read(data.data(), data.size());
    data.resize(n ? *n : 0);
    return data;
  }
  bool Exists(const std::string& path) { return host::CurrentHost().GetFileInfo(path).has_value(); }
  MachineSnapshot Snapshot() { return TakeSnapshot({"C:\\"}, {kTempDir}); }

  TempMachine machine;
  FaultHost faults{machine.host()};
  RecordingServices services;
};

}  // namespace sx::test
