// Run-application items in this process: moments and the plug-in record, show codes, uninstall
// records, a plug-in's veto, false conditions, exit codes, programs not waited for, blanks in
// paths, working folders, and continuing after the item a reboot interrupted.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "database/sx_main_database.h"
#include "engine/engine_installation.h"
#include "engine/run_app_items.h"
#include "tests/engine/engine_test_support.h"

namespace sx::test {
namespace {

// The real installation with its log records caught.
class RecordingInstallation : public TEngineInstallation {
 public:
  std::vector<std::string> records;
  void LogAddRecord(std::string_view section, std::string_view key, std::string_view value) override {
    records.push_back("[" + std::string(section) + "] " + std::string(key) + "=" + std::string(value));
  }
};

class RunAppItemsTest : public ::testing::Test {
 protected:
  RunAppItemsTest() {
    auto installation = std::make_unique<RecordingInstallation>();
    installation_ = installation.get();
    run_.engine->SetInstallation(std::move(installation));
    ConditionsEnabled = true;
    // The program every item starts: it logs its arguments and its folder, then exits with the
    // code in its first argument when that is a number.
    Program("drive_c/tools/note.exe");
    Program("drive_c/my tools/note.exe");
    std::filesystem::create_directories(run_.machine.HostPath("drive_c/work dir"));
  }

  void Program(const std::string& relative) {
    const std::string path = run_.machine.HostPath(relative);
    WriteHostFile(path, "#!/bin/sh\necho \"$*|$(pwd)\" >> '" + ProgramLog() +
                            "'\ncase \"$1\" in [0-9]*) exit \"$1\";; esac\nexit 0\n");
  }
  std::string ProgramLog() const { return run_.machine.folder() + "/programs.log"; }

  // Loads the project and the recorder (logging into recorder.log) as the main package's plug-in.
  void Load(const std::string& components, const std::string& script = "") {
    TsxMainDatabase& db = run_.Database();
    db.LoadFromString(R"(<sx2project><variables><var name="Tools" value="C:\tools"/></variables>
        <packages><package id="main" filename="setup"><plugins><plugin id="recorder"/></plugins>
        <variables><var name="Where" value="package"/></variables><components>)" +
                          components + "</components></package></packages></sx2project>",
                      "sx2project");
    const std::string dll = run_.machine.HostPath("drive_c/plug/recorder.dll");
    std::filesystem::create_directories(run_.machine.HostPath("drive_c/plug"));
    std::filesystem::copy_file(SX_RECORDER_PLUGIN, dll);
    WriteHostFile(run_.machine.HostPath("drive_c/plug/recorder.script"),
                  "log " + run_.machine.folder() + "/recorder.log\n" + script);
    ASSERT_TRUE(run_.engine->Plugins().LoadPlugin(db.Packages->Items(0), "C:\\plug\\recorder.dll"));
  }
  bool Items(TsxWhenStart moment) { return ForMainComponents(RunAppItems, moment); }
  std::vector<std::string> Events() {
    std::vector<std::string> lines;
    std::istringstream in(ReadHostFile(run_.machine.folder() + "/recorder.log"));
    for (std::string line; std::getline(in, line);)
      if (line.find("PROCESSITEM ") != std::string::npos) lines.push_back(line.substr(line.find("EV_")));
    return lines;
  }
  std::string Programs() { return ReadHostFile(ProgramLog()); }

