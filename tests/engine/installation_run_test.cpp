// The engine with its real installation, end to end: setups built with sxbuild run on fresh
// machines with the recorder plug-in. A project of programs to run installs and exits 0 with the
// installation's per-kind events in order; one refused at the closing dialogs is rolled back; one
// that needs steps this engine cannot carry out is refused before anything changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/engine/setup_run.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

constexpr char kProject[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="RunTest"/>
    <var name="AppName" value="Run"/>
    <var name="InstallPath" value="C:\Product\Run"/>
    <var name="Uninstall" value="0"/>
    %EXTRA%
  </variables>
  <packages><package id="main" main="1" filename="setup"><plugins><plugin id="wizard"/></plugins></package></packages>
  <components><component id="core">
    <runapps>
      <runapp cmdline="C:\tools\note.exe" arg="before" whenstart="before_install"/>
      <runapp cmdline="C:\tools\note.exe" arg="after" whenstart="after_install"/>
    </runapps>
    %ITEMS%
  </component></components>
</sx2project>)";

std::string ProjectText(const std::string& variables = "", const std::string& items = "") {
  std::string project = kProject;
  project.replace(project.find("%EXTRA%"), 7, variables);
  project.replace(project.find("%ITEMS%"), 7, items);
  return project;
}

// The events from EV_BEFOREINSTALL to EV_FINISH, with the fields that tell the stages apart.
std::vector<std::string> InstallEvents(const SetupRun& run) {
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string& line : run.Events()) {
    std::istringstream words(line);
    std::string id, event, field;
    words >> id >> event;
    if (event == "EV_BEFOREINSTALL") inside = true;
    if (!inside) continue;
    std::string brief = event;
    if (event.find("PROCESSITEM") != std::string::npos || event == "EV_SHOWDIALOGS" || event == "EV_FINISH") {
      words >> field;
      brief += " " + field;
    }
    if (event == "EV_BEFOREPROCESSITEM" || event == "EV_AFTERPROCESSITEM") {
      std::string cmdline, args;
      words >> cmdline >> args;
      brief += " " + args;
    }
    // The setup's own archive entries (databases, language files, plug-ins) pass the file phase
    // as skipped items; only the phases' framing matters here.
    if (brief != "EV_PROCESSITEM skipped=1") out.push_back(brief);
    if (event == "EV_FINISH") break;
  }
  return out;
}

class InstallationRun : public SetupTest {
 protected:
  void SetUp() override {
    WriteHostFile(Machine().HostPath("drive_c/tools/note.exe"),
                  "#!/bin/sh\necho \"$*\" >> '" + Machine().folder() + "/programs.log'\n");
    ::chmod(Machine().HostPath("drive_c/tools/note.exe").c_str(), 0755);
  }
  SetupRun BuildAndRun(const std::string& project, const std::string& script = "") {
    Project().Project(project);
    Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
    AddRecorder("wizard", script);
    Build();
    std::filesystem::remove(Machine().folder() + "/programs.log");
    return Run();
  }
  std::string Programs() { return ReadHostFile(Machine().folder() + "/programs.log"); }
};

TEST_F(InstallationRun, ProgramsOnlyProjectInstallsWithEveryKindFramed) {
  const auto before = TempEntries();
  const SetupRun run = BuildAndRun(ProjectText());
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_EQ(InstallEvents(run),
            (std::vector<std::string>{
                "EV_BEFOREINSTALL",
                // programs before the installation
                "EV_BEFOREPROCESSITEMS stage=6", "EV_BEFOREPROCESSITEM stage=6 args=\"before\"",
                "EV_AFTERPROCESSITEM stage=6 args=\"before\"", "EV_AFTERPROCESSITEMS stage=6",
                // files, servers, registry, INI entries, fonts, shortcuts: nothing to do, framed all the same
                "EV_BEFOREPROCESSITEMS stage=0", "EV_AFTERPROCESSITEMS stage=0",
                "EV_BEFOREPROCESSITEMS stage=4", "EV_AFTERPROCESSITEMS stage=4",
                "EV_BEFOREPROCESSITEMS stage=1", "EV_AFTERPROCESSITEMS stage=1",
                "EV_BEFOREPROCESSITEMS stage=2", "EV_AFTERPROCESSITEMS stage=2",
                "EV_BEFOREPROCESSITEMS stage=5", "EV_AFTERPROCESSITEMS stage=5",
                "EV_BEFOREPROCESSITEMS stage=3", "EV_AFTERPROCESSITEMS stage=3",
                // programs after the installation
                "EV_BEFOREPROCESSITEMS stage=6", "EV_BEFOREPROCESSITEM stage=6 args=\"after\"",
                "EV_AFTERPROCESSITEM stage=6 args=\"after\"", "EV_AFTERPROCESSITEMS stage=6",
                "EV_AFTERINSTALL", "EV_SHOWDIALOGS after=1", "EV_FINISH success=1"}))
      << run.log;
  EXPECT_EQ(Programs(), "before\nafter\n");
  // The log's folder was made for it and stays; the placeholder trace is gone.
  EXPECT_TRUE(fs::is_directory(Machine().HostPath("drive_c/Product/Run")));
  EXPECT_FALSE(run.TraceHas("\ninstall \n"));
  EXPECT_EQ(TempEntries(), before);
}

