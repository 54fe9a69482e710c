// The action list's own rules: failed backups, restores that fail, files in use, staged fonts,
// recorded folders and keys, the file index, the log selection and the "installactions" file.
#include <gtest/gtest.h>

#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"
#include "xml/xml_parser_error.h"

namespace sx::test {
namespace {

class Actions : public InstallFixture {
 protected:
  std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (auto entries = host().FindFiles(folder + "*"))
      for (const auto& entry : *entries)
        if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
    return names;
  }
  std::string PendingRenames() {
    RegPath path = RegSplitPath(std::string("HKLM\\") + kSessionManagerKey);
    auto value = host().RegQueryValue(path.root, path.subKey, kPendingRenamesValue);
    return value ? value->data : "<none>";
  }
};

TEST_F(Actions, FailedBackupLeavesNoActionNoPartialCopyAndTheFileUntouched) {
  host().CreateFolder("C:\\Data");
  ASSERT_TRUE(WriteFile("C:\\Data\\f.txt", "precious"));
  ASSERT_TRUE(host().SetFileAttributes("C:\\Data\\f.txt", host::kAttrReadOnly));
  faults.mutations = 0;
  faults.failAt = 2;  // the backup file is made (1), its first write fails (2)
  EXPECT_EQ(list().AddFileAction("C:\\Data\\f.txt", {}, true), nullptr);
  EXPECT_EQ(list().Count(), 0);
  EXPECT_TRUE(FilesIn(kBackupFolder).empty());
  EXPECT_EQ(ReadFile("C:\\Data\\f.txt"), "precious");
  EXPECT_EQ(host().GetFileInfo("C:\\Data\\f.txt")->attributes & 0xFF, host::kAttrReadOnly);
}

TEST_F(Actions, ABackupThatCannotBeRestoredWaitsBesideItsTargetForTheReboot) {
  host().CreateFolder("C:\\Data");
  ASSERT_TRUE(WriteFile("C:\\Data\\f.txt", "previous"));
  TInstallFile* action = list().AddFileAction("C:\\Data\\f.txt", {}, true);
  ASSERT_NE(action, nullptr);
  const std::string backup = action->BackupFileName;
  EXPECT_EQ(backup.rfind(kBackupFolder, 0), 0u);
  EXPECT_EQ(backup.size(), std::string(kBackupFolder).size() + 8);
  ASSERT_TRUE(WriteFile("C:\\Data\\f.txt", "new"));

  faults.mutations = 0;
  faults.failAt = 2;  // the new file is deleted (1), writing the restored copy fails (2)
  list().RollbackAll();
  ASSERT_EQ(services.CallsStartingWith("error").size(), 1u);
  EXPECT_EQ(services.calls.back(), "error Cannot copy \"" + backup + "\" to \"C:\\Data\\f.txt\"");
  EXPECT_FALSE(Exists(backup));
  std::vector<std::string> kept;
  for (const auto& name : FilesIn("C:\\Data\\"))
    if (name != "f.txt") kept.push_back(name);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].substr(0, 2), "sx");
  EXPECT_EQ(ReadFile("C:\\Data\\" + kept[0]), "previous");
  EXPECT_EQ(PendingRenames(), std::string("\\??\\C:\\Data\\f.txt\0\0\\??\\C:\\Data\\", 31) + kept[0] +
                                  std::string("\0\\??\\C:\\Data\\f.txt\0\0", 20));
}

TEST_F(Actions, RemovalOfAFileInUseIsADeletionAtRebootThatRollbackWithdraws) {
  host().CreateFolder("C:\\Data");
  ASSERT_TRUE(WriteFile("C:\\Data\\gone.txt", "in use"));
  faults.inUse.insert("c:\\data\\gone.txt");
  TInstallFile* action = list().AddFileAction("C:\\Data\\gone.txt", {}, true, TFileChange::kRemove);
  ASSERT_NE(action, nullptr);
  EXPECT_TRUE(action->RenamePending);
  EXPECT_EQ(action->TmpFileName, "");
  EXPECT_EQ(FilesIn("C:\\Data\\"), std::vector<std::string>{"gone.txt"});  // no empty stand-in
  list().ScheduleRebootOperations();
  EXPECT_EQ(PendingRenames(), "\\??\\C:\\Data\\gone.txt" + std::string(3, '\0'));

  list().RollbackAll();
  EXPECT_EQ(PendingRenames(), "<none>");
  EXPECT_EQ(ReadFile("C:\\Data\\gone.txt"), "in use");
  EXPECT_TRUE(FilesIn(kBackupFolder).empty());
}