  InProcessEngine run_;
  RecordingInstallation* installation_ = nullptr;
};

TEST_F(RunAppItemsTest, MomentsRecordsShowCodesAndFolders) {
  Load(R"(<component id="core"><runapps>
      <runapp cmdline="%Tools%\note.exe" arg="0 %Where%" workdir='"C:\work dir"' showcmd="min" msg="Hi" whenstart="before_install"/>
      <runapp cmdline="C:\my tools\note.exe" arg="after" showcmd="hide" whenstart="after_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="never" condition="0" whenstart="before_install"/>
    </runapps></component>)");
  EXPECT_TRUE(Items(TsxWhenStart::before_install));
  EXPECT_EQ(Programs(), "0 package|" + run_.machine.HostPath("drive_c/work dir") + "\n");
  EXPECT_TRUE(Items(TsxWhenStart::after_install));
  EXPECT_EQ(Events(), (std::vector<std::string>{
                          "EV_BEFOREPROCESSITEM stage=6 cmdline=\"C:\\tools\\note.exe\" args=\"0 package\" "
                          "workdir=\"\"\"C:\\work dir\"\"\" show=1 msg=\"Hi\" when=0",
                          "EV_AFTERPROCESSITEM stage=6 cmdline=\"C:\\tools\\note.exe\" args=\"0 package\" "
                          "workdir=\"\"\"C:\\work dir\"\"\" show=1 msg=\"Hi\" when=0",
                          "EV_BEFOREPROCESSITEM stage=6 cmdline=\"C:\\my tools\\note.exe\" args=\"after\" "
                          "workdir=\"\" show=3 msg=\"\" when=1",
                          "EV_AFTERPROCESSITEM stage=6 cmdline=\"C:\\my tools\\note.exe\" args=\"after\" "
                          "workdir=\"\" show=3 msg=\"\" when=1"}));
  EXPECT_EQ(run_.Database().InstallState, TsxInstallState::isUnknown);
  EXPECT_EQ(run_.Database().InstallStateData, "");
}

TEST_F(RunAppItemsTest, UninstallItemsAreRecordedNotRun) {
  Load(R"(<component id="a"><runapps>
      <runapp cmdline="C:\Bob's App\remove.exe" arg="/x" workdir="C:\Bob's App" showcmd="min" msg="Bye" whenstart="before_uninstall"/>
      <runapp cmdline="C:\tools\note.exe" whenstart="after_uninstall" flags="dont_wait,check_exitcode" showcmd="max"/>
    </runapps></component>
    <component id="b"><runapps>
      <runapp cmdline="C:\tools\note.exe" whenstart="before_uninstall" showcmd="hide"/>
    </runapps></component>)");
  EXPECT_TRUE(Items(TsxWhenStart::before_uninstall));
  EXPECT_TRUE(Items(TsxWhenStart::after_uninstall));
  EXPECT_EQ(installation_->records,
            (std::vector<std::string>{
                "[PreRunApp] 0='C:\\Bob''s App\\remove.exe','/x','C:\\Bob''s App',3,'Bye',1,0",
                "[PreRunApp] 1='C:\\tools\\note.exe','','',0,'',1,0",
                "[RunApp] 2='C:\\tools\\note.exe','','',2,'',0,1"}));
  EXPECT_EQ(Programs(), "");
  EXPECT_EQ(Events().size(), 6u);
}

TEST_F(RunAppItemsTest, VetoConditionsAndExitCodes) {
  Load(R"(<component id="c"><runapps>
      <runapp cmdline="C:\tools\note.exe" arg="vetoed" whenstart="before_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="3 tolerated" whenstart="before_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="3 checked" flags="check_exitcode" whenstart="before_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="not reached" whenstart="before_install"/>
    </runapps></component>)",
       "on EV_BEFOREPROCESSITEM args=vetoed reply 1\n");
  EXPECT_FALSE(Items(TsxWhenStart::before_install));
  const std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(Programs(), "3 tolerated|" + here + "\n3 checked|" + here + "\n");
  // The vetoed item has no EV_AFTERPROCESSITEM; the failed one neither.
  const auto events = Events();
  EXPECT_EQ(events.size(), 4u);
  EXPECT_EQ(run_.Database().InstallStateData, "");

  // A program that cannot start fails only with check_exitcode, waited for or not.
  run_.Database().Packages->Items(0).Components->Clear();
  TsxMainDatabase& db = run_.Database();
  TXMLTag tag;
  tag.Parse(R"(<components><component id="d"><runapps>
      <runapp cmdline="C:\missing.exe" whenstart="before_install"/>
      <runapp cmdline="C:\missing.exe" flags="dont_wait" whenstart="before_install"/>
    </runapps></component></components>)");
  db.Packages->Items(0).Components->MergeFrom(tag);
  EXPECT_TRUE(Items(TsxWhenStart::before_install));
  db.Packages->Items(0).Components->Items(0).RunApps->Items(1).Flags.Include(TsxFlag::check_exitcode);
  EXPECT_FALSE(Items(TsxWhenStart::before_install));
}

TEST_F(RunAppItemsTest, ProgramsNotWaitedForRunOn) {
  const std::string fifo = run_.machine.folder() + "/gate";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteHostFile(run_.machine.HostPath("drive_c/tools/wait.exe"),
                "#!/bin/sh\nread line < '" + fifo + "'\necho \"released $line\" >> '" + ProgramLog() + "'\n");
  Load(R"(<component id="w"><runapps>
      <runapp cmdline="C:\tools\wait.exe" flags="dont_wait" whenstart="after_install"/>
    </runapps></component>)");
  EXPECT_TRUE(Items(TsxWhenStart::after_install));  // returns while the program waits
  EXPECT_EQ(Programs(), "");
  {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "go\n", 3), 3);
    ::close(fd);
  }
  for (int i = 0; i < 300 && Programs().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(Programs(), "released go\n");
}

TEST_F(RunAppItemsTest, ResumingContinuesAfterTheInterruptedItem) {
  Load(R"(<component id="first"><runapps>
      <runapp cmdline="C:\tools\note.exe" arg="first" whenstart="before_install"/></runapps></component>
    <component id="a,b"><runapps>
      <runapp cmdline="C:\tools\note.exe" arg="a0" whenstart="before_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="a1" whenstart="before_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="a2" whenstart="before_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="a3" whenstart="before_install"/></runapps></component>
    <component id="last"><runapps>
      <runapp cmdline="C:\tools\note.exe" arg="last" whenstart="before_install"/></runapps></component>)");
  // The session ended while item 1 of "a,b" ran (an ID may hold commas).
  run_.Database().InstallStateData = "a,b,1";
  EXPECT_TRUE(Items(TsxWhenStart::before_install));
  const std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(Programs(), "a2|" + here + "\na3|" + here + "\nlast|" + here + "\n");
  EXPECT_EQ(run_.Database().InstallStateData, "");
}

TEST_F(RunAppItemsTest, UninstallRecordQuotesEveryField) {
  EXPECT_EQ(UninstallRecord("a'b", "", "''", 1, "it's", true, false), "'a''b','','''''',1,'it''s',1,0");
}

}  // namespace
}  // namespace sx::test
