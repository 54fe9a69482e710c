// The end of the main flow, run in this process with a double of the installation subsystem:
// rollback with its status text, DisableRollback, an error in the installation, a pending
// resume, and the hooks the installation run gets.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_installation.h"
#include "engine/main_flow.h"
#include "engine/program.h"
#include "packages/pdb_file.h"
#include "platform/file_utils.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/setup_run.h"
#include "util/errors.h"

namespace sx::test {
namespace {

constexpr char kProject[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="TailTest"/>
    <var name="AppName" value="Tail"/>
    %EXTRA%
  </variables>
  <packages><package id="main" main="1" filename="setup"><plugins><plugin id="wizard"/></plugins></package></packages>
  <components><component id="core"><runapps>
    <runapp cmdline="C:\tools\ok.exe" arg="after" flags="check_exitcode" whenstart="after_install"/>
  </runapps></component></components>
</sx2project>)";

// The real installation with the run, the change count, the rollback and the resume replaced.
class InstallationDouble : public TEngineInstallation {
 public:
  bool result = true;
  int actions = 0;
  bool raise = false;
  bool pendingResume = false;
  bool rollbackRaises = false;
  std::vector<std::string> calls;

  bool RunInstallation() override {
    calls.push_back("run");
    // The hooks reach the engine: its language texts and its run-application items.
    if (Hooks().LanguageText("Strings", "18") != "Undoing the changes...") calls.push_back("no language text");
    if (!Hooks().ForAllComponents(Hooks().RunAppItems, TsxWhenStart::after_install)) calls.push_back("items failed");
    if (raise) throw EEngineError("The disk broke.");
    if (pendingResume) EngineState().ResumePending = true;
    return result;
  }
  int ActionCount() override { return actions; }
  void RollbackAll() override {
    calls.push_back("rollback");
    if (rollbackRaises) throw EEngineError("Rollback failed.");
  }
  bool PrepareResume() override {
    calls.push_back(EngineState().ResumePending ? "prepare-resume pending" : "prepare-resume");
    return true;
  }
};

class MainFlowTail : public SetupTest {
 protected:
  std::vector<std::string> Log() {
    SetupRun run;
    run.log = ReadHostFile(LogPath());
    return run.Events();
  }
  bool Logged(const std::string& line) {
    const auto log = Log();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  void TearDown() override {
    EngineState() = TEngineState{};
    SetMessageTitle("");
    ExtraBoxFlags = 0;
  }

  EngineTestHost host_{Machine().host()};
  std::vector<std::string> calls_;

  // Builds the project (with `variables` added), then runs the program block with the main flow
  // in this process, the installation double configured by `configure`.
  int RunWith(const std::function<void(InstallationDouble&)>& configure, const std::string& variables = "",
              const std::string& script = "") {
    std::string project = kProject;
    project.replace(project.find("%EXTRA%"), 7, variables);
    Project().Project(project);
    Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
    AddRecorder("wizard", script);
    Build();
    WriteHostFile(Machine().HostPath("drive_c/tools/ok.exe"), "#!/bin/sh\nexit 0\n");
    std::filesystem::remove(LogPath());
    host::SetCurrentHost(&host_);
    EngineState() = TEngineState{};
    int code;
    {
      TEngineContext engine;
      auto installation = std::make_unique<InstallationDouble>();
      configure(*installation);
      InstallationDouble* steps = installation.get();
      engine.SetInstallation(std::move(installation));
      code = RunProgram({"/exename:C:\\setup\\setup.exe"}, RunMainFlow);
      calls_ = steps->calls;
    }
    host::SetCurrentHost(&Machine().host());
    return code;
  }
};

TEST_F(MainFlowTail, FailureWithActionsRollsBackUnderTheStatusText) {
  EXPECT_EQ(RunWith([](InstallationDouble& d) {
              d.result = false;
              d.actions = 2;
            }),
            -1);
  EXPECT_EQ(calls_, (std::vector<std::string>{"run", "rollback"}));
  const auto log = Log();
  auto shown = std::find(log.begin(), log.end(), "wizard CM_SHOWSTATUSTEXT text=\"Undoing the changes...\" time=750");
  ASSERT_NE(shown, log.end()) << ::testing::PrintToString(log);
  EXPECT_EQ(*(shown + 1), "wizard CM_HIDESTATUSTEXT p1=0 p2=0");
  EXPECT_EQ(*(shown + 2), "wizard EV_FINISH success=0");
  EXPECT_FALSE(Logged("wizard EV_AFTERINSTALL"));
  // The installation ran the after-install program through the engine's hooks.
  EXPECT_TRUE(Logged("wizard EV_AFTERPROCESSITEM stage=6 cmdline=\"C:\\tools\\ok.exe\" args=\"after\" "
                     "workdir=\"\" show=0 msg=\"\" when=1"));

  // Without recorded changes there is nothing to undo.
  EXPECT_EQ(RunWith([](InstallationDouble& d) { d.result = false; }), -1);
  EXPECT_EQ(calls_, std::vector<std::string>{"run"});
  EXPECT_FALSE(Logged("wizard CM_HIDESTATUSTEXT p1=0 p2=0"));
}

TEST_F(MainFlowTail, DisableRollbackKeepsTheChanges) {
  EXPECT_EQ(RunWith(
                [](InstallationDouble& d) {
                  d.result = false;
                  d.actions = 3;
                },
                R"(<var name="DisableRollback" value="1"/>)"),
            -1);
  EXPECT_EQ(calls_, std::vector<std::string>{"run"});
  EXPECT_TRUE(Logged("wizard EV_FINISH success=0"));
}

TEST_F(MainFlowTail, ClosingDialogsAnswerTurnsSuccessIntoRollback) {
  EXPECT_EQ(RunWith([](InstallationDouble& d) { d.actions = 1; }, "", "on EV_SHOWDIALOGS after=1 reply 1"), -1);
  EXPECT_EQ(calls_, (std::vector<std::string>{"run", "rollback"}));
  EXPECT_TRUE(Logged("wizard EV_FINISH success=0"));
}

TEST_F(MainFlowTail, AnErrorRunsTheTailAsAFailureThenReachesTheGuard) {
  EXPECT_EQ(RunWith([](InstallationDouble& d) {
              d.raise = true;
              d.actions = 1;
              d.rollbackRaises = true;  // an error in one tail step skips no later one
            }),
            -1);
  EXPECT_EQ(calls_, (std::vector<std::string>{"run", "rollback"}));
  EXPECT_TRUE(Logged("wizard CM_HIDESTATUSTEXT p1=0 p2=0"));
  EXPECT_TRUE(Logged("wizard EV_FINISH success=0"));
  EXPECT_TRUE(Logged("wizard EV_UNLOAD"));
  ASSERT_FALSE(host_.boxes.empty());
  EXPECT_EQ(host_.boxes.back().text, "The disk broke.");  // shown by the program block's guard
}

TEST_F(MainFlowTail, PendingResumeSendsNoFinishAndKeepsTheFolder) {
  EXPECT_EQ(RunWith([](InstallationDouble& d) { d.pendingResume = true; }), 0);
  EXPECT_EQ(calls_, (std::vector<std::string>{"run", "prepare-resume pending"}));
  EXPECT_FALSE(Logged("wizard EV_FINISH success=1"));
  EXPECT_FALSE(Logged("wizard EV_AFTERINSTALL"));
  EXPECT_TRUE(Logged("wizard EV_UNLOAD"));
  const std::string tempDir = EngineState().TempDir;
  ASSERT_FALSE(tempDir.empty());
  EXPECT_TRUE(Machine().host().GetFileInfo(tempDir + "Resume.exe")) << "the resume copy stays";
  DeleteFolderTree(tempDir, true);
}

TEST_F(MainFlowTail, RebootOnFinishIsAskedAndAnAbortThereFails) {
  EXPECT_EQ(RunWith([](InstallationDouble&) {}, R"(<var name="Reboot" value="1"/>)"), 0);
  EXPECT_TRUE(Logged("wizard EV_QUERYREBOOT"));
  EXPECT_TRUE(EngineState().RebootAtExit);
  EXPECT_EQ(RunWith([](InstallationDouble& d) { d.actions = 1; }, R"(<var name="Reboot" value="1"/>)",
                    "on EV_QUERYREBOOT send CM_ABORTINSTALL"),
            -1);
  EXPECT_EQ(calls_, (std::vector<std::string>{"run", "rollback"}));
  EXPECT_FALSE(EngineState().RebootAtExit);  // a failed run asks for no reboot
}

// A host that hands out another project database than the one the setup carries: the builder
// refuses such projects, but a damaged or hand-made setup may hold them.
class OtherProjectHost : public EngineTestHost {
 public:
  using EngineTestHost::EngineTestHost;
  std::unique_ptr<host::File> OpenFile(std::string_view path, host::OpenOptions options) override {
    const bool mainPdb = options.mode == host::OpenMode::kRead && path.size() > 9 &&
                         path.substr(path.size() - 9) == "\\main.pdb";
    return Inner().OpenFile(mainPdb ? "C:\\other\\main.pdb" : path, options);
  }
};

TEST_F(MainFlowTail, ComponentsOrPackagesMissingFromTheProjectEndTheRun) {
  Project().Project(std::string(kProject).replace(std::string(kProject).find("%EXTRA%"), 7, ""));
  Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
  AddRecorder("wizard", "");
  Build();
  struct Case {
    std::string project;
    std::string box;
  };
  const Case cases[] = {
      {R"(<sx2project><components><component id="core"/></components><features><feature id="f">
          <components><component id="core"/><component id="ghost"/></components></feature></features></sx2project>)",
       "Component ID=\"ghost\" not found."},
      {R"(<sx2project><components><component id="core" package="nowhere"/></components></sx2project>)",
       "Can't find package \"nowhere\" in main database."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    WriteHostFile(Machine().HostPath("drive_c/other/main.pdb"), EncodePdb(c.project));
    OtherProjectHost other(Machine().host());
    host::SetCurrentHost(&other);
    EngineState() = TEngineState{};
    int code;
    {
      TEngineContext engine;
      engine.SetInstallation(std::make_unique<InstallationDouble>());
      code = RunProgram({"/exename:C:\\setup\\setup.exe"}, RunMainFlow);
    }
    host::SetCurrentHost(&Machine().host());
    EXPECT_EQ(code, -1);
    ASSERT_FALSE(other.boxes.empty());
    EXPECT_EQ(other.boxes.back().title, "Error");
    EXPECT_EQ(other.boxes.back().text, c.box);
    EXPECT_TRUE(Logged("wizard EV_FINISH success=0"));
    std::filesystem::remove(LogPath());
  }
}

}  // namespace
}  // namespace sx::test
