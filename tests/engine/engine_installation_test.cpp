// The engine's installation subsystem in this process: the resume state saved and loaded again,
// the preparation of a resume (the copy, the RunOnce value, reboot-time file operations), the
// install log reached from plug-ins and expressions, and the services the installation library
// gets (texts, sections, programs for the uninstaller, boxes from the copy thread).
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "database/sx_condition_object.h"
#include "database/sx_variable_access.h"
#include "engine/engine_installation.h"
#include "engine/resume_files.h"
#include "engine/session_end.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "platform/file_utils.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "tests/engine/engine_test_support.h"
#include "util/message_queue.h"
#include "util/run_program.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

constexpr char kRunOnce[] = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kTempDir[] = "C:\\users\\user\\Temp\\RESUMEAB\\";

class EngineInstallation : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(e_.machine.HostPath("drive_c/users/user/Temp/RESUMEAB"));
    EngineState().TempDir = kTempDir;
    EngineState().ExeName = "C:\\Setup Files\\setup.exe";
  }
  std::string Host(const std::string& windowsPath) { return e_.machine.host().MapPath(windowsPath).value_or(""); }
  std::vector<std::string> RunOnceNames() {
    std::vector<std::string> names;
    auto values = e_.machine.host().RegEnumValues(host::RegRoot::kCurrentUser,
                                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    if (values)
      for (const auto& v : *values) names.push_back(v.name);
    return names;
  }
  InProcessEngine e_;
};

TEST_F(EngineInstallation, ResumeStateSurvivesASaveAndALoad) {
  TsxMainDatabase& db = e_.Database();
  WriteVariable(&db, "InstallPath", "C:\\Product");
  db.InstallState = TsxInstallState::isRunAppAfterInstall;
  db.InstallStateData = "core,2";
  TsxPackage& main = db.Packages->AddNew();
  main.TempPath = "C:\\users\\user\\Temp\\RESUMEAB\\setup\\";
  main.Prepared = true;
  auto& folder = InstallActionList().AddActionOf<TInstallFolder>();
  folder.Folder = "C:\\Product";
  folder.Log = false;
  ASSERT_TRUE(SaveResumeState(kTempDir));

  db.Clear();
  InstallActionList().Clear();
  ASSERT_TRUE(LoadResumeState(kTempDir));
  EXPECT_EQ(ReadVariable(&db, "InstallPath", ""), "C:\\Product");
  EXPECT_EQ(db.InstallState, TsxInstallState::isRunAppAfterInstall);
  EXPECT_EQ(db.InstallStateData, "core,2");
  ASSERT_EQ(db.Packages->Count(), 1);
  EXPECT_TRUE(db.Packages->Items(0).Prepared);
  ASSERT_EQ(InstallActionList().Count(), 1);
  auto* loaded = dynamic_cast<TInstallFolder*>(&InstallActionList().Items(0));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Folder, "C:\\Product");
  EXPECT_FALSE(loaded->Log);

  // A damaged action list loads nothing: the database stays as it was.
  WriteHostFile(Host(std::string(kTempDir) + kResumeActionsFile), "<sx2project/>");
  EXPECT_FALSE(LoadResumeState(kTempDir));
  EXPECT_EQ(db.InstallStateData, "core,2");
  // Without a writable folder nothing is saved.
  EXPECT_FALSE(SaveResumeState("C:\\no such folder\\"));
}

