// Rollback of mixed action lists leaves the machine as it was, also when any one change of the
// installation failed; the failure paths of backups and restores keep every previous file.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "install/reg_capture.h"
#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"
#include "util/environment.h"

namespace sx::test {
namespace {

constexpr char kTestKey[] = "HKLM\\Software\\SxTest";
constexpr char kEnvKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

class Rollback : public InstallFixture {
 protected:
  // What the machine holds before the installation: a read-only hidden file to replace, a file
  // in use, an INI file, values of every type, a system environment variable.
  void PrepareMachine() {
    host().CreateFolder("C:\\Data");
    ASSERT_TRUE(WriteFile("C:\\Data\\old.txt", "previous content"));
    host::FileTime stamp = host::SystemTimeToFileTime({2003, 4, 0, 5, 6, 7, 8, 0});
    ASSERT_TRUE(host().SetFileTimes("C:\\Data\\old.txt", nullptr, nullptr, &stamp));
    ASSERT_TRUE(host().SetFileAttributes("C:\\Data\\old.txt", host::kAttrReadOnly | host::kAttrHidden));
    ASSERT_TRUE(WriteFile("C:\\Data\\busy.dll", "server in use"));
    ASSERT_TRUE(WriteFile("C:\\windows\\sxapp.ini", "[S]\r\nK=old\r\n"));
    auto raw = [&](const char* name, uint32_t type, std::string data) {
      RegPath path = RegSplitPath(kTestKey);
      host().RegCreateKey(path.root, path.subKey);
      ASSERT_TRUE(host().RegSetValue(path.root, path.subKey, name, {type, std::move(data)}));
    };
    raw("sz", host::kRegSz, std::string("text\0", 5));
    raw("expand", host::kRegExpandSz, std::string("%SystemRoot%\\x\0", 15));
    raw("binary", host::kRegBinary, std::string("\x00\xFF\x10", 3));
    raw("dword", host::kRegDword, std::string("\x01\x02\x03\x04", 4));
    raw("multi", host::kRegMultiSz, std::string("a\0b\0\0", 5));
    raw("qword", host::kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    raw("none", host::kRegNone, std::string("\x07", 1));
    raw("shortdword", host::kRegDword, std::string("\x01\x02\x03", 3));
    raw("unterminated", host::kRegSz, "no zero");
    raw("multiempty", host::kRegMultiSz, std::string("a\0\0b\0\0", 6));
    host().RegCreateKey(host::RegRoot::kLocalMachine, kEnvKey);
    ASSERT_TRUE(SetEnvVar("SXTEST", "old value", true));
  }

  // An installation of every kind of change, as the phases make them, with the log. False at the
  // first step that failed, as a phase ends the run.
  bool InstallMixed() {
    auto& actions = list();
    SetLogFileName("C:\\App\\install.log");
    EnableLog();
    actions.ForceFolders("C:\\App\\", true);
    if (!FolderExistsAt("C:\\App")) return false;
    if (!actions.AddFileAction("C:\\App\\install.log", TsxFlags{TsxFlag::dont_log}, false)) return false;

    actions.ForceFolders("C:\\App\\Sub\\", true);
    if (!FolderExistsAt("C:\\App\\Sub")) return false;
    if (!actions.AddFileAction("C:\\App\\Sub\\new.txt", {}, true)) return false;
    if (!WriteFile("C:\\App\\Sub\\new.txt", "new file")) return false;

    if (!actions.AddFileAction("C:\\Data\\old.txt", {}, true)) return false;
    if (!WriteFile("C:\\Data\\old.txt", "replacement")) return false;

    TInstallFile* busy = actions.AddFileAction("C:\\Data\\busy.dll", TsxFlags{TsxFlag::reg_server}, true);
    if (!busy) return false;
    if (!WriteFile(busy->RenamePending ? busy->TmpFileName : busy->FileName, "new server")) return false;

    actions.ForceRegKeys(std::string(kTestKey) + "\\New\\'a\\b'", true);
    for (const char* name : {"sz", "expand", "binary", "dword", "multi", "qword", "none", "shortdword",
                             "unterminated", "multiempty", "added"}) {
      auto& reg = actions.AddActionOf<TInstallReg>();
      CaptureRegValue(reg, kTestKey, name);
      if (!RegWriteString(kTestKey, name, "installed")) return false;
    }

    if (!actions.AddFileAction("C:\\windows\\sxapp.ini", {}, false)) return false;
    auto& ini = actions.AddActionOf<TInstallIni>();
    ini.IniFile = "C:\\windows\\sxapp.ini";
    ini.Section = "S";
    ini.Param = "K";
    ini.OldValue = "old";
    if (!IniWriteString(ini.IniFile, "S", "K", "new")) return false;
    if (!IniCloseFile(ini.IniFile)) return false;

    for (bool system : {true, false}) {
      auto& env = actions.AddActionOf<TInstallEnvVar>();
      env.Name = "SXTEST";
      env.SysVar = system;
      env.OldValue = RegReadString(system ? std::string("HKLM\\") + kEnvKey : "HKCU\\Environment", "SXTEST", "");
      env.Value = "C:\\App";
      env.AddPath = true;
      if (!SetEnvVar("SXTEST", "C:\\App;old", system)) return false;
    }

    auto* kept = actions.AddFileAction("C:\\keep.txt", {}, true);
    if (!kept) return false;
    kept->DontRollback = true;
    if (!WriteFile("C:\\keep.txt", "stays")) return false;

    actions.ScheduleRebootOperations();
    actions.WriteUninstallLog();
    return IniCloseAll();
  }

  // The main flow closes the cached INI documents before it rolls back.
  void RollBack(FaultHost& faulty) {
    faulty.counting = false;
    IniCloseAll();
    list().RollbackAll();
    IniCloseAll();
  }
};

TEST_F(Rollback, MixedListRestoresTheMachineAndASecondRollbackDoesNothing) {
  PrepareMachine();
  faults.inUse.insert("c:\\data\\busy.dll");
  MachineSnapshot before = Snapshot();
  ASSERT_TRUE(InstallMixed());

  // The installation did change what the rollback must undo.
  EXPECT_EQ(ReadFile("C:\\Data\\old.txt"), "replacement");
  EXPECT_EQ(ReadFile("C:\\Data\\busy.dll"), "server in use");
  EXPECT_EQ(RegReadString(kTestKey, "qword", ""), "installed");
  EXPECT_TRUE(RegKeyExists(std::string(kTestKey) + "\\New\\'a\\b'"));
  EXPECT_TRUE(RegValueExists(std::string("HKLM\\") + kSessionManagerKey, kPendingRenamesValue));
  EXPECT_TRUE(ReadVariableBool(services.database.get(), "Reboot", false));
  EXPECT_EQ(services.CallsStartingWith("unregister"), std::vector<std::string>{"unregister C:\\Data\\busy.dll"});

  RollBack(faults);
  EXPECT_EQ(list().Count(), 0);
  EXPECT_EQ(ReadFile("C:\\keep.txt"), "stays");  // DontRollback: left on disk
  ASSERT_TRUE(host().DeleteFile("C:\\keep.txt"));
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
  // The server the in-use replacement unregistered is registered again; no undo reported errors.
  EXPECT_EQ(services.CallsStartingWith("register"), std::vector<std::string>{"register C:\\Data\\busy.dll"});
  EXPECT_TRUE(services.CallsStartingWith("error").empty());

  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(Rollback, AnyOneFailedChangeOfTheInstallationIsRolledBack) {
  // Count the mutating calls of a whole installation, then fail each one in turn: whatever the
  // installation got done, the rollback restores the machine, which is then ready for the next
  // round.
  PrepareMachine();
  faults.inUse.insert("c:\\data\\busy.dll");
  const MachineSnapshot before = Snapshot();
  faults.mutations = 0;
  ASSERT_TRUE(InstallMixed());
  const int total = faults.mutations;
  RollBack(faults);
  host().DeleteFile("C:\\keep.txt");
  ASSERT_GT(total, 30);

  for (int n = 1; n <= total; ++n) {
    ResetLog();
    faults.counting = true;
    faults.mutations = 0;
    faults.failAt = n;
    InstallMixed();  // some failures are absorbed (a retried copy), most end the installation
    RollBack(faults);
    host().DeleteFile("C:\\keep.txt");  // DontRollback leaves it
    EXPECT_EQ(list().Count(), 0);
    ASSERT_EQ(SnapshotDifference(before, Snapshot()), "") << "failing call " << n;
  }
}

}  // namespace
}  // namespace sx::test
