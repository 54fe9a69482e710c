// Resume after a reboot, end to end: a program of the setup ends the session through
// `sxtool machine shutdown`; the engine saves its state, leaves one RunOnce value and exits
// without EV_FINISH; `sxtool machine reboot` starts the resume copy, which runs only what had not
// run, finishes once and removes its folder and itself. Also the machine's shutdown against
// engines that refuse and entries of processes that are gone.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "host/posix/session_channel.h"
#include "tests/engine/setup_run.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

constexpr char kProject[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="ResumeTest"/>
    <var name="AppName" value="Resume"/>
    <var name="InstallPath" value="C:\Product\Resume"/>
  </variables>
  <packages><package id="main" main="1" filename="setup"><plugins><plugin id="wizard"/></plugins></package></packages>
  <components><component id="core">
    <runapps>
      <runapp cmdline="C:\tools\note.exe" arg="first" whenstart="%MOMENT%"/>
      <runapp cmdline="C:\tools\note.exe" arg="logoff" whenstart="%MOMENT%"/>
      <runapp cmdline="C:\tools\note.exe" arg="second" whenstart="%MOMENT%"/>
      <runapp cmdline="C:\tools\note.exe" arg="after" whenstart="after_install"/>
    </runapps>
  </component></components>
</sx2project>)";

class Resume : public SetupTest {
 protected:
  void SetUp() override {
    // The program logs its argument; "logoff" ends the session and logs the shutdown's status.
    WriteHostFile(Machine().HostPath("drive_c/tools/note.exe"),
                  "#!/bin/sh\necho \"$1\" >> '" + ProgramLog() + "'\nif [ \"$1\" = logoff ]; then\n  " +
                      ShellQuote(SX_SXTOOL) + " machine shutdown > '" + Machine().folder() +
                      "/shutdown.out' 2>&1\n  echo \"shutdown $?\" >> '" + ProgramLog() + "'\nfi\n");
    ::chmod(Machine().HostPath("drive_c/tools/note.exe").c_str(), 0755);
  }
  // The project with its three programs run at `moment` (the second ends the session).
  void BuildFor(const std::string& moment, const std::string& recorderScript = "",
                const std::string& files = "") {
    std::string project = kProject;
    if (!files.empty()) project.replace(project.find("<runapps>"), 0, files);
    for (size_t at; (at = project.find("%MOMENT%")) != std::string::npos;) project.replace(at, 8, moment);
    Project().Project(project);
    Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
    Project().Write("payload/core/data.txt", "data");
    AddRecorder("wizard", recorderScript);
    Build();
    std::filesystem::remove(ProgramLog());
  }
  std::string ProgramLog() { return Machine().folder() + "/programs.log"; }
  std::string Programs() { return ReadHostFile(ProgramLog()); }
  // Waits (bounded) until the program log holds `text`.
  bool WaitForPrograms(const std::string& text) {
    for (int i = 0; i < 500; ++i) {
      if (Programs().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  std::vector<std::string> RunOnceLines() {
    std::string out;
    RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " " + ShellQuote(SX_SXTOOL) +
                   " reg query \"HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\" 2>/dev/null",
               &out);
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
      if (line.find("REG_SZ") != std::string::npos) lines.push_back(line);
    return lines;
  }
  int Reboot(std::string* output) {
    return RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " " + ShellQuote(SX_SXTOOL) +
                          " machine reboot 2>&1",
                      output);
  }
  static int Count(const std::vector<std::string>& lines, const std::string& text) {
    int n = 0;
    for (const auto& line : lines) n += line.find(text) != std::string::npos;
    return n;
  }
};

TEST_F(Resume, AProgramThatEndsTheSessionResumesAtTheNextStart) {
  BuildFor("before_install");
  const SetupRun first = Run();
  EXPECT_EQ(first.exitCode, 0) << first.trace;
  ASSERT_TRUE(WaitForPrograms("shutdown ")) << Programs();
  EXPECT_EQ(Programs(), "first\nlogoff\nshutdown 0\n");
  EXPECT_EQ(Count(first.Events(), "EV_FINISH"), 0) << first.log;
  EXPECT_EQ(std::regex_replace(ReadHostFile(Machine().folder() + "/shutdown.out"), std::regex("[0-9]+"), "N"),
            "N yes\n");

  // One RunOnce value, "sx" and digits, starting the copy with the kept folder and the setup.
  const auto values = RunOnceLines();
  ASSERT_EQ(values.size(), 1u);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(values[0], m,
                                std::regex(R"re(sx[0-9]+\s+REG_SZ\s+"(C:\\users\\user\\Temp\\sx[0-9A-Va-v]{6}\.exe)" /resume:"C:\\users\\user\\Temp\\([0-9A-Va-v]{8})" /exename:"C:\\setup\\setup\.exe")re")))
      << values[0];
  const std::string copy = Machine().HostPath("drive_c/users/user/Temp/" + m[1].str().substr(std::string("C:\\users\\user\\Temp\\").size()));
  const std::string tempDir = Machine().HostPath("drive_c/users/user/Temp/" + m[2].str());
  EXPECT_TRUE(fs::exists(copy));
  for (const char* file : {"MainDB", "InstallActions", "Resume.exe"})
    EXPECT_TRUE(fs::exists(tempDir + "/" + file)) << file;

