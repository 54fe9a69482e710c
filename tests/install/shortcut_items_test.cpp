// The shortcut phase and the shell links the machine writes: every field as lnkinfo (liblnk)
// reads it, non-ASCII texts on 1252 and 1251 machines, quoted fields, replacing a link and
// rolling back, a link that cannot be saved, removals and dont_overwrite.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "install/shortcut_items.h"
#include "platform/shell_link.h"
#include "tests/install/install_fixture.h"
#include "tests/install/item_phase_support.h"

namespace sx::test {
namespace {

// Runs lnkinfo -v on the machine's file; its output.
std::string LnkInfo(TempMachine& machine, const std::string& relative) {
  std::string output;
  EXPECT_EQ(RunCommand("lnkinfo -v '" + machine.HostPath(relative) + "' 2>&1", &output), 0) << output;
  return output;
}

uint32_t LittleEndian(const std::string& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

class Shortcuts : public InstallFixture {
 protected:
  Shortcuts() {
    items.database->TempBackupPath = kBackupFolder;
    component = &items.database->Components->AddNew();
    component->SetID("Main");
  }
  TsxShortcut& AddShortcut(std::string name, std::string cmdLine, TsxFlags flags = {},
                           TsxInstallAction action = TsxInstallAction::add) {
    TsxShortcut& item = component->Shortcuts->AddNew();
    item.Name = std::move(name);
    item.CmdLine = std::move(cmdLine);
    item.Flags = flags;
    item.Action = action;
    return item;
  }
  bool Install() { return InstallShortcutItems(items.database.get(), *component); }

  ItemServices items;
  TsxComponent* component = nullptr;
};

TEST_F(Shortcuts, EveryFieldReachesTheLinkFile) {
  ASSERT_TRUE(host().CreateFolder("C:\\Program Files\\Demo App"));
  ASSERT_TRUE(WriteFile("C:\\Program Files\\Demo App\\demo.exe", "program bytes"));
  WriteVariable(items.database.get(), "App", "C:\\Program Files\\Demo App");
  auto& item = AddShortcut("C:\\Menu\\Demo", "%App%\\demo.exe");
  item.Arg = "--open \"my file.txt\"";
  item.WorkDir = "%App%";
  item.ShowCmd = TsxShowCmd::scMax;
  item.IconFile = "%App%\\demo.exe";
  item.Icon = 2;
  item.Hotkey = 0x10644;  // high bits dropped: Ctrl+Alt+D
  item.Description = "Starts the demo";

  ASSERT_TRUE(Install());
  const std::string info = LnkInfo(machine, "drive_c/Menu/Demo.lnk");
  for (const char* line : {"Local path\t\t\t: C:\\Program Files\\Demo App\\demo.exe",
                           "Description\t\t\t: Starts the demo",
                           "Working directory\t\t: C:\\Program Files\\Demo App",
                           "Command line arguments\t\t: --open \"my file.txt\"",
                           "Icon location\t\t\t: C:\\Program Files\\Demo App\\demo.exe",
                           "Icon index\t\t\t: 2", "File size\t\t\t: 13 bytes", "Drive type\t\t\t: Fixed (3)",
                           "Number of items\t\t: 5", "Shell folder name\t: My Computer", "Volume name\t\t: C:\\",
                           "Name\t\t\t: PROGRA~1", "Name\t\t\t: DEMOAP~1", "Name\t\t\t: DEMO.EXE",
                           "0x32 (File entry: File)"})
    EXPECT_NE(info.find(line), std::string::npos) << line << "\n" << info;
  // lnkinfo prints the file size for these two; the header has them at fixed offsets.
  const std::string bytes = ReadFile("C:\\Menu\\Demo.lnk");
  ASSERT_GE(bytes.size(), 76u);
  EXPECT_EQ(LittleEndian(bytes, 0x3C, 4), 3u);       // SW_SHOWMAXIMIZED
  EXPECT_EQ(LittleEndian(bytes, 0x40, 2), 0x0644u);  // the hot key's low 16 bits
  EXPECT_EQ(LittleEndian(bytes, 0x38, 4), 2u);
  // Recorded: the folder made for it, the link's own (unlogged) file action, the shortcut.
  ASSERT_EQ(list().Count(), 3);
  EXPECT_EQ(dynamic_cast<TInstallFolder&>(list().Items(0)).Folder, "C:\\Menu");
  EXPECT_FALSE(list().Items(1).Log);
  EXPECT_EQ(dynamic_cast<TInstallShortcut&>(list().Items(2)).LinkFile, "C:\\Menu\\Demo.lnk");
  // The record offered to the plug-ins carried the show code 2 and the whole hot key.
  EXPECT_EQ(items.CallsStartingWith("event 1"), (std::vector<std::string>{"event 12 kind 3", "event 13 kind 3 all"}));
}

TEST_F(Shortcuts, AFolderTargetEndsInADirectoryItemAndAFailedBackupChangesNothing) {
  ASSERT_TRUE(host().CreateFolder("C:\\Data"));
  AddShortcut("C:\\Menu\\Data", "C:\\Data");
  ASSERT_TRUE(Install());
  const std::string info = LnkInfo(machine, "drive_c/Menu/Data.lnk");
  EXPECT_NE(info.find("Name\t\t\t: DATA"), std::string::npos) << info;
  EXPECT_EQ(info.find("0x32 (File entry: File)"), std::string::npos) << info;
  EXPECT_NE(info.find("File attribute flags\t\t: 0x00000010"), std::string::npos) << info;

  // The old link cannot be backed up: the message, and the old link stays as it was.
  component->Shortcuts->Clear();
  list().Clear();
  ASSERT_TRUE(WriteFile("C:\\Menu\\Old.lnk", "old link"));
  AddShortcut("C:\\Menu\\Old", "C:\\Data");
  faults.mutations = 0;
  faults.failAt = 1;  // the backup copy
  ASSERT_TRUE(Install());
  EXPECT_EQ(ReadFile("C:\\Menu\\Old.lnk"), "old link");
  EXPECT_EQ(items.CallsStartingWith("box"),
            (std::vector<std::string>{"box Error: Error creating shortcut \"C:\\Menu\\Old.lnk\". style 16"}));
  EXPECT_EQ(list().Count(), 0);
}

TEST_F(Shortcuts, NonAsciiTextsAreStoredInUnicodeFromTheMachinesCodePage) {
  struct Case {
    const char* settings;
    const char* ansi;   // "Caf\xE9" in 1252, "\xCF\xF0\xE8" (Pri) in 1251
    const char* utf8;
  };
  for (const Case& c : {Case{"", "Caf\xE9", "Caf\xC3\xA9"},
                        Case{"[Locale]\nSystem=RUS\n", "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8"}}) {
    TempMachine local(c.settings);
    host::SetCurrentHost(&local.host());
    TqvShellLink link;
    link.Target = std::string("C:\\") + c.ansi + ".txt";
    link.Description = std::string("\"") + c.ansi + " \"\"quoted\"\"\"";  // quotes removed, doubled ones single
    link.Arguments = "\"kept as is\"";
    ASSERT_TRUE(link.SaveTo(std::string("C:\\") + c.ansi + ".lnk"));
    const std::string info = LnkInfo(local, std::string("drive_c/") + c.utf8 + ".lnk");
    EXPECT_NE(info.find(std::string("Description\t\t\t: ") + c.utf8 + " \"quoted\"\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Command line arguments\t\t: \"kept as is\""), std::string::npos) << info;
    host::SetCurrentHost(&faults);
  }
}

TEST_F(Shortcuts, AReplacedLinkIsRestoredByRollbackAndAFailedSaveKeepsTheOldOne) {
  ASSERT_TRUE(host().CreateFolder("C:\\Menu"));
  ASSERT_TRUE(WriteFile("C:\\Menu\\Old.lnk", "the old link"));
  ASSERT_TRUE(WriteFile("C:\\Menu\\Keep.lnk", "kept"));
  ASSERT_TRUE(WriteFile("C:\\Menu\\Gone.lnk", "removed"));
  const MachineSnapshot before = Snapshot();
  AddShortcut("C:\\Menu\\Old", "C:\\new.exe");
  AddShortcut("C:\\Menu\\Keep", "C:\\other.exe", TsxFlags{TsxFlag::dont_overwrite});
  AddShortcut("C:\\Menu\\Gone", "", {}, TsxInstallAction::remove);
  AddShortcut("C:\\Menu\\Huge", "C:\\x.exe").Description = std::string(70000, 'd');
  AddShortcut("relative", "C:\\x.exe");

  ASSERT_TRUE(Install());  // failed links never fail the phase
  EXPECT_NE(ReadFile("C:\\Menu\\Old.lnk").substr(0, 4), "the ");
  EXPECT_EQ(ReadFile("C:\\Menu\\Keep.lnk"), "kept");
  EXPECT_FALSE(Exists("C:\\Menu\\Gone.lnk"));
  EXPECT_FALSE(Exists("C:\\Menu\\Huge.lnk"));
  EXPECT_EQ(items.CallsStartingWith("box"),
            (std::vector<std::string>{"box Error: Error creating shortcut \"C:\\Menu\\Huge.lnk\". style 16",
                                      "box Error: Error creating shortcut \"relative.lnk\". style 16"}));
  // dont_overwrite on an existing link: no events at all.
  EXPECT_EQ(items.CallsStartingWith("event 12").size(), 4u);

  // A text too long for the format fails the save and leaves an existing link whole.
  component->Shortcuts->Clear();
  items.calls.clear();
  AddShortcut("C:\\Menu\\Keep", "C:\\x.exe").Description = std::string(70000, 'd');
  ASSERT_TRUE(Install());
  EXPECT_EQ(ReadFile("C:\\Menu\\Keep.lnk"), "kept");
  EXPECT_EQ(items.CallsStartingWith("box").size(), 1u);

  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

}  // namespace
}  // namespace sx::test
