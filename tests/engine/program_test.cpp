// The engine's program block, run as the real program on throw-away machines: switches, the
// temporary folder tree, clean-up, failed resumes that must not delete foreign folders, and the
// resume copy that removes itself.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/engine_state.h"
#include "engine/program.h"
#include "engine/switches.h"
#include "host/host_wrapper.h"
#include "platform/file_utils.h"
#include "tests/support/temp_machine.h"
#include "util/errors.h"
#include "util/message_boxes.h"

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
  // The application to repair follows its switch, wherever that stands.
  EXPECT_EQ(ParameterAfterSwitch({"/repair", "App"}, "repair"), "App");
  EXPECT_EQ(ParameterAfterSwitch({"/s", "-REPAIR", "App", "x"}, "repair"), "App");
  EXPECT_FALSE(ParameterAfterSwitch({"App", "/repair"}, "repair"));
  EXPECT_FALSE(ParameterAfterSwitch({"/s", "App"}, "repair"));
}

TEST(EngineProgram, FreshRunMakesAndRemovesItsTemporaryTree) {
  test::TempMachine machine;
  auto before = TempEntries(machine);
  // The bare engine carries no package: the run fails, and leaves nothing behind.
  EngineRun run = RunEngine(machine, SX_SXENGINE, {"/s"});
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_NE(run.trace.find("messagebox title=\"Invalid package\""), std::string::npos) << run.trace;
  EXPECT_EQ(TempEntries(machine), before);
}

TEST(EngineProgram, FailedResumeOnlyDeletesFoldersTheEngineMade) {
  test::TempMachine machine;
  // A folder the engine made, whose saved state is damaged.
  test::WriteHostFile(machine.HostPath("drive_c/users/user/Temp/0A1B2C3D/Resume.exe"), "x");
  test::WriteHostFile(machine.HostPath("drive_c/users/user/Temp/0A1B2C3D/MainDB"), "<sx2project");
  EngineRun run = RunEngine(machine, SX_SXENGINE, {"/RESUME:\"C:\\users\\user\\Temp\\0A1B2C3D\""});
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_NE(run.trace.find("text=\"Cannot resume installation.\""), std::string::npos) << run.trace;
  EXPECT_EQ(run.trace.find("window create"), std::string::npos);  // the main flow never ran
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
  // The saved state holds no project: the resumed run fails, and still cleans up after itself.
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_NE(run.trace.find("window create"), std::string::npos) << run.trace;
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
  EXPECT_EQ(run.exitCode, 255);  // the saved state holds no project
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(machine.HostPath("drive_c/setup.exe")));
}

// The program block run in this process with a main flow of the test's choosing. The host records
// message boxes, reboot requests and started programs, and may name a resume copy as the running
// module.
class BlockHost : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override {
    boxes.push_back({std::string(title), std::string(text), style});
    return host::kIdOk;
  }
  bool ExitWindows(uint32_t flags) override {
    exits.push_back(flags);
    return true;
  }
  std::string ModuleFileName() override {
    return module.empty() ? Inner().ModuleFileName() : module;
  }
  std::unique_ptr<host::Process> CreateProcess(std::string_view program, std::string_view,
                                               std::string_view, int) override {
    started.push_back(std::string(program));
    return nullptr;
  }
  struct Box {
    std::string title, text;
    uint32_t style;
  };
  std::vector<Box> boxes;
  std::vector<uint32_t> exits;
  std::vector<std::string> started;
  std::string module;
};

struct InProcessBlock {
  test::TempMachine machine;
  BlockHost host{machine.host()};
  InProcessBlock() {
    EngineState() = TEngineState{};
    SetMessageTitle("");
    host::SetCurrentHost(&host);
  }
  ~InProcessBlock() {
    host::SetCurrentHost(&machine.host());
    EngineState() = TEngineState{};
    SetMessageTitle("");
  }
};

bool FlowFails() { return false; }
bool FlowRaisesEngineError() { throw EEngineError("The package is damaged."); }
bool FlowAsksForReboot() {
  EngineState().RebootAtExit = true;
  return true;
}
bool FlowFailsAfterAskingForReboot() {
  EngineState().RebootAtExit = true;
  return false;
}
bool FlowSetsItsOwnExitCode() {
  EngineState().ExitCode = 3;
  return false;
}
std::string g_preparedTempDir;
bool FlowPreparesResume() {
  EngineState().ResumePending = true;
  g_preparedTempDir = EngineState().TempDir;
  return true;
}

TEST(EngineProgramBlock, FailedMainFlowEndsWithMinusOneAndLeavesNoTempDir) {
  InProcessBlock block;
  auto before = TempEntries(block.machine);
  EXPECT_EQ(RunProgram({}, FlowFails), -1);
  EXPECT_EQ(TempEntries(block.machine), before);
  EXPECT_TRUE(block.host.boxes.empty());
  EXPECT_TRUE(block.host.exits.empty());  // no reboot after a failure
}