TEST_F(Actions, ReplacementStillWaitingAfterALoadIsWithdrawnNotTheTarget) {
  host().CreateFolder("C:\\Data");
  ASSERT_TRUE(WriteFile("C:\\Data\\busy.dll", "in use"));
  faults.inUse.insert("c:\\data\\busy.dll");
  TInstallFile* action = list().AddFileAction("C:\\Data\\busy.dll", TsxFlags{TsxFlag::reg_server}, true);
  ASSERT_NE(action, nullptr);
  ASSERT_TRUE(WriteFile(action->TmpFileName, "new"));
  const std::string tmp = action->TmpFileName;
  list().ScheduleRebootOperations();
  // Saved and loaded for a resume that comes before the reboot has happened.
  const std::string saved = list().SaveToString("installactions");
  list().Clear();
  list().LoadFromString(saved, "installactions");
  ASSERT_FALSE(static_cast<TInstallFile&>(list().Items(0)).RenamePending);
  list().RollbackAll();
  EXPECT_EQ(ReadFile("C:\\Data\\busy.dll"), "in use");
  EXPECT_FALSE(Exists(tmp));
  EXPECT_EQ(PendingRenames(), "<none>");
  EXPECT_TRUE(FilesIn(kBackupFolder).empty());
  EXPECT_TRUE(services.CallsStartingWith("error").empty());
  EXPECT_EQ(services.CallsStartingWith("register"), std::vector<std::string>{"register C:\\Data\\busy.dll"});
}

TEST_F(Actions, StagedFontUndoesOnlyItsStagedCopy) {
  host().CreateFolder("C:\\sxtemp\\fonts");
  ASSERT_TRUE(WriteFile("C:\\sxtemp\\fonts\\demo.ttf", "staged"));
  ASSERT_TRUE(WriteFile("C:\\windows\\Fonts\\demo.ttf", "registered before"));
  const std::string fontsKey = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\";
  ASSERT_TRUE(RegWriteString(fontsKey, "Demo (TrueType)", "demo.ttf"));
  auto& staged = list().AddActionOf<TInstallFile>();
  staged.FileName = "C:\\windows\\Fonts\\demo.ttf";
  staged.TmpFileName = "C:\\sxtemp\\fonts\\demo.ttf";
  staged.IsFont = true;
  staged.FontName = "Demo (TrueType)";
  EXPECT_TRUE(staged.IsStagedFont());

  list().RollbackAll();
  EXPECT_FALSE(Exists("C:\\sxtemp\\fonts\\demo.ttf"));
  EXPECT_EQ(ReadFile("C:\\windows\\Fonts\\demo.ttf"), "registered before");
  EXPECT_EQ(RegReadString(fontsKey, "Demo (TrueType)", ""), "demo.ttf");
  EXPECT_TRUE(services.CallsStartingWith("remove font").empty());
}

TEST_F(Actions, NewFontFileIsRemovedWithItsRegistration) {
  const std::string fontsKey = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\";
  TInstallFile* font = list().AddFileAction("C:\\windows\\Fonts\\new.ttf", TsxFlags{TsxFlag::reg_font}, true);
  ASSERT_NE(font, nullptr);
  font->FontName = "New (TrueType)";
  ASSERT_TRUE(WriteFile(font->FileName, "font"));
  ASSERT_TRUE(RegWriteString(fontsKey, "New (TrueType)", "new.ttf"));
  list().RollbackAll();
  EXPECT_FALSE(Exists("C:\\windows\\Fonts\\new.ttf"));
  EXPECT_FALSE(RegValueExists(fontsKey, "New (TrueType)"));
  EXPECT_EQ(services.CallsStartingWith("remove font"),
            std::vector<std::string>{"remove font C:\\windows\\Fonts\\new.ttf"});
}

