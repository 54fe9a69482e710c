// The installation run with the recording services: the order of the kinds and their events,
// vetoes, the password, the missing setup program, each resume point across a save and a load,
// and the ways a run ends with false.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "install/file_phase.h"
#include "install/install_run.h"
#include "install/reg_capture.h"
#include "packages/password.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"

namespace sx::test {
namespace {

class InstallRun : public InstallFixture {
 protected:
  InstallRun() {
    services.exeName = "C:\\setup.exe";
    WriteFile("C:\\setup.exe", "setup");
    auto* db = services.database.get();
    WriteVariable(db, "Windows", "C:\\windows");
    WriteVariable(db, "InstallPath", "C:\\App");
    WriteVariable(db, "AppName", "Demo");
    WriteVariable(db, "AppID", "{DEMO}");
    services.strings = {{11, "Cannot write %s."}, {16, "Removing old references"}, {19, "Insert the disk with %s."}};
    // One component with one item of every kind; a file to register and a font.
    auto& component = db->Components->AddNew();
    component.SetID("Main");
    auto& file = component.Files->AddNew();
    file.Flags = TsxFlags{TsxFlag::reg_server, TsxFlag::reg_font};
    auto& reg = component.Registry->AddNew();
    reg.Key = "HKLM\\Software\\Demo";
    reg.Param = "Path";
    reg.Value = "%InstallPath%";
    auto& ini = component.IniFiles->AddNew();
    ini.IniFile = "C:\\App\\app.ini";
    ini.Section = "Paths";
    ini.Param = "Home";
    ini.Value = "%InstallPath%";
    ini.Flags = TsxFlags{TsxFlag::dont_log};
    auto& shortcut = component.Shortcuts->AddNew();
    shortcut.Name = "C:\\App\\Demo";
    shortcut.CmdLine = "C:\\App\\bin\\a.dll";
    shortcut.Flags = TsxFlags{TsxFlag::dont_log};
    auto& path = db->Variables->AddNew();
    path.Name = "PATH";
    path.Value = "C:\\App";
    path.VarType = TsxVarType::vtEnvVar;
    path.Flags = TsxFlags{TsxFlag::add_path, TsxFlag::dont_log};
    db->Variables->Reindex();
    auto& package = db->Packages->AddNew();
    package.ID = "main";
    // The phases make real, recorded changes, so that rollback has something to undo.
    // The file phase has tests of its own; here a stand-in reports itself and runs the test's
    // filePhase.
    FilePhaseStandIn = [this] {
      services.calls.push_back("phase files");
      return filePhase ? filePhase() : true;
    };
    filePhase = [this] {
      list().ForceFolders("C:\\App\\bin", true);
      TInstallFile* file = list().AddFileAction("C:\\App\\bin\\a.dll", TsxFlags{TsxFlag::reg_server}, true);
      return file && WriteFile(file->FileName, ReadHostFile(SX_TEST_SERVER));
    };
  }

  ~InstallRun() override { FilePhaseStandIn = nullptr; }

  std::function<bool()> filePhase;  // what the stand-in of the file phase does