TEST_F(EngineInstallation, PrepareResumeRegistersTheCopyOnceAndTheRebootOperations) {
  TEngineInstallation installation;
  // A file replaced at the next reboot is registered on every successful run, resume or not.
  auto& file = InstallActionList().AddActionOf<TInstallFile>();
  file.FileName = "C:\\Product\\busy.dll";
  file.TmpFileName = "C:\\Product\\sx1.tmp";
  file.RenamePending = true;
  WriteHostFile(Host("C:\\Product\\sx1.tmp"), "new");
  ASSERT_TRUE(installation.PrepareResume());
  EXPECT_TRUE(RegValueExists(std::string("HKLM\\") + kSessionManagerKey, kPendingRenamesValue));
  EXPECT_TRUE(RunOnceNames().empty());

  // A pending resume without the engine's copy cannot be prepared.
  InstallActionList().Clear();
  EngineState().ResumePending = true;
  EXPECT_FALSE(installation.PrepareResume());
  ASSERT_FALSE(e_.host.boxes.empty());
  EXPECT_EQ(e_.host.boxes.back().title, "Error");
  EXPECT_EQ(e_.host.boxes.back().text, "Cannot prepare for resuming.");
  EXPECT_TRUE(RunOnceNames().empty());

  // With it: one new "sx" value starting a copy in the temporary folder, all three paths quoted.
  WriteHostFile(Host(std::string(kTempDir) + kResumeCopyFile), "engine");
  ASSERT_TRUE(installation.PrepareResume());
  const auto names = RunOnceNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].rfind("sx", 0), 0u);
  const std::string command = RegReadString(kRunOnce, names[0], "");
  const std::string copy = command.substr(1, command.find('"', 1) - 1);
  EXPECT_EQ(command, "\"" + copy + "\" /resume:\"C:\\users\\user\\Temp\\RESUMEAB\" /exename:\"C:\\Setup Files\\setup.exe\"");
  EXPECT_TRUE(IsResumeCopy(copy)) << copy;
  EXPECT_EQ(ReadHostFile(Host(copy)), "engine");

  // A RunOnce value that cannot be written fails the same way.
  struct NoRunOnce : EngineTestHost {
    using EngineTestHost::EngineTestHost;
    bool RegSetValue(host::RegRoot root, std::string_view key, std::string_view name,
                     const host::RegValue& value) override {
      return key.find("RunOnce") == std::string_view::npos && Inner().RegSetValue(root, key, name, value);
    }
  } refusing{e_.machine.host()};
  host::SetCurrentHost(&refusing);
  EXPECT_FALSE(installation.PrepareResume());
  host::SetCurrentHost(&e_.host);
  ASSERT_FALSE(refusing.boxes.empty());
  EXPECT_EQ(refusing.boxes.back().text, "Cannot prepare for resuming.");
  EXPECT_EQ(RunOnceNames().size(), 1u);

  // The installation's stop for files in use cannot save the state: the same message, and false.
  EngineState().TempDir = "C:\\missing folder\\";
  e_.host.boxes.clear();
  EXPECT_FALSE(InstallServices().SaveResumeState());
  ASSERT_EQ(e_.host.boxes.size(), 1u);
  EXPECT_EQ(e_.host.boxes[0].text, "Cannot prepare for resuming.");
}

TEST_F(EngineInstallation, TheSessionMayEndOnlyWhileAResumableStepRunsAndItsStateIsSaved) {
  TsxMainDatabase& db = e_.Database();
  struct ResetSessionEnding {
    ~ResetSessionEnding() { SessionEnding = false; }
  } reset;
  // The dialogs are showing: nothing to resume.
  EXPECT_FALSE(e_.engine->MainWindow().QueryEndSession());
  // A resumed engine refuses, whatever runs.
  db.InstallState = TsxInstallState::isRunAppBeforeInstall;
  db.InstallStateData = "core,1";
  EngineState().ResumeMode = true;
  EXPECT_FALSE(e_.engine->MainWindow().QueryEndSession());
  EngineState().ResumeMode = false;
  // The state cannot be saved: the session may not end, and nothing is pending.
  EngineState().TempDir = "C:\\missing folder\\";
  EXPECT_FALSE(e_.engine->MainWindow().QueryEndSession());
  EXPECT_FALSE(EngineState().ResumePending);
  EXPECT_FALSE(SessionEnding);
  // Saved: the position survives in the files, the resume is pending and waits stop.
  EngineState().TempDir = kTempDir;
  EXPECT_TRUE(e_.engine->MainWindow().QueryEndSession());
  EXPECT_TRUE(EngineState().ResumePending);
  EXPECT_TRUE(SessionEnding);
  db.Clear();
  ASSERT_TRUE(LoadResumeState(kTempDir));
  EXPECT_EQ(db.InstallState, TsxInstallState::isRunAppBeforeInstall);
  EXPECT_EQ(db.InstallStateData, "core,1");
  EXPECT_FALSE(fs::exists(Host(std::string(kTempDir) + "MainDB.new")));
}