TEST_F(InstallationRun, RefusedAtTheClosingDialogsRollsBack) {
  const SetupRun run = BuildAndRun(ProjectText(), "on EV_SHOWDIALOGS after=1 reply 1");
  EXPECT_EQ(run.exitCode, 255) << run.trace;
  const auto events = InstallEvents(run);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), "EV_FINISH success=0") << run.log;
  // The rollback ran under the language's status text, and removed the folders the run made.
  EXPECT_NE(run.log.find("CM_SHOWSTATUSTEXT text=\"Undoing the changes...\""), std::string::npos) << run.log;
  EXPECT_FALSE(fs::exists(Machine().HostPath("drive_c/Product/Run")));
  EXPECT_FALSE(fs::exists(Machine().HostPath("drive_c/Product")));
  // Started programs cannot be undone: both ran.
  EXPECT_EQ(Programs(), "before\nafter\n");

  // A plug-in that takes the programs over (a non-zero EV_BEFOREPROCESSITEMS) leaves them unstarted.
  const SetupRun vetoed = BuildAndRun(ProjectText(), "on EV_BEFOREPROCESSITEMS stage=6 reply 1");
  EXPECT_EQ(vetoed.exitCode, 0) << vetoed.trace;
  EXPECT_EQ(Programs(), "");
}

TEST_F(InstallationRun, ItemsOfEveryKindReachTheMachine) {
  const SetupRun run = BuildAndRun(ProjectText(
      R"(<var name="RUNHOME" type="envvar" value="%InstallPath%"/>)",
      R"(<registry><reg key="HKLM\Software\Run" param="Version" value="1"/></registry>
         <inifiles><ini file="%InstallPath%\run.ini" section="Main" param="Mode" value="fast"/></inifiles>
         <shortcuts><shortcut name="%InstallPath%\Links\Run" cmdline="%InstallPath%\run.ini"
                              description="Run settings"/></shortcuts>)"));
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_EQ(InstallEvents(run).back(), "EV_FINISH success=1") << run.log;
  const auto read = [&](const std::string& relative) {
    std::ifstream in(Machine().HostPath(relative), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  // The registry value, in Wine's format.
  const std::string hive = read("system.reg");
  const size_t key = hive.find("[Software\\\\Run]");
  ASSERT_NE(key, std::string::npos) << hive;
  EXPECT_NE(hive.find("\"Version\"=\"1\"", key), std::string::npos) << hive;
  // The INI entry.
  EXPECT_EQ(read("drive_c/Product/Run/run.ini"), "[Main]\r\nMode=fast\r\n\r\n");
  // The shortcut: a shell link naming its target.
  const std::string link = read("drive_c/Product/Run/Links/Run.lnk");
  ASSERT_GE(link.size(), 76u);
  EXPECT_EQ(link.substr(0, 4), std::string("\x4c\0\0\0", 4));
  EXPECT_NE(link.find("C:\\Product\\Run\\run.ini"), std::string::npos);
  // The user's environment variable.
  const std::string user = read("user.reg");
  const size_t environment = user.find("[Environment]");
  ASSERT_NE(environment, std::string::npos) << user;
  EXPECT_NE(user.find("\"RUNHOME\"=\"C:\\\\Product\\\\Run\"", environment), std::string::npos) << user;
}

}  // namespace
}  // namespace sx::test