  void SetUninstall() {
    WriteVariable(services.database.get(), "Uninstall", "1");
    services.languageSections = {{"Uninstall.Texts", {"Title=Removing %AppName%"}}};
  }
  std::vector<std::string> Flow() {
    std::vector<std::string> flow;
    for (const auto& call : services.calls)
      if (call.rfind("event", 0) == 0 || call.rfind("phase", 0) == 0 || call.rfind("run", 0) == 0 ||
          call.rfind("save", 0) == 0)
        flow.push_back(call);
    return flow;
  }
  // What the engine keeps over a reboot: the project and the action list, saved and loaded.
  void SaveAndLoadForResume() {
    const std::string project = services.database->SaveToString("sx2project");
    const std::string actions = list().SaveToString("installactions");
    IniCloseAll();
    ResetLog();
    auto loadedProject = std::make_unique<TsxMainDatabase>();
    loadedProject->LoadFromString(project, "sx2project");
    services.database = std::move(loadedProject);
    list().Clear();
    list().LoadFromString(actions, "installactions");
    services.calls.clear();
    services.resumeMode = true;
    services.resumePending = false;
  }
};

TEST_F(InstallRun, KindsInOrderWithTheirEventsAndTheLogAtTheEnd) {
  SetUninstall();
  TsxRunApp before, after;
  before.CmdLine = "pre.exe";
  after.CmdLine = "post.exe";
  services.uninstallApps[static_cast<int>(TsxWhenStart::before_uninstall)] = {&before};
  services.uninstallApps[static_cast<int>(TsxWhenStart::after_uninstall)] = {&after};
  services.aborted = true;  // left from an earlier run: cleared

  ASSERT_TRUE(RunInstallation());
  EXPECT_FALSE(services.aborted);
  EXPECT_EQ(Flow(), (std::vector<std::string>{
                        "event 10 kind 6", "run 1", "event 11 kind 6 all",
                        "event 10 kind 0", "phase files", "event 11 kind 0 all",
                        "event 10 kind 4", "event 12 kind 4", "event 13 kind 4 all", "event 11 kind 4 all",
                        "event 10 kind 1", "event 12 kind 1", "event 13 kind 1 all", "event 11 kind 1 all",
                        "event 10 kind 2", "event 12 kind 2", "event 13 kind 2 all", "event 11 kind 2 all",
                        "event 10 kind 5", "event 11 kind 5 all",
                        "event 10 kind 3", "event 12 kind 3", "event 13 kind 3 all", "event 11 kind 3 all",
                        "event 10 kind 6", "run 0", "event 11 kind 6 all",
                        "event 10 kind 6", "event 11 kind 6 all",  // programs before uninstalling
                        "event 10 kind 6", "event 11 kind 6 all"}));  // and after
  // The log's folder and file come first in the list; the log never lists itself.
  ASSERT_GE(list().Count(), 2);
  EXPECT_EQ(static_cast<TInstallFolder&>(list().Items(0)).Folder, "C:\\App");
  EXPECT_EQ(static_cast<TInstallFile&>(list().Items(1)).FileName, "C:\\App\\install.log");
  EXPECT_FALSE(list().Items(1).Log);
  EXPECT_EQ(ReadFile("C:\\App\\install.log"),
            "[Strings]\r\nAppID={DEMO}\r\nAdminRights=\r\n\r\n"
            "[Texts]\r\nTitle=Removing Demo\r\n\r\n"
            "[PreRunApp]\r\n0='pre.exe','','',1,'',1,0\r\n\r\n"
            "[RunApp]\r\n1='post.exe','','',1,'',1,0\r\n\r\n"
            "[CreateKeys]\r\nHKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{DEMO}=\r\n"
            "HKLM\\Software\\Demo=\r\n\r\n"
            "[CreateDirs]\r\nC:\\App=\r\nC:\\App\\bin=\r\n\r\n"
            "[CopyFiles]\r\nC:\\App\\bin\\a.dll=\r\n\r\n"
            "[RegServers]\r\nC:\\App\\bin\\a.dll=\r\n\r\n"
            "[AddReg]\r\nHKLM\\Software\\Demo\\'Path'=\r\n\r\n");
}

TEST_F(InstallRun, RefusedAtTheClosingDialogsTheRollbackLeavesTheMachineAsItWas) {
  SetUninstall();
  ASSERT_TRUE(WriteFile("C:\\App.keep", "x"));
  const MachineSnapshot before = Snapshot();
  ASSERT_TRUE(RunInstallation());
  EXPECT_NE(SnapshotDifference(before, Snapshot()), "");
  IniCloseAll();
  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(InstallRun, AnyOneFailedChangeOfARunIsRolledBack) {
  SetUninstall();
  ASSERT_TRUE(WriteFile("C:\\App.keep", "x"));
  RegWriteString("HKLM\\Software\\Demo", "Path", "before");  // replaced, then restored
  const MachineSnapshot before = Snapshot();
  faults.mutations = 0;
  ASSERT_TRUE(RunInstallation());
  const int total = faults.mutations;
  faults.counting = false;
  list().RollbackAll();
  ASSERT_EQ(SnapshotDifference(before, Snapshot()), "");
  ASSERT_GT(total, 10);
  for (int n = 1; n <= total; ++n) {
    ResetLog();
    faults.counting = true;
    faults.mutations = 0;
    faults.failAt = n;
    RunInstallation();  // most failures end the run; the main flow then rolls back
    faults.counting = false;
    IniCloseAll();
    list().RollbackAll();
    ASSERT_EQ(SnapshotDifference(before, Snapshot()), "") << "failing call " << n;
  }
}

TEST_F(InstallRun, VetoOfAKindSkipsItWithoutItsClosingEvent) {
  services.eventReplies[{EV_BEFOREPROCESSITEMS, ikRegistry}] = 1;
  ASSERT_TRUE(RunInstallation());
  auto flow = Flow();
  auto at = std::find(flow.begin(), flow.end(), "event 10 kind 1");
  ASSERT_NE(at, flow.end());
  EXPECT_EQ(*(at + 1), "event 10 kind 2");
  EXPECT_TRUE(services.CallsStartingWith("event 12 kind 1").empty());
  EXPECT_EQ(std::count(flow.begin(), flow.end(), "event 11 kind 1 all"), 0);
}

TEST_F(InstallRun, VetoOfProgramsSkipsThemAndTheirUninstallRecords) {
  SetUninstall();
  TsxRunApp before;
  before.CmdLine = "pre.exe";
  services.uninstallApps[static_cast<int>(TsxWhenStart::before_uninstall)] = {&before};
  services.eventReplies[{EV_BEFOREPROCESSITEMS, ikPrograms}] = 1;
  ASSERT_TRUE(RunInstallation());
  EXPECT_TRUE(services.CallsStartingWith("run").empty());
  EXPECT_TRUE(services.CallsStartingWith("event 11 kind 6").empty());
  EXPECT_EQ(ReadFile("C:\\App\\install.log").find("PreRunApp"), std::string::npos);
  // The product is registered all the same.
  EXPECT_TRUE(RegKeyExists("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{DEMO}"));
}

TEST_F(InstallRun, WrongPasswordChangesNothing) {
  WriteVariable(services.database.get(), "PswCheckHash", PasswordCheckHash("right"));
  services.database->Password = "wrong";
  const MachineSnapshot before = Snapshot();
  EXPECT_FALSE(RunInstallation());
  EXPECT_EQ(services.calls, std::vector<std::string>{"box Error: Incorrect password has been specified! style 16"});
  EXPECT_EQ(list().Count(), 0);
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");

  services.calls.clear();
  services.database->Password = "right";
  EXPECT_TRUE(RunInstallation());
}

TEST_F(InstallRun, MissingSetupProgramIsAskedForUntilFoundOrCancelled) {
  ASSERT_TRUE(host().DeleteFile("C:\\setup.exe"));
  services.boxAnswers = {1};
  services.onBox = [this] { WriteFile("C:\\setup.exe", "back"); };
  ASSERT_TRUE(RunInstallation());
  EXPECT_EQ(services.CallsStartingWith("main box"),
            std::vector<std::string>{"main box Demo: Insert the disk with C:\\setup.exe. style 49"});
  EXPECT_EQ(services.CallsStartingWith("phase files").size(), 1u);

  list().RollbackAll();
  services.calls.clear();
  ASSERT_TRUE(host().DeleteFile("C:\\setup.exe"));
  services.onBox = nullptr;
  services.boxAnswers = {1, 2};
  EXPECT_FALSE(RunInstallation());
  EXPECT_EQ(services.CallsStartingWith("main box").size(), 2u);
  EXPECT_TRUE(services.CallsStartingWith("phase files").empty());
  EXPECT_TRUE(services.CallsStartingWith("phase server").empty());
}

TEST_F(InstallRun, FileInUseStopsAfterTheFilesAndTheResumedRunBeginsWithTheServers) {
  SetUninstall();
  filePhase = [this] {
    list().AddActionOf<TInstallFile>().FileName = "C:\\App\\busy.dll";
    WriteVariable(services.database.get(), "Reboot", "1");
    return true;
  };
  ASSERT_TRUE(RunInstallation());
  EXPECT_TRUE(services.resumePending);
  EXPECT_EQ(services.database->InstallState, TsxInstallState::isRegServers);
  EXPECT_EQ(Flow().back(), "save resume state");
  EXPECT_TRUE(services.CallsStartingWith("phase server").empty());
  // Only the texts are in the log so far; the actions are logged at the end of the installation.
  EXPECT_EQ(ReadFile("C:\\App\\install.log").find("CopyFiles"), std::string::npos);

  SaveAndLoadForResume();
  WriteVariable(services.database.get(), "Reboot", "0");
  const int actionsBefore = list().Count();
  ASSERT_TRUE(RunInstallation());
  EXPECT_FALSE(services.resumeMode);
  auto flow = Flow();
  ASSERT_FALSE(flow.empty());
  EXPECT_EQ(flow[0], "event 10 kind 4");
  EXPECT_TRUE(services.CallsStartingWith("phase files").empty());
  EXPECT_TRUE(services.CallsStartingWith("run 1").empty());
  EXPECT_EQ(services.CallsStartingWith("event 12 kind 1").size(), 1u);
  EXPECT_EQ(services.CallsStartingWith("run 0").size(), 1u);
  // The log's own actions are not added twice, and what came before the reboot is logged.
  // The registry phase's key and value, the INI file and entry, the link's file and shortcut,
  // the environment variable, then the registration's entry.
  constexpr int kRegistrationActions = 8;
  EXPECT_EQ(list().Count(), actionsBefore + 7 + kRegistrationActions);
  EXPECT_NE(ReadFile("C:\\App\\install.log").find("C:\\App\\busy.dll="), std::string::npos);
  const std::string log = ReadFile("C:\\App\\install.log");
  EXPECT_NE(log.find("[Texts]"), std::string::npos);
  EXPECT_EQ(log.find("[Texts]"), log.rfind("[Texts]"));
}

TEST_F(InstallRun, ProgramsThatAskForARebootResumeAtTheirOwnStep) {
  for (TsxWhenStart stopAt : {TsxWhenStart::before_install, TsxWhenStart::after_install}) {
    SCOPED_TRACE(static_cast<int>(stopAt));
    list().Clear();
    services.calls.clear();
    services.resumeMode = services.resumePending = false;
    services.database->InstallState = TsxInstallState::isUnknown;
    services.runApplications = [&](TsxWhenStart when) {
      if (when == stopAt) {
        services.database->InstallState = when == TsxWhenStart::before_install
                                              ? TsxInstallState::isRunAppBeforeInstall
                                              : TsxInstallState::isRunAppAfterInstall;
        services.database->InstallStateData = "Main,1";
        services.resumePending = true;
      }
      return true;
    };
    ASSERT_TRUE(RunInstallation());
    EXPECT_TRUE(services.resumePending);
    EXPECT_EQ(Flow().back(), "run " + std::to_string(static_cast<int>(stopAt)));

    SaveAndLoadForResume();
    services.runApplications = nullptr;
    ASSERT_TRUE(RunInstallation());
    auto flow = Flow();
    ASSERT_GE(flow.size(), 2u);
    EXPECT_EQ(flow[0], "event 10 kind 6");
    EXPECT_EQ(flow[1], "run " + std::to_string(static_cast<int>(stopAt)));
    EXPECT_EQ(services.CallsStartingWith("phase files").size(), stopAt == TsxWhenStart::before_install ? 1u : 0u);
    EXPECT_EQ(services.CallsStartingWith("event 12 kind 1").size(), stopAt == TsxWhenStart::before_install ? 1u : 0u);
    EXPECT_EQ(services.database->InstallStateData, "");
    list().RollbackAll();
  }
}

TEST_F(InstallRun, FailuresAtTheEndMakeTheRunFail) {
  // The resume state cannot be saved.
  filePhase = [this] {
    WriteVariable(services.database.get(), "Reboot", "1");
    return true;
  };
  services.saveResumeStateResult = false;
  EXPECT_FALSE(RunInstallation());
  EXPECT_FALSE(services.resumePending);
  list().RollbackAll();

  // The uninstaller cannot be copied.
  WriteVariable(services.database.get(), "Reboot", "0");
  SetUninstall();
  filePhase = nullptr;
  // (the assembly tool's target is a folder).
  services.database->Packages->Items(0).TempPath = "C:\\pkg\\";
  host::CurrentHost().CreateFolder("C:\\pkg");
  ASSERT_TRUE(WriteFile("C:\\pkg\\gacutil.exe", "tool"));
  host::CurrentHost().CreateFolder("C:\\App");
  host::CurrentHost().CreateFolder("C:\\App\\gacutil.exe");
  EXPECT_FALSE(RunInstallation());
  EXPECT_EQ(services.CallsStartingWith("box Error: Cannot copy system file \"C:\\App\\gacutil.exe\".").size(), 1u);
  EXPECT_TRUE(services.CallsStartingWith("phase server").empty());
  list().RollbackAll();
  ResetLog();

  // The log cannot be written: its folder is a file.
  host::CurrentHost().RemoveFolder("C:\\App\\gacutil.exe");
  ASSERT_TRUE(WriteFile("C:\\blocker", "a file"));
  WriteVariable(services.database.get(), "LogFile", "C:\\blocker\\install.log");
  services.calls.clear();
  EXPECT_FALSE(RunInstallation());
  EXPECT_EQ(services.CallsStartingWith("error"), std::vector<std::string>{"error Cannot write C:\\blocker\\install.log."});
  list().RollbackAll();
  ResetLog();

  // A phase that raises: the cached documents are written all the same.
  WriteVariable(services.database.get(), "LogFile", "C:\\App\\install.log");
  filePhase = []() -> bool { throw std::runtime_error("broken"); };
  EXPECT_THROW(RunInstallation(), std::runtime_error);
  EXPECT_NE(ReadFile("C:\\App\\install.log").find("[Texts]"), std::string::npos);
}

}  // namespace
}  // namespace sx::test