TEST(EngineProgramBlock, EngineErrorIsShownInAnErrorBoxAndFails) {
  InProcessBlock block;
  auto before = TempEntries(block.machine);
  EXPECT_EQ(RunProgram({"/s"}, FlowRaisesEngineError), -1);
  EXPECT_EQ(TempEntries(block.machine), before);
  ASSERT_EQ(block.host.boxes.size(), 1u);
  EXPECT_EQ(block.host.boxes[0].title, "Error");
  EXPECT_EQ(block.host.boxes[0].text, "The package is damaged.");
  EXPECT_EQ(block.host.boxes[0].style & 0xF0, kMbIconError);

  // With a message title the box takes it.
  EngineState() = TEngineState{};
  SetMessageTitle("My Product");
  EXPECT_EQ(RunProgram({}, FlowRaisesEngineError), -1);
  ASSERT_EQ(block.host.boxes.size(), 2u);
  EXPECT_EQ(block.host.boxes[1].title, "My Product");
}

TEST(EngineProgramBlock, RebootIsRequestedOnlyAfterSuccess) {
  InProcessBlock block;
  EXPECT_EQ(RunProgram({}, FlowAsksForReboot), 0);
  EXPECT_EQ(block.host.exits, std::vector<uint32_t>{2});  // reboot, without force
  EngineState() = TEngineState{};
  EXPECT_EQ(RunProgram({}, FlowFailsAfterAskingForReboot), -1);
  EXPECT_EQ(block.host.exits, std::vector<uint32_t>{2});
}

TEST(EngineProgramBlock, AnExitCodeAlreadySetIsKept) {
  InProcessBlock block;
  EXPECT_EQ(RunProgram({}, FlowSetsItsOwnExitCode), 3);
}

TEST(EngineProgramBlock, PreparedResumeKeepsTempDirAndItsStagingFolders) {
  InProcessBlock block;
  EXPECT_EQ(RunProgram({}, FlowPreparesResume), 0);
  const TEngineState& state = EngineState();
  ASSERT_FALSE(g_preparedTempDir.empty());
  EXPECT_TRUE(FolderExistsAt(g_preparedTempDir));
  for (const std::string* sub : {&state.TempFontsPath, &state.TempGACPath, &state.TempBackupPath}) {
    EXPECT_EQ(sub->rfind(g_preparedTempDir, 0), 0u) << *sub;
    EXPECT_EQ(sub->size(), g_preparedTempDir.size() + 9) << *sub;  // eight characters and '\'
    EXPECT_TRUE(FolderExistsAt(*sub)) << *sub;
  }
  EXPECT_TRUE(DeleteFolderTree(g_preparedTempDir, true));
}

TEST(EngineProgramBlock, ResumeCopyWithRebootIsDeletedAtTheNextBootNotByBatch) {
  InProcessBlock block;
  const std::string temp = block.machine.HostPath("drive_c/users/user/Temp/");
  test::WriteHostFile(temp + "ABCDEFGH/MainDB", "<sx2project></sx2project>");
  test::WriteHostFile(temp + "ABCDEFGH/InstallActions", "<installactions/>");
  test::WriteHostFile(temp + "sx01ABCD.exe", "copy");
  block.host.module = "C:\\users\\user\\Temp\\sx01ABCD.exe";
  EXPECT_EQ(RunProgram({"/resume:C:\\users\\user\\Temp\\ABCDEFGH"}, FlowAsksForReboot), 0);
  EXPECT_TRUE(block.host.started.empty());  // no self-deleting batch
  EXPECT_EQ(block.host.exits, std::vector<uint32_t>{2});
  auto pending = block.host.RegQueryValue(host::RegRoot::kLocalMachine, kSessionManagerKey,
                                          kPendingRenamesValue);
  ASSERT_TRUE(pending);
  EXPECT_NE(pending->data.find(std::string("\\??\\C:\\users\\user\\Temp\\sx01ABCD.exe\0\0", 37)),
            std::string::npos);

  // Without a reboot the copy starts its self-deleting batch at once.
  EngineState() = TEngineState{};
  block.host.exits.clear();
  test::WriteHostFile(temp + "ABCDEFGI/MainDB", "<sx2project></sx2project>");
  test::WriteHostFile(temp + "ABCDEFGI/InstallActions", "<installactions/>");
  EXPECT_EQ(RunProgram({"/resume:C:\\users\\user\\Temp\\ABCDEFGI"}, FlowFails), -1);
  ASSERT_EQ(block.host.started.size(), 1u);
  EXPECT_EQ(block.host.started[0].substr(block.host.started[0].size() - 4), ".bat");
  EXPECT_TRUE(block.host.exits.empty());
  EXPECT_FALSE(fs::exists(temp + "ABCDEFGI"));
}

}  // namespace
}  // namespace sx
