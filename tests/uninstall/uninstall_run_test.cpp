// The uninstaller against logs written by the engine's own log writer: a silent uninstallation
// leaves the machine as it was before the product, asking first (No changes nothing), shared
// files that stay while counted, and damaged logs that change nothing.
#include <gtest/gtest.h>

#include "tests/uninstall/uninstall_fixture.h"
#include "uninstall/uninstall_run.h"
#include "util/self_delete.h"

namespace sx::test {
namespace {

class Uninstall : public UninstallFixture {
 protected:
  std::string Leftovers(const TUninstallOutcome& outcome) {
    std::string text;
    for (const std::string& line : outcome.leftovers) text += line + "\n";
    return text;
  }
  // The batch that removes the uninstaller may still be deleting itself: wait for the picture.
  bool ComesBackTo(const MachineSnapshot& before) {
    for (int i = 0; i < 100; ++i) {
      if (SnapshotDifference(before, Snapshot()).empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << SnapshotDifference(before, Snapshot());
    return false;
  }
};

TEST_F(Uninstall, SilentUninstallationLeavesTheMachineAsBeforeTheProduct) {
  PrepareMachine();
  const MachineSnapshot before = Snapshot();
  InstallProduct();
  WriteInstallLog();
  ASSERT_NE(SnapshotDifference(before, Snapshot()), "");

  TUninstallOptions options;
  options.silent = true;
  options.selfPath = "C:\\App\\Uninstall.exe";
  TUninstallOutcome outcome = RunUninstall(kLog, options);
  EXPECT_EQ(outcome.result, TUninstallResult::kDone) << Leftovers(outcome);
  EXPECT_EQ(UninstallExitCode(outcome), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  // The program before ran while the files were there, the one after once they were gone.
  EXPECT_EQ(Marks(), "pre-saw-files\npost-saw-removal\n");
  EXPECT_EQ(ServerMarks(), "unregistered\n");
  EXPECT_EQ(boxes.fontCalls, (std::vector<std::string>{"remove C:\\windows\\Fonts\\demo.ttf", "broadcast"}));
  // The rewritten INI file keeps only what was there before.
  EXPECT_EQ(ReadFile(kOtherIni), "[Keep]\r\na=1\r\n\r\n");
  EXPECT_EQ(RegReadInteger(kSharedDlls, "C:\\Common\\shared.dll", -1), 1);
  EXPECT_EQ(RegReadString(kSystemEnv, "PATH", ""), "C:\\windows;C:\\tools");
  EXPECT_EQ(RegValueType(kSystemEnv, "PATH"), host::kRegExpandSz);

  // The running uninstaller is left for the batch that removes it, and its folder, after it ends.
  EXPECT_TRUE(outcome.removeSelf);
  EXPECT_EQ(outcome.foldersAfterSelf, std::vector<std::string>{"C:\\App"});
  EXPECT_TRUE(Exists("C:\\App\\Uninstall.exe"));
  ASSERT_TRUE(StartSelfDeletingBatch(options.selfPath, outcome.foldersAfterSelf));
  EXPECT_TRUE(WaitUntilGone("C:\\App"));
  EXPECT_TRUE(ComesBackTo(before));
}

TEST_F(Uninstall, AsksInTheLogsLanguageAndNoChangesNothing) {
  PrepareMachine();
  InstallProduct();
  WriteInstallLog();
  const MachineSnapshot installed = Snapshot();

  boxes.answers = {host::kIdNo};
  TUninstallOutcome outcome = RunUninstall(kLog, {});
  EXPECT_EQ(outcome.result, TUninstallResult::kCancelled);
  EXPECT_NE(UninstallExitCode(outcome), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  // The texts come from the language file's Uninstall.Messages; "%s" is the display name.
  EXPECT_EQ(boxes.boxes[0], "Demo removal: Remove Demo Product now?\r\nAll of it?");
  EXPECT_EQ(SnapshotDifference(installed, Snapshot()), "");
  EXPECT_EQ(Marks(), "<missing>");
  EXPECT_EQ(ServerMarks(), "<missing>");

  boxes.boxes.clear();
  boxes.answers = {host::kIdYes};
  outcome = RunUninstall(kLog, {});
  EXPECT_EQ(outcome.result, TUninstallResult::kDone) << Leftovers(outcome);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1], "Demo removal: Demo Product was removed from your computer.");
  // Not the running program: the uninstaller file goes with the rest, and so does its folder.
  EXPECT_FALSE(outcome.removeSelf);
  EXPECT_FALSE(Exists("C:\\App"));
  EXPECT_FALSE(Exists("C:\\windows\\demo.ini"));
  // A file the machine had stays, although the product's entry was all it held.
  EXPECT_TRUE(Exists(kEmptyIni));
  EXPECT_EQ(ReadFile(kEmptyIni), "");
  EXPECT_FALSE(RegKeyExists(kEntry));
  EXPECT_FALSE(RegKeyExists("HKLM\\Software\\Demo"));
  EXPECT_EQ(RegReadString("HKLM\\Software\\Shared", "Other", ""), "theirs");
  EXPECT_FALSE(RegValueExists("HKLM\\Software\\Shared", "Ours"));
  EXPECT_FALSE(RegValueExists("HKCU\\Environment", "DEMO"));
  EXPECT_FALSE(RegValueExists(kFonts, "Demo (TrueType)"));
  EXPECT_TRUE(RegValueExists(kFonts, "Arial (TrueType)"));
}

TEST_F(Uninstall, SharedFilesStayWhileAnotherProductCountsOnThem) {
  PrepareMachine();
  InstallProduct(2);  // a second product in C:\App counts on the same uninstaller
  WriteInstallLog();
  const std::string other = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{OTHER}";
  ASSERT_TRUE(RegWriteString(other, "DisplayName", "Other Product"));
  ASSERT_TRUE(RegWriteString(other + "\\Sub\\Deeper", "Kept", "1"));
  // A hand-edited log that names the whole list of entries, or a key below another product's
  // entry, never takes what is not this product's.
  ASSERT_TRUE(IniWriteString(kLog, "CreateKeys", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\\\", ""));
  ASSERT_TRUE(IniWriteString(kLog, "CreateKeys", other + "\\Sub", ""));
  ASSERT_TRUE(IniCloseAll());
  ASSERT_TRUE(WriteFile("C:\\App\\user notes.txt", "made by the user"));

  TUninstallOptions options;
  options.silent = true;
  options.selfPath = "C:\\App\\Uninstall.exe";
  TUninstallOutcome outcome = RunUninstall(kLog, options);
  EXPECT_EQ(outcome.result, TUninstallResult::kDone) << Leftovers(outcome);
  EXPECT_FALSE(outcome.removeSelf);
  EXPECT_EQ(ReadFile("C:\\App\\Uninstall.exe"), "uninstaller");
  EXPECT_EQ(RegReadInteger(kSharedDlls, "C:\\App\\Uninstall.exe", -1), 1);
  EXPECT_EQ(ReadFile("C:\\Common\\shared.dll"), "shared library");
  EXPECT_EQ(RegReadInteger(kSharedDlls, "C:\\Common\\shared.dll", -1), 1);
  // Folders that still hold something stay; the empty ones go.
  EXPECT_TRUE(Exists("C:\\App\\user notes.txt"));
  EXPECT_FALSE(Exists("C:\\App\\bin"));
  EXPECT_FALSE(Exists("C:\\App\\readme.txt"));
  EXPECT_FALSE(Exists("C:\\App\\install.log"));
  EXPECT_FALSE(Exists("C:\\App\\install.sss"));
  EXPECT_FALSE(Exists("C:\\Menu"));
  EXPECT_EQ(RegReadString(other, "DisplayName", ""), "Other Product");
  EXPECT_TRUE(RegValueExists(other + "\\Sub\\Deeper", "Kept"));
  EXPECT_FALSE(RegKeyExists(kEntry));
}

TEST_F(Uninstall, AStoppedRunKeepsItsLogAndTheSecondRunFinishesWithoutReleasingCountsTwice) {
  PrepareMachine();
  InstallProduct();
  WriteInstallLog();
  TUninstallOptions options;
  options.silent = true;
  options.selfPath = "C:\\App\\Uninstall.exe";
  // The font's registration cannot be deleted: the run goes on, then keeps the log and the entry.
  boxes.refusedValues = {"Demo (TrueType)"};
  TUninstallOutcome outcome = RunUninstall(kLog, options);
  EXPECT_EQ(outcome.result, TUninstallResult::kIncomplete);
  EXPECT_EQ(UninstallExitCode(outcome), -1);
  EXPECT_EQ(outcome.leftovers, std::vector<std::string>{"the font registration \"Demo (TrueType)\" stays"});
  EXPECT_EQ(boxes.boxes, std::vector<std::string>{"Demo removal: Demo Product could not be removed completely. Run the "
                                                  "uninstallation again to remove the rest; this stays for now:\r\n"
                                                  "the font registration \"Demo (TrueType)\" stays"});
  EXPECT_FALSE(outcome.removeSelf);
  EXPECT_TRUE(RegValueExists(kFonts, "Demo (TrueType)"));
  EXPECT_TRUE(Exists(kLog));
  EXPECT_TRUE(RegKeyExists(kEntry));
  // The shared counts were released once, and the log says so.
  EXPECT_EQ(RegReadInteger(kSharedDlls, "C:\\Common\\shared.dll", -1), 1);
  EXPECT_FALSE(RegValueExists(kSharedDlls, "C:\\App\\Uninstall.exe"));
  EXPECT_EQ(IniReadString(kLog, "SharedReleased", "C:\\Common\\shared.dll", ""), "1");
  EXPECT_EQ(IniReadString(kLog, "SharedReleased", "C:\\App\\Uninstall.exe", ""), "0");
  ASSERT_TRUE(IniCloseAll());

  boxes.refusedValues.clear();
  outcome = RunUninstall(kLog, options);
  EXPECT_EQ(outcome.result, TUninstallResult::kDone) << Leftovers(outcome);
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_FALSE(RegValueExists(kFonts, "Demo (TrueType)"));
  // The other product's count stays, and so does its file; the uninstaller, no longer counted,
  // goes after it has ended.
  EXPECT_EQ(RegReadInteger(kSharedDlls, "C:\\Common\\shared.dll", -1), 1);
  EXPECT_EQ(ReadFile("C:\\Common\\shared.dll"), "shared library");
  EXPECT_TRUE(outcome.removeSelf);
  EXPECT_FALSE(Exists(kLog));
  EXPECT_FALSE(Exists(std::string(kLog) + ".sxjournal"));
  EXPECT_FALSE(RegKeyExists(kEntry));
}

TEST_F(Uninstall, AFileInUseGoesAtTheNextRestartAndTheUserIsTold) {
  PrepareMachine();
  InstallProduct();
  WriteInstallLog();
  boxes.inUse = {"C:\\App\\readme.txt"};
  boxes.answers = {host::kIdYes};
  TUninstallOutcome outcome = RunUninstall(kLog, {});
  EXPECT_EQ(outcome.result, TUninstallResult::kIncomplete);
  EXPECT_NE(UninstallExitCode(outcome), 0);
  // The folder that holds the file goes with it.
  EXPECT_EQ(outcome.leftovers, (std::vector<std::string>{"C:\\App\\readme.txt will be removed at the next restart",
                                                         "C:\\App will be removed at the next restart"}));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1],
            "Demo removal: Demo Product was removed, except for:\r\nC:\\App\\readme.txt will be removed at the next "
            "restart\r\nC:\\App will be removed at the next restart");
  std::vector<uint8_t> pending;
  ASSERT_TRUE(RegReadBinary("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                            "PendingFileRenameOperations", pending));
  const std::string operations(pending.begin(), pending.end());
  EXPECT_NE(operations.find("C:\\App\\readme.txt"), std::string::npos);
  EXPECT_GT(operations.find(std::string("C:\\App\0", 7)), operations.find("C:\\App\\readme.txt")) << "the folder after its file";
  // Everything else went; the folder waits for the file.
  EXPECT_TRUE(Exists("C:\\App\\readme.txt"));
  EXPECT_FALSE(Exists("C:\\App\\bin"));
  EXPECT_FALSE(RegKeyExists(kEntry));
}

TEST_F(Uninstall, ADamagedLogIsRefusedAndChangesNothing) {
  PrepareMachine();
  InstallProduct();
  WriteInstallLog();
  const std::string good = ReadFile(kLog);
  struct Damage {
    std::string from, to, why;
  };
  const std::vector<Damage> damages = {
      {"C:\\App\\readme.txt=", "App\\readme.txt=",
       "the line \"App\\readme.txt=\" of the section [CopyFiles] does not name a full path"},
      {"HKLM\\Software\\Demo\\'Version'=", "Software\\Demo\\'Version'=", "is not a registry value"},
      {"HKLM\\Software\\Demo\\'Version'=", "HKLM\\Software\\Demo\\Version=", "is not a registry value"},
      {"HKLM\\Software\\Demo=", "HKLM=", "is not a registry key"},
      {"'C:\\windows\\other.ini','New','c'=", "'C:\\windows\\other.ini','New'=", "is not an INI entry"},
      {"DEMO=0,", "DEMO=2,", "is not an environment change"},
      {",1,'',1,1", ",1,'',yes,1", "is not a program to run"},
      {"[Strings]", "[Stringz]", "it is no install log"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.to);
    std::string text = good;
    size_t at = text.find(damage.from);
    ASSERT_NE(at, std::string::npos) << good;
    text.replace(at, damage.from.size(), damage.to);
    ASSERT_TRUE(WriteFile(kLog, text));
    const MachineSnapshot installed = Snapshot();
    boxes.boxes.clear();
    TUninstallOutcome outcome = RunUninstall(kLog, {true, "C:\\App\\Uninstall.exe"});
    EXPECT_EQ(outcome.result, TUninstallResult::kRefused);
    EXPECT_FALSE(outcome.removeSelf);
    ASSERT_EQ(boxes.boxes.size(), 1u);  // told even when silent
    EXPECT_NE(boxes.boxes[0].find("Uninstall: The uninstall log \"C:\\App\\install.log\" cannot be read: "),
              std::string::npos)
        << boxes.boxes[0];
    EXPECT_NE(boxes.boxes[0].find(damage.why), std::string::npos) << boxes.boxes[0];
    EXPECT_NE(boxes.boxes[0].find("Nothing was changed."), std::string::npos);
    EXPECT_EQ(SnapshotDifference(installed, Snapshot()), "");
  }
  boxes.boxes.clear();
  EXPECT_EQ(RunUninstall("C:\\App\\missing.log", {}).result, TUninstallResult::kRefused);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].find("cannot be read: the file does not exist"), std::string::npos);
  EXPECT_EQ(Marks(), "<missing>");
  EXPECT_EQ(ServerMarks(), "<missing>");
}

TEST_F(Uninstall, AFailingProgramBeforeUninstallingStopsEverything) {
  PrepareMachine();
  InstallProduct();
  WriteInstallLog();
  ASSERT_TRUE(WriteFile(std::string(kScripts) + "pre.exe", "#!/bin/sh\nexit 3\n"));
  const MachineSnapshot installed = Snapshot();
  TUninstallOutcome outcome = RunUninstall(kLog, {true, ""});
  EXPECT_EQ(outcome.result, TUninstallResult::kStopped);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].find("pre.exe\" ended with the code 3"), std::string::npos) << boxes.boxes[0];
  EXPECT_EQ(SnapshotDifference(installed, Snapshot()), "");
}

}  // namespace
}  // namespace sx::test
