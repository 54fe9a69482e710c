// The Win32 host's own services, under Wine in the Windows build: programs started and waited
// for, shell execution, machine facts, scripted message boxes, real windows with their trace, and
// shell links written through the shell.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/host.h"
#include "host/machine.h"
#include "host/win32/win32_api.h"
#include "host/win32/win32_host_impl.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

std::string TraceFile() { return std::string(std::getenv("TEMP") ? std::getenv("TEMP") : "C:\\") + "\\sx-trace.log"; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Win32Host, ProgramsRunWithTheirCommandLineAndExitCode) {
  test::TempMachine machine;
  auto& host = machine.host();
  const std::string cmd = host.Facts().systemFolder + "\\cmd.exe";
  auto process = host.CreateProcess(cmd, "cmd.exe /c exit 7", "C:\\", 0);
  ASSERT_TRUE(process) << "error " << host.LastError();
  ASSERT_TRUE(process->Wait(60000));
  EXPECT_EQ(process->ExitCode(), 7u);

  // The working folder is the one given.
  ASSERT_TRUE(host.CreateFolder("C:\\sxwork"));
  auto writer = host.CreateProcess(cmd, "cmd.exe /c echo made> here.txt", "C:\\sxwork", 0);
  ASSERT_TRUE(writer);
  ASSERT_TRUE(writer->Wait(60000));
  EXPECT_TRUE(host.GetFileInfo("C:\\sxwork\\here.txt"));

  EXPECT_FALSE(host.CreateProcess("C:\\no such program.exe", "", "", 1));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);

  // A batch file opens through the shell as it would from Explorer.
  {
    std::ofstream("C:\\sxwork\\run.bat") << "@echo off\r\nexit /b 3\r\n";
  }
  auto shell = host.ShellExecute("C:\\sxwork\\run.bat", "", "C:\\sxwork", 0);
  ASSERT_TRUE(shell) << "error " << host.LastError();
  EXPECT_TRUE(shell->Wait(60000));
}

TEST(Win32Host, FactsComeFromTheSystem) {
  test::TempMachine machine;
  auto& host = machine.host();
  const MachineFacts& facts = host.Facts();
  EXPECT_EQ(facts.platform, OsPlatform::kWindowsNT);
  EXPECT_GE(facts.major, 5u);
  EXPECT_FALSE(facts.userName.empty());
  EXPECT_FALSE(facts.computerName.empty());
  EXPECT_NE(facts.userLocale.lcid, 0u);
  EXPECT_NE(facts.systemLocale.ansiCodePage, 0u);
  EXPECT_FALSE(facts.installedLocales.empty());
  EXPECT_FALSE(facts.decimalSeparator.empty());
  EXPECT_TRUE(host.GetFileInfo(facts.windowsFolder)->attributes & kAttrDirectory);
  EXPECT_TRUE(host.GetFileInfo(facts.systemFolder)->attributes & kAttrDirectory);
  EXPECT_EQ(host.GetEnv("windir").value_or(""), facts.windowsFolder);
  const std::string appData = host.ShellFolder(0x1A);  // CSIDL_APPDATA
  ASSERT_FALSE(appData.empty());
  EXPECT_TRUE(host.GetFileInfo(appData));
  EXPECT_EQ(host.MachineFolder(), "");
  EXPECT_EQ(host.MapPath("\\\\server\\share\\x"), std::nullopt);
  EXPECT_EQ(host.MapPath("C:\\x\\..\\y"), "C:\\y");
}

TEST(Win32Host, ScriptedMessageBoxesAnswerAndTrace) {
  const std::string trace = TraceFile();
  _putenv_s("SX_TRACE", trace.c_str());
  _putenv_s("SX_MSGBOX_ANSWERS", "IDNO,retry");
  test::TempMachine machine;
  auto& host = machine.host();
  EXPECT_EQ(host.MessageBox("Question", "Go on?", 0x24), kIdNo);
  EXPECT_EQ(host.MessageBox("Retry", "Again?", 0x5), kIdRetry);
  _putenv_s("SX_TRACE", "");
  _putenv_s("SX_MSGBOX_ANSWERS", "");
  EXPECT_EQ(ReadText(trace),
            "messagebox title=\"Question\" text=\"Go on?\" style=0x00000024 answer=IDNO\n"
            "messagebox title=\"Retry\" text=\"Again?\" style=0x00000005 answer=IDRETRY\n");
}

