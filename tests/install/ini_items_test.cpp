// The INI phase: "win.ini" by its bare name backed up and restored byte for byte, a new file in a
// new folder removed again and listed in the uninstall log, a file that cannot be written, the
// install log as INI file, and a backup that cannot be made.
#include <gtest/gtest.h>

#include "install/ini_items.h"
#include "platform/ini_cache.h"
#include "tests/install/install_fixture.h"
#include "tests/install/item_phase_support.h"

namespace sx::test {
namespace {

class IniItems : public InstallFixture {
 protected:
  IniItems() {
    items.database->TempBackupPath = kBackupFolder;
    component = &items.database->Components->AddNew();
    component->SetID("Main");
  }
  bool Install() { return InstallIniItems(items.database.get(), *component); }

  ItemServices items;
  TsxComponent* component = nullptr;
};

TEST_F(IniItems, ABareNameIsTheWindowsFileWhichRollbackRestoresByteForByte) {
  const std::string original = "; comment kept\r\n[Mail]\r\nMAPI=1\r\n\r\n[Other]\r\nx = y\r\n";
  ASSERT_TRUE(WriteFile("C:\\windows\\win.ini", original));
  const MachineSnapshot before = Snapshot();
  AddIni(*component, "win.ini", "Mail", "MAPI", "0");
  AddIni(*component, "WIN.INI", "New", "Key", "v");
  AddIni(*component, "win.ini", "Other", "x", "z", {}, TsxInstallAction::remove);

  ASSERT_TRUE(Install());
  EXPECT_EQ(IniReadString("C:\\windows\\win.ini", "Mail", "MAPI", "?"), "0");
  EXPECT_EQ(IniReadString("C:\\windows\\win.ini", "Other", "x", "?"), "?");
  IniCloseAll();
  // One backup of the whole file, under its full name; the entries name the full file too.
  TInstallFile* file = list().FindFileAction("C:\\windows\\win.ini");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Existed);
  auto& first = dynamic_cast<TInstallIni&>(list().Items(1));
  EXPECT_EQ(first.IniFile, "C:\\windows\\win.ini");
  EXPECT_EQ(first.OldValue, "1");
  EXPECT_EQ(list().Count(), 3);

  list().RollbackAll();
  EXPECT_EQ(ReadFile("C:\\windows\\win.ini"), original);
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(IniItems, ANewFileInANewFolderIsLoggedAndRemovedByRollback) {
  const MachineSnapshot before = Snapshot();
  SetLogFileName("C:\\Log\\install.log");
  EnableLog();
  AddIni(*component, "C:\\App\\Conf\\app.ini", "S", "K", "V");
  AddIni(*component, "C:\\App\\Conf\\app.ini", "S", "Quiet", "Q", TsxFlags{TsxFlag::dont_log});
  // The install log itself: changed like any INI file, never listed in itself.
  AddIni(*component, "C:\\Log\\install.log", "Custom", "Key", "Value");

  ASSERT_TRUE(Install());
  EXPECT_EQ(ReadFile("C:\\App\\Conf\\app.ini"), "[S]\r\nK=V\r\nQuiet=Q\r\n\r\n");
  list().WriteUninstallLog();
  IniCloseAll();
  EXPECT_EQ(IniReadString("C:\\Log\\install.log", "Custom", "Key", "?"), "Value");
  EXPECT_EQ(IniReadString("C:\\Log\\install.log", "CreateDirs", "C:\\App", "?"), "");
  EXPECT_EQ(IniReadString("C:\\Log\\install.log", "CreateDirs", "C:\\App\\Conf", "?"), "");
  EXPECT_EQ(IniReadString("C:\\Log\\install.log", "CopyFiles", "C:\\App\\Conf\\app.ini", "?"), "");
  EXPECT_EQ(IniReadString("C:\\Log\\install.log", "AddIni", "'C:\\App\\Conf\\app.ini','S','K'", "?"), "");
  EXPECT_EQ(IniReadString("C:\\Log\\install.log", "AddIni", "'C:\\App\\Conf\\app.ini','S','Quiet'", "?"), "?");
  EXPECT_EQ(IniReadString("C:\\Log\\install.log", "AddIni", "'C:\\Log\\install.log','Custom','Key'", "?"), "?");
  IniCloseAll();

  list().RollbackAll();
  EXPECT_FALSE(Exists("C:\\App\\Conf\\app.ini"));
  EXPECT_FALSE(Exists("C:\\App"));
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(IniItems, AFileThatCannotBeWrittenOrBackedUpFailsThePhaseWithItsMessage) {
  ASSERT_TRUE(WriteFile("C:\\windows\\locked.ini", "[S]\r\nK=old\r\n"));
  ASSERT_TRUE(host().SetFileAttributes("C:\\windows\\locked.ini", host::kAttrReadOnly));
  AddIni(*component, "locked.ini", "S", "K", "new");
  EXPECT_FALSE(Install());
  EXPECT_EQ(items.CallsStartingWith("box"),
            (std::vector<std::string>{"box Error: Error changing ini-file \"C:\\windows\\locked.ini\". style 16"}));
  EXPECT_EQ(ReadFile("C:\\windows\\locked.ini"), "[S]\r\nK=old\r\n");

  // The backup of an existing file fails: nothing changes.
  component->IniFiles->Clear();
  items.calls.clear();
  list().Clear();
  ASSERT_TRUE(WriteFile("C:\\windows\\other.ini", "[S]\r\nK=old\r\n"));
  AddIni(*component, "other.ini", "S", "K", "new");
  faults.mutations = 0;
  faults.failAt = 1;  // the backup copy
  EXPECT_FALSE(Install());
  EXPECT_EQ(items.CallsStartingWith("box").size(), 1u);
  EXPECT_EQ(ReadFile("C:\\windows\\other.ini"), "[S]\r\nK=old\r\n");
  EXPECT_EQ(list().Count(), 0);
}

}  // namespace
}  // namespace sx::test
