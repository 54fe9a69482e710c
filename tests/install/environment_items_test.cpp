// The environment phase: PATH extended from the value stored where it is kept (an expandable
// string stays one), one broadcast for several variables, the system and the user key,
// dont_overwrite, rollback, and Windows 9x with its autoexec.bat.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "install/environment_items.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"
#include "tests/install/item_phase_support.h"

namespace sx::test {
namespace {

constexpr char kSystemKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kUserKey[] = "HKCU\\Environment";

class Environment : public InstallFixture {
 protected:
  Environment() {
    items.database->TempBackupPath = kBackupFolder;
    host::SetCurrentHost(&counter);
  }
  TsxVariable& AddEnv(TsxVariables& variables, std::string name, std::string value, TsxFlags flags = {}) {
    TsxVariable& variable = variables.AddNew();
    variable.Name = std::move(name);
    variable.Value = std::move(value);
    variable.VarType = TsxVarType::vtEnvVar;
    variable.Flags = flags;
    variables.Reindex();
    return variable;
  }
  void Raw(const std::string& key, const char* name, uint32_t type, const std::string& text) {
    ASSERT_TRUE(RegWriteRaw(key, name, type, (text + '\0').data(), static_cast<uint32_t>(text.size() + 1)));
  }
  std::optional<host::RegValue> Query(const std::string& key, const char* name) {
    RegPath path = RegSplitPath(key);
    return host().RegQueryValue(path.root, path.subKey, name);
  }

  ItemServices items;
  BroadcastCounter counter{faults};
};

TEST_F(Environment, PathIsExtendedFromItsStoredValueAndRestoredByRollback) {
  Raw(kSystemKey, "Path", host::kRegExpandSz, "%SystemRoot%\\system32; ;c:\\b;C:\\B");
  Raw(kUserKey, "TEMP", host::kRegSz, "C:\\Temp");
  const MachineSnapshot before = Snapshot();
  auto& db = *items.database;
  AddEnv(*db.Variables, "PATH", "C:\\A;c:\\a; C:\\B", TsxFlags{TsxFlag::add_path, TsxFlag::sys_envvar});
  AddEnv(*db.Variables, "TEMP", "C:\\Other", TsxFlags{TsxFlag::dont_overwrite});
  auto& package = db.Packages->AddNew();
  package.ID = "extra";
  WriteVariable(&package, "Where", "C:\\Tools");
  AddEnv(*package.Variables, "TOOLS", "%Where%");

  ASSERT_TRUE(InstallEnvironment());
  // The stored value, with blank and repeated items dropped, plus the new item; still expandable.
  EXPECT_EQ(Query(kSystemKey, "Path")->type, host::kRegExpandSz);
  EXPECT_EQ(RegReadString(kSystemKey, "Path", "?"), "%SystemRoot%\\system32;c:\\b;C:\\A");
  EXPECT_EQ(RegReadString(kUserKey, "TEMP", "?"), "C:\\Temp");
  EXPECT_EQ(RegReadString(kUserKey, "TOOLS", "?"), "C:\\Tools");
  EXPECT_EQ(counter.broadcasts, (std::vector<std::string>{"WM_WININICHANGE Environment"}));
  ASSERT_EQ(list().Count(), 2);
  auto& path = dynamic_cast<TInstallEnvVar&>(list().Items(0));
  EXPECT_EQ(path.Value, "C:\\A;C:\\B");
  EXPECT_EQ(path.OldValue, "%SystemRoot%\\system32; ;c:\\b;C:\\B");
  EXPECT_TRUE(path.SysVar && path.AddPath);

  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
  EXPECT_EQ(MergePathList("PATH", " ;a;;A ; b;"), "a;b");
}

TEST_F(Environment, Windows9xWritesAutoexecAsksForARebootAndRefusesLineBreaks) {
  TempMachine old("[System]\nPlatform=9x\n");
  BroadcastCounter oldCounter{old.host()};
  host::SetCurrentHost(&oldCounter);
  auto& db = *items.database;
  AddEnv(*db.Variables, "SXONE", "C:\\One");
  AddEnv(*db.Variables, "SXTWO", "two");
  ASSERT_TRUE(InstallEnvironment());
  EXPECT_EQ(ReadHostFile(old.HostPath("drive_c/autoexec.bat")), "SET SXONE=C:\\One\r\nSET SXTWO=two\r\n");
  EXPECT_TRUE(ReadVariableBool(&db, "Reboot", false));
  EXPECT_TRUE(oldCounter.broadcasts.empty());

  db.Variables->Clear();
  AddEnv(*db.Variables, "SXBAD", "a||SET EVIL=1");  // "||" expands to CR LF
  EXPECT_FALSE(InstallEnvironment());
  db.Variables->Clear();
  AddEnv(*db.Variables, "SX=BAD", "x");
  EXPECT_FALSE(InstallEnvironment());
  EXPECT_EQ(ReadHostFile(old.HostPath("drive_c/autoexec.bat")), "SET SXONE=C:\\One\r\nSET SXTWO=two\r\n");
  list().Clear();
  host::SetCurrentHost(&counter);
}

}  // namespace
}  // namespace sx::test
