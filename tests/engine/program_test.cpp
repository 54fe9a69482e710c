// The engine's program block, run as the real program on throw-away machines: switches, the
// temporary folder tree, clean-up, failed resumes that must not delete foreign folders, and the
// resume copy that removes itself.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/switches.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

namespace fs = std::filesystem;

struct EngineRun {
  int exitCode;
  std::string trace;
};

// Runs the engine with its parameters, each passed as it stands (no shell rules apply to them).
EngineRun RunEngine(test::TempMachine& machine, const std::string& program,
                    const std::vector<std::string>& params) {
  machine.host().RegFlush();
  std::string trace = machine.folder() + "/trace.log";
  fs::remove(trace);
  std::string line = "SX_MACHINE='" + machine.folder() + "' SX_TRACE='" + trace + "' '" + program + "'";
  for (const auto& p : params) line += " '" + p + "'";
  int code = test::RunCommand(line + " 2>/dev/null");
  return {code, test::ReadHostFile(trace)};
}

std::vector<std::string> TempEntries(test::TempMachine& machine) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(machine.HostPath("drive_c/users/user/Temp")))
    names.push_back(e.path().filename().string());
  return names;
}

TEST(Switches, NamesValuesQuotesAndWhatIsNoSwitch) {
  test::TempMachine machine;  // switch names compare by the user's locale
  std::vector<std::string> params{"-", "/", "setup.log", "/RESUME:\"C:\\Temp Dir\\ABC\"", "-resume:later"};
  auto resume = FindSwitch(params, "resume:*");
  ASSERT_TRUE(resume);
  EXPECT_EQ(SwitchValue(*resume, 9), "C:\\Temp Dir\\ABC");
  EXPECT_FALSE(FindSwitch({"-", "/"}, "*"));
  EXPECT_EQ(FindSwitch({"x", "-S"}, "s"), "-S");
  EXPECT_FALSE(FindSwitch({"/silent"}, "s"));
  EXPECT_EQ(SwitchValue("/exename:\"C:\\a \"\"b\"\".exe\"", 10), "C:\\a \"b\".exe");
  EXPECT_EQ(SwitchValue("/exename:", 10), "");
}

TEST(EngineProgram, FreshRunMakesAndRemovesItsTemporaryTree) {
  test::TempMachine machine;
  auto before = TempEntries(machine);
  EngineRun run = RunEngine(machine, SX_SXENGINE, {"/s"});
  EXPECT_EQ(run.exitCode, 0);
  auto start = run.trace.find("TempDir=C:\\users\\user\\Temp\\");
  ASSERT_NE(start, std::string::npos) << run.trace;
  EXPECT_EQ(run.trace.substr(start + 27, 9).back(), '\\');  // eight characters and a backslash
  EXPECT_EQ(TempEntries(machine), before);  // nothing left behind
}

TEST(EngineProgram, FailedResumeOnlyDeletesFoldersTheEngineMade) {
  test::TempMachine machine;
  // A folder the engine made, whose saved state is damaged.
  test::WriteHostFile(machine.HostPath("drive_c/users/user/Temp/0A1B2C3D/Resume.exe"), "x");
  test::WriteHostFile(machine.HostPath("drive_c/users/user/Temp/0A1B2C3D/MainDB"), "<sx2project");
  EngineRun run = RunEngine(machine, SX_SXENGINE, {"/RESUME:\"C:\\users\\user\\Temp\\0A1B2C3D\""});
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_NE(run.trace.find("text=\"Cannot resume installation.\""), std::string::npos) << run.trace;
  EXPECT_EQ(run.trace.find("mainflow"), std::string::npos);
  EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/users/user/Temp/0A1B2C3D")));

  // Any other folder stays as it is.
  run = RunEngine(machine, SX_SXENGINE, {"/resume:C:\\windows"});
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(fs::exists(machine.HostPath("drive_c/windows/win.ini")));
  test::WriteHostFile(machine.HostPath("drive_c/users/user/Temp/NOTOURS1/data.txt"), "keep");
  EXPECT_EQ(RunEngine(machine, SX_SXENGINE, {"/resume:C:\\users\\user\\Temp\\NOTOURS1"}).exitCode, 255);
  EXPECT_TRUE(fs::exists(machine.HostPath("drive_c/users/user/Temp/NOTOURS1/data.txt")));
}

TEST(EngineProgram, ResumeCopyContinuesThenRemovesItselfAndItsFolder) {
  test::TempMachine machine;
  const std::string temp = machine.HostPath("drive_c/users/user/Temp/");
  test::WriteHostFile(temp + "ABCDEFGH/MainDB", "<sx2project></sx2project>");
  test::WriteHostFile(temp + "ABCDEFGH/InstallActions", "<installactions/>");
  fs::copy_file(SX_SXENGINE, temp + "sx01ABCD.exe");
  EngineRun run = RunEngine(machine, temp + "sx01ABCD.exe",
                            {"/resume:\"C:\\users\\user\\Temp\\ABCDEFGH\"", "/exename:\"C:\\setup.exe\""});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.trace.find("ExeName=C:\\setup.exe TempDir=C:\\users\\user\\Temp\\ABCDEFGH\\ resume"),
            std::string::npos)
      << run.trace;
  EXPECT_FALSE(fs::exists(temp + "ABCDEFGH"));
  // The batch that deletes the copy runs on after the engine has ended.
  for (int i = 0; i < 200 && fs::exists(temp + "sx01ABCD.exe"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(fs::exists(temp + "sx01ABCD.exe"));
  for (int i = 0; i < 200; ++i) {
    bool batchLeft = false;
    for (const auto& e : fs::directory_iterator(machine.HostPath("drive_c/users/user")))
      batchLeft = batchLeft || e.path().extension() == ".bat";
    if (!batchLeft) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_LT(i, 199) << "the self-deleting batch file stayed";
  }
}

TEST(EngineProgram, AnEngineThatIsNoResumeCopyNeverDeletesItself) {
  test::TempMachine machine;
  const std::string temp = machine.HostPath("drive_c/users/user/Temp/");
  test::WriteHostFile(temp + "ABCDEFGH/MainDB", "<sx2project/>");
  test::WriteHostFile(temp + "ABCDEFGH/InstallActions", "<installactions/>");
  fs::copy_file(SX_SXENGINE, machine.HostPath("drive_c/setup.exe"));
  EngineRun run = RunEngine(machine, machine.HostPath("drive_c/setup.exe"), {"/resume:C:\\users\\user\\Temp\\ABCDEFGH"});
  EXPECT_EQ(run.exitCode, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(machine.HostPath("drive_c/setup.exe")));
}

}  // namespace
}  // namespace sx