TEST_F(EngineInstallation, LogRecordsFromPluginsAndExpressionsReachTheInstallLog) {
  SetLogFileName("C:\\Product\\install.log");
  fs::create_directories(Host("C:\\Product"));
  // Off until the installation enables it: nothing is written.
  e_.engine->Services().LogAddRecord("Custom", "Key=Value");
  EnableLog();
  WriteVariable(&e_.Database(), "Section", "Custom");
  e_.engine->Services().LogAddRecord("%Section%", "Key=Value=2");
  e_.engine->Installation().LogInstalledFile("C:\\Product\\extra.txt");
  ASSERT_TRUE(IniCloseAll());
  const std::string log = ReadHostFile(Host("C:\\Product\\install.log"));
  EXPECT_NE(log.find("[Custom]\r\nKey=Value=2\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("C:\\Product\\extra.txt="), std::string::npos) << log;
  EXPECT_EQ(e_.engine->Installation().LogPath(), "C:\\Product\\install.log");
}

TEST_F(EngineInstallation, ServicesGiveTextsProgramsAndBoxesFromAnyThread) {
  TsxMainDatabase& db = e_.Database();
  ConditionsEnabled = true;
  TsxPackage& main = db.Packages->AddNew();
  main.TempPath = "C:\\pkg\\";
  WriteHostFile(Host("C:\\pkg\\lng\\ENU.lng"),
                "[Strings]\r\n11=Cannot write %s\r\n[Uninstall.Texts]\r\nTitle=Removing %AppName%\r\n");
  WriteVariable(&db, "AppName", "Demo");
  TInstallServices& services = InstallServices();
  EXPECT_EQ(&services, &e_.engine->InstallServices());
  EXPECT_EQ(services.LanguageString(11), "Cannot write %s");
  EXPECT_EQ(services.LanguageSectionNames(), (std::vector<std::string>{"Strings", "Uninstall.Texts"}));
  EXPECT_EQ(services.LanguageSectionLines("Uninstall.Texts"),
            (std::vector<std::string>{"Title=Removing %AppName%"}));  // raw: the log expands

  // Programs for the uninstaller: the moment's items whose condition holds, in component order.
  TsxComponent& first = db.Components->AddNew();
  TsxComponent& second = db.Components->AddNew();
  auto add = [](TsxComponent& c, const char* cmd, TsxWhenStart when, const char* condition) {
    TsxRunApp& app = c.RunApps->AddNew();
    app.CmdLine = cmd;
    app.WhenStart = when;
    app.Condition = condition;
  };
  add(first, "a.exe", TsxWhenStart::before_uninstall, "");
  add(first, "b.exe", TsxWhenStart::after_uninstall, "");
  add(second, "c.exe", TsxWhenStart::before_uninstall, "0");
  add(second, "d.exe", TsxWhenStart::before_uninstall, "1");
  std::vector<std::string> before;
  for (TsxRunApp* app : services.UninstallRunApps(TsxWhenStart::before_uninstall)) before.push_back(app->CmdLine);
  EXPECT_EQ(before, (std::vector<std::string>{"a.exe", "d.exe"}));

  // The state flags are the engine's.
  services.SetAborted(true);
  EXPECT_TRUE(EngineState().Aborted);
  services.SetResumePending(true);
  EXPECT_TRUE(EngineState().ResumePending);
  EXPECT_EQ(services.ExeName(), "C:\\Setup Files\\setup.exe");
  EXPECT_FALSE(services.RegisterServer("C:\\x.dll", true));

  // A box asked for on the copy thread is shown by the main thread, which keeps serving its queue.
  SetMainThread();
  std::atomic<bool> done{false};
  int answer = 0;
  std::thread copyThread([&] {
    answer = services.ShowErrorBox("Disk full");
    done = true;
  });
  while (!done) PumpMessages();
  copyThread.join();
  EXPECT_EQ(answer, 1);
  ASSERT_FALSE(e_.host.boxes.empty());
  EXPECT_EQ(e_.host.boxes.back().text, "Disk full");
  EXPECT_EQ(e_.host.boxes.back().title, "Error");
}

}  // namespace
}  // namespace sx::test