TEST_F(Actions, ForceFoldersAndKeysRecordOnlyWhatTheyCreate) {
  host().CreateFolder("C:\\A");
  list().ForceFolders("C:\\A\\B\\C\\", true, false);
  list().ForceFolders("C:\\", true);
  list().ForceFolders("", true);
  list().ForceFolders("C:\\A\\X\\", false);
  ASSERT_EQ(list().Count(), 2);
  auto& outer = static_cast<TInstallFolder&>(list().Items(0));
  EXPECT_EQ(outer.Folder, "C:\\A\\B");
  EXPECT_FALSE(outer.Log);  // a dont_log item's folders are recorded for rollback, not logged
  EXPECT_EQ(static_cast<TInstallFolder&>(list().Items(1)).Folder, "C:\\A\\B\\C");
  EXPECT_TRUE(FolderExistsAt("C:\\A\\X"));

  EXPECT_EQ(RegKeyParent("HKCU\\Software\\'a\\b'"), "HKCU\\Software");
  EXPECT_EQ(RegKeyParent("HKCU\\Software\\\"x\\y\"\\z"), "HKCU\\Software\\\"x\\y\"");
  EXPECT_EQ(RegKeyParent("HKCU\\it's\\z"), "HKCU\\it's");
  EXPECT_EQ(RegKeyParent("HKCU"), "");
  list().Clear();
  list().ForceRegKeys("HKCU\\Software\\SxNew\\'a\\b'\\", true);
  std::vector<std::string> keys;
  for (auto& action : list()) keys.push_back(static_cast<TInstallRegKey&>(action).Key);
  EXPECT_EQ(keys, (std::vector<std::string>{"HKCU\\Software\\SxNew", "HKCU\\Software\\SxNew\\'a",
                                            "HKCU\\Software\\SxNew\\'a\\b'"}));
  list().RollbackAll();
  EXPECT_FALSE(RegKeyExists("HKCU\\Software\\SxNew"));
  // Recreating what an undo needs records nothing.
  list().AddFileAction("C:\\A\\B\\f.txt", {}, true);
  EXPECT_EQ(list().Count(), 1);
}

TEST_F(Actions, FindFileActionFindsTheFirstIgnoringCaseThroughEveryChangeOfTheList) {
  auto add = [&](const std::string& path) -> TInstallFile& {
    auto& file = list().AddActionOf<TInstallFile>();
    file.FileName = path;
    return file;
  };
  TInstallFile& first = add("C:\\App\\a.dll");
  list().AddActionOf<TInstallFolder>().Folder = "C:\\App";
  TInstallFile& second = add("C:\\APP\\A.DLL");
  TInstallFile& other = add("C:\\App\\b.dll");
  EXPECT_EQ(list().FindFileAction("c:\\app\\A.dll"), &first);
  EXPECT_EQ(list().FindFileAction("C:\\App\\b.dll"), &other);
  EXPECT_EQ(list().FindFileAction("C:\\App\\c.dll"), nullptr);
  list().Delete(0);  // the first goes: the next of the name is found
  EXPECT_EQ(list().FindFileAction("C:\\App\\a.dll"), &second);
  TInstallFile& later = add("C:\\App\\later.dll");
  EXPECT_EQ(list().FindFileAction("C:\\App\\LATER.dll"), &later);
  list().RollbackAll();
  EXPECT_EQ(list().FindFileAction("C:\\App\\a.dll"), nullptr);
}

TEST_F(Actions, UninstallLogListsOnlyLoggedNewChanges) {
  SetLogFileName("C:\\install.log");
  EnableLog();
  auto& logged = list().AddActionOf<TInstallFile>();
  logged.FileName = "C:\\App\\a.dll";
  logged.IsServer = true;
  auto& replacedSystemFile = list().AddActionOf<TInstallFile>();
  replacedSystemFile.FileName = "C:\\windows\\system32\\shared.dll";
  replacedSystemFile.Existed = true;
  auto& unlogged = list().AddActionOf<TInstallFile>();
  unlogged.FileName = "C:\\App\\install.log";
  unlogged.Log = false;
  list().WriteUninstallLog();
  ASSERT_TRUE(IniCloseAll());
  EXPECT_EQ(ReadFile("C:\\install.log"), "[CopyFiles]\r\nC:\\App\\a.dll=\r\n\r\n[RegServers]\r\nC:\\App\\a.dll=\r\n\r\n");
}

