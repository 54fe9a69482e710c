// Uninstall.exe itself, run as the uninstall entry runs it: it asks through the machine's message
// boxes (scripted by SX_MSGBOX_ANSWERS), removes the product, then itself and its folder; a log it
// cannot read ends it with 255 and a message, the machine untouched.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/uninstall/uninstall_fixture.h"

namespace sx::test {
namespace {

class UninstallProgram : public UninstallFixture {
 protected:
  // Puts the built uninstaller where the engine copies it; returns its host path.
  std::string PlaceUninstaller() {
    const std::string path = machine.HostPath("drive_c/App/Uninstall.exe");
    WriteHostFile(path, ReadHostFile(SX_UNINSTALLER));
    // Started from the shell here, as a user would; the machine's own starts add the bit.
    std::filesystem::permissions(path, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    return path;
  }
  int Run(const std::string& program, const std::string& arguments, const std::string& answers) {
    IniCloseAll();
    host::CurrentHost().RegFlush();
    const std::string command = "SX_MACHINE='" + machine.folder() + "' SX_TRACE='" + TracePath() +
                                "' SX_MSGBOX_ANSWERS=" + answers + " '" + program + "' " + arguments +
                                " </dev/null 2>/dev/null";
    int code = RunCommand(command);
    machine.Reopen();
    return code;
  }
  std::string TracePath() { return machine.folder() + "/trace.txt"; }
};

TEST_F(UninstallProgram, RemovesTheProductAfterAskingAndThenItself) {
  PrepareMachine();
  const MachineSnapshot before = Snapshot();
  InstallProduct();
  WriteInstallLog();
  const std::string program = PlaceUninstaller();

  EXPECT_EQ(Run(program, "'C:\\App\\install.log'", "IDYES,IDOK"), 0);
  const std::string trace = ReadHostFile(TracePath());
  EXPECT_NE(trace.find("messagebox title=\"Demo removal\" text=\"Remove Demo Product now?"), std::string::npos)
      << trace;
  EXPECT_NE(trace.find("answer=IDYES"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Demo Product was removed from your computer."), std::string::npos) << trace;
  EXPECT_EQ(Marks(), "pre-saw-files\npost-saw-removal\n");
  EXPECT_EQ(ServerMarks(), "unregistered\n");
  EXPECT_TRUE(WaitUntilGone("C:\\App"));
  std::string difference;
  for (int i = 0; i < 100 && !(difference = SnapshotDifference(before, Snapshot())).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(difference, "");
}

TEST_F(UninstallProgram, AnUnreadableLogEndsWithAMessageAndChangesNothing) {
  PrepareMachine();
  InstallProduct();
  ASSERT_TRUE(WriteFile(kLog, std::string("\x7f" "ELF\x02\x01\x01\0\0garbage", 16)));
  const std::string program = PlaceUninstaller();
  const MachineSnapshot installed = Snapshot();

  EXPECT_EQ(Run(program, "/s", ""), 255);  // without a log argument: install.log beside it
  const std::string trace = ReadHostFile(TracePath());
  // The trace escapes quotes and backslashes with a backslash.
  EXPECT_NE(trace.find("The uninstall log \\\"C:\\\\App\\\\install.log\\\" cannot be read: it is no install log"),
            std::string::npos)
      << trace;
  EXPECT_EQ(SnapshotDifference(installed, Snapshot()), "");
  EXPECT_EQ(Marks(), "<missing>");
}

}  // namespace
}  // namespace sx::test
