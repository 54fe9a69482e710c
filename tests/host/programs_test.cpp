// Starting programs on the machine: Windows command-line rules, working folders, exit codes,
// programs without an execute bit, documents through associations, the trace line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "host/posix/command_line.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineSplitting, FollowsWindowsQuotingRules) {
  EXPECT_EQ(SplitWindowsCommandLine("\"C:\\Program Files\\a.exe\" x \"y z\""),
            (Args{"C:\\Program Files\\a.exe", "x", "y z"}));
  EXPECT_EQ(SplitWindowsCommandLine("  prog  a\\\\b  c\\\"d \"e\\\\\" f"),
            (Args{"prog", "a\\\\b", "c\"d", "e\\", "f"}));
  EXPECT_EQ(SplitWindowsCommandLine("p \"a\"\"b\" \"\""), (Args{"p", "a\"b", ""}));
  EXPECT_EQ(SplitWindowsCommandLine("C:\\dir\\\"x"), (Args{"C:\\dir\\\"x"}));  // no rules in the name
  EXPECT_TRUE(SplitWindowsCommandLine("   ").empty());
}

TEST(Programs, ScriptRunsInItsWorkingFolderAndReturnsItsExitCode) {
  test::TempMachine machine;
  auto& host = machine.host();
  // Written as a setup would extract it: no execute bit.
  test::WriteHostFile(machine.HostPath("drive_c/tools/write.bat"),
                      "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > out.txt\nexit 3\n");
  ASSERT_TRUE(host.CreateFolder("C:\\work"));
  auto process = host.CreateProcess("C:\\TOOLS\\write.bat",
                                    "\"C:\\tools\\write.bat\" \"two words\" plain", "C:\\work", 1);
  ASSERT_TRUE(process) << host.LastError();
  ASSERT_TRUE(process->Wait(0xFFFFFFFF));
  EXPECT_EQ(process->ExitCode(), 3u);
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/work/out.txt")), "two words|plain");

  EXPECT_FALSE(host.CreateProcess("C:\\tools\\none.exe", "none.exe", "", 1));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(host.CreateProcess("C:\\tools\\write.bat", "x", "C:\\no such folder", 1));
  EXPECT_EQ(host.LastError(), kErrorDirectory);
  test::WriteHostFile(machine.HostPath("drive_c/tools/data.exe"), "MZ not for this host");
  EXPECT_FALSE(host.CreateProcess("C:\\tools\\data.exe", "data.exe", "", 1));
  EXPECT_EQ(host.LastError(), kErrorBadExeFormat);
}

TEST(Programs, TraceLineGivesTheCommandLineAndTheShowCode) {
  const std::string trace =
      (std::filesystem::temp_directory_path() / ("sxtrace-programs-" + std::to_string(getpid()))).string();
  setenv("SX_TRACE", trace.c_str(), 1);
  {
    test::TempMachine machine;
    auto& host = machine.host();
    test::WriteHostFile(machine.HostPath("drive_c/quiet.exe"), "#!/bin/sh\nexit 0\n");
    auto hidden = host.CreateProcess("C:\\quiet.exe", "\"C:\\quiet.exe\" /s", "", 0);
    ASSERT_TRUE(hidden) << host.LastError();
    hidden->Wait(0xFFFFFFFF);
    auto minimized = host.ShellExecute("C:\\quiet.exe", "x", "", 7);
    ASSERT_TRUE(minimized) << host.LastError();
    minimized->Wait(0xFFFFFFFF);
  }
  unsetenv("SX_TRACE");
  const std::string text = test::ReadHostFile(trace);
  std::filesystem::remove(trace);
  EXPECT_EQ(text, "process \"C:\\quiet.exe\" /s show=0\nprocess \"C:\\quiet.exe\" x show=7\n");
}

TEST(Programs, WaitTimesOutWhileTheProgramRuns) {
  test::TempMachine machine;
  auto& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/slow.exe"), "#!/bin/sh\nsleep 5\n");
  auto process = host.CreateProcess("C:\\slow.exe", "slow.exe", "", 1);
  ASSERT_TRUE(process);
  EXPECT_FALSE(process->Wait(20));
  EXPECT_EQ(process->ExitCode(), 259u);  // still active
}

TEST(Programs, DocumentsOpenThroughTheirAssociation) {
  test::TempMachine machine("[Associations]\n.txt=C:\\windows\\notepad.exe\n");
  auto& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/windows/notepad.exe"),
                      "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.txt\"\n");
  test::WriteHostFile(machine.HostPath("drive_c/readme.txt"), "hello");
  test::WriteHostFile(machine.HostPath("drive_c/picture.bmp"), "BM");
  auto process = host.ShellExecute("C:\\readme.txt", "", "", 1);
  ASSERT_TRUE(process) << host.LastError();
  ASSERT_TRUE(process->Wait(0xFFFFFFFF));
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/windows/opened.txt")), "C:\\readme.txt");
  EXPECT_FALSE(host.ShellExecute("C:\\picture.bmp", "", "", 1));
  EXPECT_EQ(host.LastError(), kErrorNoAssociation);
  EXPECT_FALSE(host.ShellExecute("C:\\absent.txt", "", "", 1));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
}

}  // namespace
}  // namespace sx::host

namespace sx::host {
namespace {

TEST(Libraries, LoadByWindowsNameAndLookUpSymbols) {
  test::TempMachine machine;
  auto& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/lib/probe.dll"), test::ReadHostFile(SX_PROBE_LIBRARY));
  auto library = host.LoadLibrary("C:\\LIB\\PROBE.DLL");
  ASSERT_TRUE(library) << host.LastError();
  auto answer = reinterpret_cast<int (*)()>(library->Symbol("ProbeAnswer"));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer(), 42);
  EXPECT_FALSE(library->Symbol("NoSuchExport"));
  EXPECT_EQ(host.LastError(), kErrorProcNotFound);
  EXPECT_FALSE(host.LoadLibrary("C:\\lib\\absent.dll"));
  EXPECT_EQ(host.LastError(), kErrorModNotFound);
  test::WriteHostFile(machine.HostPath("drive_c/lib/text.dll"), "not a library");
  EXPECT_FALSE(host.LoadLibrary("C:\\lib\\text.dll"));
  EXPECT_EQ(host.LastError(), kErrorBadExeFormat);
}

}  // namespace
}  // namespace sx::host