TEST_F(Actions, SavedListLoadsBackWithEveryPublishedPropertyAndLog) {
  auto& file = list().AddActionOf<TInstallFile>();
  file.FileName = "C:\\App\\a.dll";
  file.BackupFileName = "C:\\sxtemp\\backup\\ABCDEFGH";
  file.TmpFileName = "C:\\App\\sx1.tmp";
  file.FontName = "F";
  file.IsServer = file.IsFont = file.SharedFile = true;
  file.Existed = true;
  file.RenamePending = true;
  auto& reg = list().AddActionOf<TInstallReg>();
  reg.Key = "HKLM\\Software\\X";
  reg.Param = "p";
  reg.OldType = 11 | 0x40000000;
  reg.OldValue = "0102";
  reg.Log = false;
  auto& ini = list().AddActionOf<TInstallIni>();
  ini.IniFile = "C:\\a.ini";
  ini.Section = "S";
  ini.Param = "K";
  ini.OldValue = "old";
  ini.DontRollback = true;
  list().AddActionOf<TInstallShortcut>().LinkFile = "C:\\l.lnk";
  list().AddActionOf<TInstallFolder>().Folder = "C:\\App";
  list().AddActionOf<TInstallRegKey>().Key = "HKCU\\Software\\'a\\b'";
  auto& env = list().AddActionOf<TInstallEnvVar>();
  env.Name = "PATH";
  env.Value = "C:\\App";
  env.OldValue = "C:\\windows";
  env.AddPath = env.SysVar = true;

  const std::string text = list().SaveToString("installactions");
  EXPECT_NE(text.find("<installactions>"), std::string::npos);
  EXPECT_NE(text.find("log=\"0\""), std::string::npos);
  EXPECT_EQ(text.find("renamepending"), std::string::npos);
  TInstallActions loaded;
  loaded.LoadFromString(text, "installactions");
  EXPECT_EQ(loaded.SaveToString("installactions"), text);
  ASSERT_EQ(loaded.Count(), 7);
  auto& file2 = static_cast<TInstallFile&>(loaded.Items(0));
  EXPECT_TRUE(file2.Log);
  EXPECT_TRUE(file2.Existed && file2.IsServer && file2.IsFont && file2.SharedFile);
  EXPECT_FALSE(file2.RenamePending);
  EXPECT_EQ(file2.TmpFileName, "C:\\App\\sx1.tmp");
  EXPECT_FALSE(loaded.Items(1).Log);
  EXPECT_EQ(static_cast<TInstallReg&>(loaded.Items(1)).OldType, 11 | 0x40000000);
  EXPECT_TRUE(loaded.Items(2).DontRollback);
  EXPECT_EQ(&loaded.Items(6).ClassInfo(), &TInstallEnvVar::StaticClass());

  // A foreign or damaged document: unknown tags give nothing, broken syntax fails clearly.
  TInstallActions foreign;
  foreign.LoadFromString("<installactions><files filename=\"x\"/><bogus/><folder folder=\"C:\\f\"/>"
                         "<reg key=\"k\" oldtype=\"zz\"/></installactions>", "installactions");
  ASSERT_EQ(foreign.Count(), 2);
  EXPECT_EQ(static_cast<TInstallFolder&>(foreign.Items(0)).Folder, "C:\\f");
  for (std::string cut : {"<installactions><file filename=\"x", "<installactions><file filename=\"C:\\a\"/><fol",
                          "<installactions><reg oldtype=\"4\">"}) {
    try {
      foreign.LoadFromString(cut, "installactions");
      EXPECT_LE(foreign.Count(), 1) << cut;
    } catch (const TXMLParserError&) {
      // a clear refusal is as good as a partial load
    }
  }
}

}  // namespace
}  // namespace sx::test