TEST(Win32Host, WindowsAreRealAndTraced) {
  const std::string trace = TraceFile() + ".windows";
  _putenv_s("SX_TRACE", trace.c_str());
  test::TempMachine machine;
  auto& host = machine.host();
  {
    auto dialog = host.CreateWindow({"DLG_PRESETUP", "Preparing", 0, 10, 20, 399, 80, "", {}});
    ASSERT_TRUE(dialog);
    EXPECT_NE(dialog->Handle(), 0);
    EXPECT_FALSE(dialog->Visible());
    dialog->Show();
    EXPECT_TRUE(dialog->Visible());
    dialog->SetProgress(40);
    dialog->SetProgress(40);  // no change, no line
    dialog->SetCaption("Still preparing");
    dialog->SetAlpha(200);
  }
  _putenv_s("SX_TRACE", "");
  const std::string text = ReadText(trace);
  EXPECT_NE(text.find("window create \"Preparing\" class=DLG_PRESETUP handle="), std::string::npos) << text;
  EXPECT_NE(text.find(" owner=0 x=10 y=20 w=399 h=80\n"), std::string::npos) << text;
  EXPECT_NE(text.find("window show \"Preparing\"\nwindow progress \"Preparing\" 40\n"
                      "window caption \"Preparing\" text=\"Still preparing\"\n"
                      "window alpha \"Preparing\" 200\nwindow close \"Preparing\"\n"),
            std::string::npos)
      << text;
}

TEST(Win32Host, ShellLinksAreWrittenByTheShell) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.CreateFolder("C:\\sxlinks"));
  { std::ofstream("C:\\sxlinks\\target.txt") << "x"; }
  ShellLinkData link;
  link.target = "C:\\sxlinks\\target.txt";
  link.arguments = "/a";
  link.description = "A test link";
  link.workingDir = "C:\\sxlinks";
  ASSERT_TRUE(host.SaveShellLink("C:\\sxlinks\\Test.lnk", link)) << "error " << host.LastError();
  const std::string bytes = ReadText("C:\\sxlinks\\Test.lnk");
  ASSERT_GE(bytes.size(), 76u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x4C\0\0\0", 4));  // the header's size
  EXPECT_NE(bytes.find("target.txt"), std::string::npos);
}

TEST(Win32Host, ProgramParametersComeFromTheAnsiCommandLine) {
  using Parameters = std::vector<std::string>;
  // Quotes group and go; a backslash before a quote is an ordinary character; ANSI bytes stay.
  EXPECT_EQ(SplitProgramCommandLine("\"C:\\Setup Files\\setup.exe\" /s  /exename:\"C:\\My Apps\\a.exe\""),
            (Parameters{"C:\\Setup Files\\setup.exe", "/s", "/exename:C:\\My Apps\\a.exe"}));
  EXPECT_EQ(SplitProgramCommandLine("setup.exe /resume:\"C:\\Temp\\sx 1\\\" /s"),
            (Parameters{"setup.exe", "/resume:C:\\Temp\\sx 1\\", "/s"}));
  EXPECT_EQ(SplitProgramCommandLine("a.exe x\"y z\"w \"\" \t\"open"),
            (Parameters{"a.exe", "xy zw", "", "open"}));
  EXPECT_EQ(SplitProgramCommandLine("a.exe /exename:C:\\Donn\xE9" "es\\s.exe"),
            (Parameters{"a.exe", "/exename:C:\\Donn\xE9" "es\\s.exe"}));
  EXPECT_EQ(SplitProgramCommandLine("   "), Parameters{});

  // The program's own parameters are its command line's, without its name.
  test::TempMachine machine;
  int argc = 0;
  char** argv = nullptr;
  Parameters expected = SplitProgramCommandLine(GetCommandLineA());
  ASSERT_FALSE(expected.empty());
  expected.erase(expected.begin());
  EXPECT_EQ(ProgramArguments(machine.host(), argc, argv), expected);
  EXPECT_FALSE(expected.empty());  // the test runner names the test to run
}

}  // namespace
}  // namespace sx::host