  // The next start: only what had not run, then the rest of the installation, finished once.
  fs::remove(LogPath());
  std::string output;
  EXPECT_EQ(Reboot(&output), 0) << output;
  EXPECT_NE(output.find("(exit code 0)"), std::string::npos) << output;
  EXPECT_EQ(Programs(), "first\nlogoff\nshutdown 0\nsecond\nafter\n");
  SetupRun resumed;
  resumed.log = ReadHostFile(LogPath());
  const auto events = resumed.Events();
  EXPECT_EQ(Count(events, "EV_FINISH success=1"), 1) << resumed.log;
  EXPECT_EQ(Count(events, "EV_SHOWDIALOGS after=0"), 0) << resumed.log;
  EXPECT_EQ(Count(events, "EV_BEFOREINSTALL"), 0) << resumed.log;
  EXPECT_TRUE(RunOnceLines().empty());
  EXPECT_FALSE(fs::exists(tempDir));
  for (int i = 0; i < 250 && fs::exists(copy); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(fs::exists(copy));
}

// After the installation (the interrupted program never runs again) and before the dialogs (the
// dialogs come again).
TEST_F(Resume, OtherMomentsContinueAtTheirOwnStep) {
  struct Case {
    std::string moment, before, after;
    bool dialogsAgain;
  };
  const Case cases[] = {{"after_install", "first\nlogoff\nshutdown 0\n", "second\nafter\n", false},
                        {"before_dialogs", "first\nlogoff\nshutdown 0\n", "second\nafter\n", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moment);
    BuildFor(c.moment);
    const SetupRun first = Run();
    EXPECT_EQ(first.exitCode, 0) << first.trace;
    ASSERT_TRUE(WaitForPrograms("shutdown ")) << Programs();
    EXPECT_EQ(Programs(), c.before);
    EXPECT_EQ(Count(first.Events(), "EV_FINISH"), 0) << first.log;
    ASSERT_EQ(RunOnceLines().size(), 1u);
    fs::remove(LogPath());
    std::string output;
    EXPECT_EQ(Reboot(&output), 0) << output;
    SetupRun resumed;
    resumed.log = ReadHostFile(LogPath());
    const auto events = resumed.Events();
    EXPECT_EQ(Count(events, "EV_FINISH success=1"), 1) << resumed.log;
    EXPECT_EQ(Count(events, "EV_SHOWDIALOGS after=0"), c.dialogsAgain ? 1 : 0) << resumed.log;
    EXPECT_EQ(Programs(), c.before + c.after);
    EXPECT_TRUE(RunOnceLines().empty());
  }
}

// A resumed installation that fails takes back what was done before the reboot too: the file
// installed before the session ended goes, with the RunOnce value and the kept folder.
TEST_F(Resume, AFailureAfterTheRebootUndoesWhatCameBefore) {
  BuildFor("after_install", "on EV_SHOWDIALOGS after=1 reply 1",
           R"(<files><file src="data.txt" dst="%InstallPath%\data.txt"/></files>)");
  const SetupRun first = Run();
  EXPECT_EQ(first.exitCode, 0) << first.trace;
  ASSERT_TRUE(WaitForPrograms("shutdown ")) << Programs();
  const std::string installed = Machine().HostPath("drive_c/Product/Resume/data.txt");
  EXPECT_EQ(ReadHostFile(installed), "data");
  const auto values = RunOnceLines();
  ASSERT_EQ(values.size(), 1u);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(values[0], m, std::regex(R"re(/resume:"C:\\users\\user\\Temp\\([^"]+)")re"))) << values[0];
  const std::string tempDir = Machine().HostPath("drive_c/users/user/Temp/" + m[1].str());
  ASSERT_TRUE(fs::exists(tempDir + "/InstallActions"));

  fs::remove(LogPath());
  std::string output;
  EXPECT_EQ(Reboot(&output), 0) << output;
  EXPECT_NE(output.find("(exit code 255)"), std::string::npos) << output;
  SetupRun resumed;
  resumed.log = ReadHostFile(LogPath());
  EXPECT_EQ(Count(resumed.Events(), "EV_SHOWDIALOGS after=1"), 1) << resumed.log;
  EXPECT_EQ(Count(resumed.Events(), "EV_FINISH success=0"), 1) << resumed.log;
  EXPECT_EQ(Programs(), "first\nlogoff\nshutdown 0\nsecond\nafter\n");
  EXPECT_FALSE(fs::exists(installed));
  EXPECT_FALSE(fs::exists(Machine().HostPath("drive_c/Product/Resume")));
  EXPECT_TRUE(RunOnceLines().empty());
  EXPECT_FALSE(fs::exists(tempDir));
}

// A nested setup that reboots at its end asks its parent first: the parent agrees, saves its state
// for the next start and ends without finishing; the nested reboot is recorded.
TEST_F(Resume, ANestedSetupsRebootInterruptsItsParent) {
  ProjectFolder inner;
  inner.Project(R"(<sx2project><variables><var name="AppID" value="Inner"/><var name="Reboot" value="1"/></variables>
      <packages><package id="main" main="1" filename="setup"/></packages>
      <components><component id="c"/></components></sx2project>)");
  inner.Write("packages/main/lng/ENU.lng", kEnglishStrings);
  const SxbuildRun built = RunSxbuild({inner.path(), "-o", Machine().HostPath("drive_c/inner")});
  ASSERT_EQ(built.status, 0) << built.output;
  // "logoff" starts the nested setup instead of the machine's shutdown.
  const std::string innerErrors = Machine().folder() + "/inner.err";
  WriteHostFile(Machine().HostPath("drive_c/tools/note.exe"),
                "#!/bin/sh\necho \"$1\" >> '" + ProgramLog() + "'\nif [ \"$1\" = logoff ]; then\n  " +
                    ShellQuote(Machine().HostPath("drive_c/inner/setup.exe")) + " /s 2> '" + innerErrors +
                    "'\n  echo \"inner $?\" >> '" + ProgramLog() + "'\nfi\n");
  ::chmod(Machine().HostPath("drive_c/tools/note.exe").c_str(), 0755);
  BuildFor("before_install");
  const SetupRun first = Run();
  EXPECT_EQ(first.exitCode, 0) << first.trace;
  ASSERT_TRUE(WaitForPrograms("inner ")) << Programs();
  EXPECT_EQ(Programs(), "first\nlogoff\ninner 0\n");
  EXPECT_NE(ReadHostFile(innerErrors).find("exitwindows flags=0x2 (recorded"), std::string::npos)
      << ReadHostFile(innerErrors);
  EXPECT_EQ(Count(first.Events(), "EV_FINISH"), 0) << first.log;
  ASSERT_EQ(RunOnceLines().size(), 1u);

  // The next start resumes the parent after the program that rebooted.
  fs::remove(LogPath());
  std::string output;
  EXPECT_EQ(Reboot(&output), 0) << output;
  SetupRun resumed;
  resumed.log = ReadHostFile(LogPath());
  EXPECT_EQ(Count(resumed.Events(), "EV_FINISH success=1"), 1) << resumed.log;
  EXPECT_EQ(Programs(), "first\nlogoff\ninner 0\nsecond\nafter\n");
  EXPECT_TRUE(RunOnceLines().empty());
}

TEST_F(Resume, TheShutdownAsksEveryLiveEngineAndIgnoresTheDeadOnes) {
  const std::string sessions = Machine().folder() + "/sessions";
  auto shutdown = [&](std::string* out) {
    return RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " " + ShellQuote(SX_SXTOOL) +
                          " machine shutdown 2>&1",
                      out);
  };
  // Nobody announced: the session may end.
  std::string out;
  EXPECT_EQ(shutdown(&out), 0) << out;
  EXPECT_EQ(out, "");

  // An entry left by a process that is gone is passed over and removed.
  fs::create_directories(sessions);
  WriteHostFile(sessions + "/999999999", "/tmp/sxsession-gone.sock\n");
  EXPECT_EQ(shutdown(&out), 0) << out;
  EXPECT_FALSE(fs::exists(sessions + "/999999999"));

  // A process that refuses: the shutdown fails and names it.
  host::SessionChannel channel(Machine().folder());
  ASSERT_TRUE(channel.Announced());
  std::atomic<bool> stop{false};
  std::atomic<bool> answer{false};
  std::thread server([&] {
    while (!stop) {
      channel.ServeQueries([&] { return answer.load(); });
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_EQ(shutdown(&out), 1);
  EXPECT_NE(out.find(std::to_string(getpid()) + " no\n"), std::string::npos) << out;
  stop = true;
  server.join();
}

}  // namespace
}  // namespace sx::test
