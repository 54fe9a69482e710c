// The main flow end to end: setups built with sxbuild run on fresh machines with the recorder
// plug-in; the order of events, failures that end the run after EV_START, launch refusals,
// packages found, supplied and refused, silent settings and the built-in variables.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "tests/engine/setup_run.h"

namespace sx::test {
namespace {

// A product in two used packages and one that no selected component needs; a program runs
// before the dialogs.
constexpr char kProject[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="FlowTest"/>
    <var name="AppName" value="Flow"/>
    <var name="Languages" value="ENU,DEU"/>
    <var name="InstallPath" value="C:\Flow"/>
  </variables>
  <packages>
    <package id="main" main="1" filename="setup"><plugins><plugin id="wizard"/></plugins></package>
    <package id="extra" filename="extra"><plugins><plugin id="second"/></plugins></package>
    <package id="unused" filename="unused"/>
  </packages>
  <components>
    <component id="core">
      <runapps><runapp cmdline="C:\tools\note.exe" arg="before dialogs" whenstart="before_dialogs"/></runapps>
    </component>
    <component id="more" package="extra"/>
    <component id="gone" package="unused" condition="0"/>
  </components>
  <features>
    <feature id="all"><components><component id="core"/><component id="more"/><component id="gone"/></components></feature>
  </features>
  <installtypes>
    <installtype id="full" default="1"><features><feature id="all"/></features></installtype>
    <installtype id="none"/>
  </installtypes>
</sx2project>)";

// The second word of each line (the event), prefixed by the plug-in, with the few fields that
// tell the stages apart.
std::vector<std::string> Brief(const SetupRun& run) {
  std::vector<std::string> out;
  for (const std::string& line : run.Events()) {
    std::istringstream words(line);
    std::string id, event, field;
    words >> id >> event;
    std::string brief = id + " " + event;
    if (event == "EV_SHOWDIALOGS" || event == "EV_FINISH" || event == "EV_BEFOREPROCESSITEMS" ||
        event == "EV_AFTERPROCESSITEMS" || event == "EV_BEFOREPROCESSITEM" ||
        event == "EV_AFTERPROCESSITEM" || event == "EV_LANGUAGECHANGED") {
      words >> field;
      brief += " " + field;
    }
    // EV_PROCESSITEM comes for each of the setup's own archive entries, which the file phase
    // passes over; the order of the rest is what this test is about.
    if (event == "EV_PROCESSITEM") continue;
    if (event.rfind("EV_", 0) == 0 || event.rfind("send", 0) == 0 || event.rfind("get", 0) == 0)
      out.push_back(brief);
  }
  return out;
}

class MainFlow : public SetupTest {
 protected:
  explicit MainFlow(const std::string& ini = "") : SetupTest(ini) {}
  void SetUp() override {
    Project().Project(kProject);
    Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
    Project().Write("packages/main/lng/DEU.lng", kGermanStrings);
    WriteHostFile(Machine().HostPath("drive_c/tools/note.exe"),
                  "#!/bin/sh\necho \"$*|$(pwd)\" >> '" + Machine().folder() + "/programs.log'\n");
  }
  void Recorders(const std::string& wizardScript, const std::string& secondScript = "") {
    AddRecorder("wizard", wizardScript);
    AddRecorder("second", secondScript);
  }
};

TEST_F(MainFlow, EventsInOrderFromLoadingToUnloading) {
  Recorders("");
  Build();
  ASSERT_EQ(::unlink(Machine().HostPath("drive_c/setup/unused.sxp").c_str()), 0);
  const auto before = TempEntries();
  const SetupRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_EQ(Brief(run), (std::vector<std::string>{
                            "wizard EV_SETSTARTUPINFO", "wizard EV_LOAD",
                            "wizard EV_LANGUAGECHANGED lang=\"ENU\"",
                            "wizard EV_FEATURESTATECHANGED", "wizard EV_INSTALLTYPECHANGED",
                            "wizard EV_CHECKLAUNCHCONDITIONS", "wizard EV_START",
                            "wizard EV_BEFOREPROCESSITEMS stage=6", "wizard EV_BEFOREPROCESSITEM stage=6",
                            "wizard EV_AFTERPROCESSITEM stage=6", "wizard EV_AFTERPROCESSITEMS stage=6",
                            "wizard EV_SHOWDIALOGS after=0",
                            "second EV_SETSTARTUPINFO", "second EV_LOAD",
                            "second EV_LANGUAGECHANGED lang=\"ENU\"",
                            "wizard EV_BEFOREINSTALL", "second EV_BEFOREINSTALL",
                            // the installation: every kind framed, in its order (programs, files,
                            // servers, registry, INI entries, fonts, shortcuts, programs)
                            "wizard EV_BEFOREPROCESSITEMS stage=6", "second EV_BEFOREPROCESSITEMS stage=6",
                            "wizard EV_AFTERPROCESSITEMS stage=6", "second EV_AFTERPROCESSITEMS stage=6",
                            "wizard EV_BEFOREPROCESSITEMS stage=0", "second EV_BEFOREPROCESSITEMS stage=0",
                            "wizard EV_AFTERPROCESSITEMS stage=0", "second EV_AFTERPROCESSITEMS stage=0",
                            "wizard EV_BEFOREPROCESSITEMS stage=4", "second EV_BEFOREPROCESSITEMS stage=4",
                            "wizard EV_AFTERPROCESSITEMS stage=4", "second EV_AFTERPROCESSITEMS stage=4",
                            "wizard EV_BEFOREPROCESSITEMS stage=1", "second EV_BEFOREPROCESSITEMS stage=1",
                            "wizard EV_AFTERPROCESSITEMS stage=1", "second EV_AFTERPROCESSITEMS stage=1",
                            "wizard EV_BEFOREPROCESSITEMS stage=2", "second EV_BEFOREPROCESSITEMS stage=2",
                            "wizard EV_AFTERPROCESSITEMS stage=2", "second EV_AFTERPROCESSITEMS stage=2",
                            "wizard EV_BEFOREPROCESSITEMS stage=5", "second EV_BEFOREPROCESSITEMS stage=5",
                            "wizard EV_AFTERPROCESSITEMS stage=5", "second EV_AFTERPROCESSITEMS stage=5",
                            "wizard EV_BEFOREPROCESSITEMS stage=3", "second EV_BEFOREPROCESSITEMS stage=3",
                            "wizard EV_AFTERPROCESSITEMS stage=3", "second EV_AFTERPROCESSITEMS stage=3",
                            "wizard EV_BEFOREPROCESSITEMS stage=6", "second EV_BEFOREPROCESSITEMS stage=6",
                            "wizard EV_AFTERPROCESSITEMS stage=6", "second EV_AFTERPROCESSITEMS stage=6",
                            "wizard EV_AFTERINSTALL", "second EV_AFTERINSTALL",
                            "wizard EV_SHOWDIALOGS after=1", "second EV_SHOWDIALOGS after=1",
                            "wizard EV_FINISH success=1", "second EV_FINISH success=1",
                            "second EV_UNLOAD", "wizard EV_UNLOAD"}))
      << run.log;
  // The unused package was never asked for.
  EXPECT_EQ(run.log.find("EV_GETPACKAGE"), std::string::npos);
  EXPECT_EQ(ReadHostFile(Machine().folder() + "/programs.log"), "before dialogs|" + Machine().HostPath("drive_c/setup") + "\n");
  EXPECT_EQ(TempEntries(), before);
}

// Every way a plug-in ends the run after EV_START: EV_FINISH 0 reaches every plug-in that saw
// EV_START, the run fails and leaves no temporary folder.
TEST_F(MainFlow, PluginRefusalsAfterStartEndWithFinishZero) {
  struct Case {
    std::string rule;
    std::string lastEvent;  // the last wizard event before EV_FINISH
  };
  const Case cases[] = {
      {"on EV_CHECKLAUNCHCONDITIONS reply 1", "wizard EV_CHECKLAUNCHCONDITIONS"},
      {"on EV_SHOWDIALOGS after=0 reply 1", "wizard EV_SHOWDIALOGS after=0"},
      {"on EV_BEFOREINSTALL reply 1", "wizard EV_BEFOREINSTALL"},
      {"on EV_SHOWDIALOGS after=1 reply 1", "wizard EV_SHOWDIALOGS after=1"},
      {"on EV_START send CM_ABORTINSTALL", "wizard send"},  // EV_ABORTINSTALL came inside it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    Recorders(c.rule);
    Build();
    const auto before = TempEntries();
    const SetupRun run = Run();
    EXPECT_EQ(run.exitCode, 255);
    std::vector<std::string> events = Brief(run);
    auto finish = std::find(events.begin(), events.end(), "wizard EV_FINISH success=0");
    if (c.rule.find("CHECKLAUNCH") != std::string::npos) {
      // Refused before EV_START: no EV_START, no EV_FINISH.
      EXPECT_EQ(finish, events.end()) << run.log;
      EXPECT_EQ(std::count(events.begin(), events.end(), "wizard EV_START"), 0);
    } else {
      ASSERT_NE(finish, events.end()) << run.log;
      EXPECT_EQ(*(finish - 1), c.lastEvent) << run.log;
    }
    if (c.rule.find("ABORT") != std::string::npos) {
      EXPECT_EQ(std::count(events.begin(), events.end(), "wizard EV_ABORTINSTALL"), 1) << run.log;
      EXPECT_EQ(std::count(events.begin(), events.end(), "wizard EV_SHOWDIALOGS after=0"), 0);
    }
    EXPECT_EQ(events.back(), "wizard EV_UNLOAD");
    EXPECT_EQ(std::count(events.begin(), events.end(), "wizard EV_FINISH success=1"), 0);
    EXPECT_EQ(TempEntries(), before);
  }
}

TEST_F(MainFlow, WithoutInstallTypesEveryFeatureWhoseConditionHoldsIsSelected) {
  std::string project = kProject;
  project.erase(project.find("<installtypes>"), project.find("</installtypes>") + 15 - project.find("<installtypes>"));
  project.replace(project.find("<feature id=\"all\">"), 0,
                  R"(<feature id="off" condition="0"><components><component id="core"/></components></feature>)");
  Project().Project(project);
  Recorders("");
  Build();
  const SetupRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_NE(run.log.find("wizard EV_FEATURESTATECHANGED id=\"all\" state=1"), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find("id=\"off\""), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find("EV_INSTALLTYPECHANGED"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("second EV_LOAD"), std::string::npos) << run.log;
}

TEST_F(MainFlow, SecondSetupOfTheProductIsRefusedWhileTheFirstRuns) {
  Recorders("");
  Build();
  // The test holds the product's guard, as a running setup would.
  auto guard = Machine().host().CreateNamedMutex("FlowTest setup");
  ASSERT_NE(guard, nullptr);
  ASSERT_FALSE(guard->AlreadyExisted());
  SetupRun run = Run();
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.TraceHas("messagebox title=\"Flow\" text=\"Flow setup is running already.\" style=0x00012030"))
      << run.trace;
  EXPECT_EQ(run.log.find("EV_START"), std::string::npos);
  guard.reset();
  run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.trace;
}

class MainFlowOn98 : public MainFlow {
 protected:
  MainFlowOn98() : MainFlow("[System]\nPlatform=9x\nVersion=4.10.2222\n[Locale]\nUser=DEU\nInstalled=ENU,DEU\n") {}
};

TEST_F(MainFlowOn98, LaunchRefusalsInTheChosenLanguage) {
  struct Case {
    std::string variables;
    std::string text;
  };
  const Case cases[] = {
      {R"(<var name="SupportedOS" value="nt,2K xp"/>)", "Diese Windows-Version wird nicht unterstuetzt."},
      {R"(<var name="SupportedOS" value="NT4,ME"/>)", "Diese Windows-Version wird nicht unterstuetzt."},
      {R"(<var name="MinOSVersion" value="4.10.2223"/>)", "Setup braucht Windows 4.10.2223 oder neuer."},
      {R"(<var name="MinOSVersion" value="5"/>)", "Setup braucht Windows 5 oder neuer."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variables);
    std::string project = kProject;
    project.replace(project.find("<variables>") + 11, 0, c.variables);
    Project().Project(project);
    Recorders("");
    Build();
    const SetupRun run = Run();
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_TRUE(run.TraceHas("text=\"" + c.text + "\"")) << run.trace;
    EXPECT_EQ(run.log.find("EV_START"), std::string::npos);
    EXPECT_EQ(run.log.find("EV_CHECKLAUNCHCONDITIONS"), std::string::npos);
  }
  // What the system is passes: 98 among the list, the major version alone, a missing build.
  for (const char* variables : {R"(<var name="SupportedOS" value="NT, 98"/>)",
                                R"(<var name="MinOSVersion" value="4"/>)",
                                R"(<var name="MinOSVersion" value="4.10.x"/>)"}) {
    SCOPED_TRACE(variables);
    std::string project = kProject;
    project.replace(project.find("<variables>") + 11, 0, variables);
    Project().Project(project);
    Build();
    EXPECT_EQ(Run().exitCode, 0);
  }
}

class MainFlowWithoutRights : public MainFlow {
 protected:
  MainFlowWithoutRights() : MainFlow("[System]\nAdmin=0\n") {}
};

TEST_F(MainFlowWithoutRights, AdministratorRightsAndLaunchConditions) {
  std::string project = kProject;
  project.replace(project.find("<variables>") + 11, 0, R"(<var name="AdminRights" value="1"/>)");
  Project().Project(project);
  Recorders("");
  Build();
  SetupRun run = Run();
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.TraceHas("text=\"Setup needs administrator rights.\"")) << run.trace;

  project = kProject;
  project.replace(project.find("</sx2project>"), 0,
                  R"(<launchconditions><launchcondition condition="1"/>
                     <launchcondition condition="0" msg="%AppName% needs more."/>
                     <launchcondition condition="0" msg="never shown"/></launchconditions>)");
  Project().Project(project);
  Build();
  run = Run();
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.TraceHas("text=\"Flow needs more.\"")) << run.trace;
  EXPECT_FALSE(run.TraceHas("never shown"));
}

TEST_F(MainFlow, PackagesSuppliedByAPluginOrMissingOrDamaged) {
  // A plug-in names the folder where the package is.
  Recorders("on EV_GETPACKAGE set-folder C:\\disk2\nmute EV_GETPACKAGE\non EV_GETPACKAGE reply 1");
  Build();
  const std::string extra = Machine().HostPath("drive_c/setup/extra.sxp");
  const std::string moved = Machine().HostPath("drive_c/disk2/extra.sxp");
  std::filesystem::create_directories(Machine().HostPath("drive_c/disk2"));
  std::filesystem::rename(extra, moved);
  SetupRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_NE(run.log.find("second EV_LOAD"), std::string::npos) << run.log;

  // Nobody answers: the run is aborted and the box names the file.
  Recorders("");
  Build();
  std::filesystem::remove(extra);
  run = Run();
  EXPECT_EQ(run.exitCode, 255);
  const std::vector<std::string> events = Brief(run);
  auto get = std::find(events.begin(), events.end(), "wizard EV_GETPACKAGE");
  ASSERT_NE(get, events.end()) << run.log;
  EXPECT_EQ(*(get + 1), "wizard EV_ABORTINSTALL");
  EXPECT_TRUE(run.TraceHas("messagebox title=\"File not found\" text=\"File \\\"extra.sxp\\\" was not found on your "
                           "computer. Setup is unable to proceed.\\rIf this problem persists contact the software vendor.\""))
      << run.trace;
  EXPECT_NE(std::find(events.begin(), events.end(), "wizard EV_FINISH success=0"), events.end());

  // A damaged package: cut short.
  std::filesystem::copy_file(moved, extra);
  std::filesystem::resize_file(extra, std::filesystem::file_size(extra) - 100);
  run = Run();
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.TraceHas("messagebox title=\"Invalid package\" text=\"Invalid package size!\\r\\rPackage "
                           "\\\"C:\\\\setup\\\\extra.sxp\\\" has been corrupted, installation impossible.\""))
      << run.trace;
  // A damaged main package: the same box, before any plug-in.
  std::string setup = ReadHostFile(Machine().HostPath("drive_c/setup/setup.exe"));
  setup += "appended";
  setup[setup.size() - 30] ^= 1;  // the trailer's size field no longer fits
  WriteHostFile(Machine().HostPath("drive_c/setup/setup.exe"), setup);
  ::chmod(Machine().HostPath("drive_c/setup/setup.exe").c_str(), 0755);
  run = Run();
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.TraceHas("title=\"Invalid package\"")) << run.trace;
  EXPECT_EQ(run.log, "");
}

TEST_F(MainFlow, BuiltInVariablesAsPluginsReadThem) {
  Recorders("on EV_START get CM_GETVARIABLE ParamStr\non EV_START get CM_GETVARIABLE SilentMode\n"
            "on EV_START get CM_GETVARIABLE InstallPath\non EV_START get CM_GETVARIABLE SXFLOWTEST\n"
            "on EV_START get CM_GETVARIABLE SourcePath\non EV_START get CM_GETVARIABLE LangID\n");
  Build();
  SetupRun run = Run({"/s", "C:\\Program Files\\x", "plain"}, "setup.exe",
                     "InstallPath=C:\\FromEnv SXFLOWTEST=env");
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_NE(run.log.find("get CM_GETVARIABLE \"ParamStr\" -> size=30 rc=0 \"/s \"\"C:\\Program Files\\x\"\" plain\""),
            std::string::npos) << run.log;
  EXPECT_NE(run.log.find("get CM_GETVARIABLE \"SilentMode\" -> size=2 rc=0 \"1\""), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("get CM_GETVARIABLE \"InstallPath\" -> size=8 rc=0 \"C:\\Flow\""), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("get CM_GETVARIABLE \"SXFLOWTEST\" -> size=4 rc=0 \"env\""), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("get CM_GETVARIABLE \"SourcePath\" -> size=9 rc=0 \"C:\\setup\""), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("get CM_GETVARIABLE \"LangID\" -> size=4 rc=0 \"ENU\""), std::string::npos) << run.log;
  // Silently: no preparing window, no splash.
  EXPECT_FALSE(run.TraceHas("window create \"Tarrow")) << run.trace;
  EXPECT_FALSE(run.TraceHas("SXSplashWindow"));

  // A project's own SilentMode stands against the switch.
  std::string project = kProject;
  project.replace(project.find("<variables>") + 11, 0, R"(<var name="SilentMode" value="2"/>)");
  Project().Project(project);
  Build();
  run = Run({"/s"});
  EXPECT_NE(run.log.find("get CM_GETVARIABLE \"SilentMode\" -> size=2 rc=0 \"2\""), std::string::npos) << run.log;
}

TEST_F(MainFlow, SilentSettingsChooseInstallTypeFeaturesAndVariables) {
  Recorders("on EV_START get CM_GETVARIABLE InstallPath\n");
  Build();
  WriteHostFile(Machine().HostPath("drive_c/setup/setup.sss"),
                R"(<silentsettings activeinstalltype="none"><variables>
                   <var name="InstallPath" value="C:\Silent"/></variables></silentsettings>)");
  SetupRun run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_NE(run.log.find("\"C:\\Silent\""), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("wizard EV_INSTALLTYPECHANGED id=\"none\""), std::string::npos) << run.log;
  // Nothing selected: the further package is not needed, its plug-in never loads.
  EXPECT_EQ(run.log.find("second EV_LOAD"), std::string::npos) << run.log;

  WriteHostFile(Machine().HostPath("drive_c/setup/setup.sss"),
                R"(<silentsettings activeinstalltype="none"><features><feature id="all"/></features></silentsettings>)");
  run = Run();
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_NE(run.log.find("second EV_LOAD"), std::string::npos) << run.log;
}

TEST_F(MainFlow, RepairTakesTheSettingsNamedInTheUninstallKey) {
  Recorders("on EV_START get CM_GETVARIABLE SilentMode\non EV_START get CM_GETVARIABLE InstallPath\n");
  Build();
  // The wrong product, and a product without settings, cannot be repaired.
  SetupRun run = Run({"/repair", "OtherApp"});
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.TraceHas("text=\"Cannot repair application!\"")) << run.trace;
  run = Run({"/repair", "FlowTest"});
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.TraceHas("text=\"Cannot repair application!\"")) << run.trace;

  // The settings named under HKCU (HKLM has none): their install type stands as it is.
  WriteHostFile(Machine().HostPath("drive_c/repair.sss"),
                R"(<silentsettings activeinstalltype="none"><variables>
                   <var name="InstallPath" value="C:\Repaired"/></variables></silentsettings>)");
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\FlowTest";
  ASSERT_TRUE(Machine().host().RegCreateKey(host::RegRoot::kCurrentUser, key));
  ASSERT_TRUE(Machine().host().RegSetValue(host::RegRoot::kCurrentUser, key, "SilentSettings",
                                           {host::kRegSz, std::string("C:\\repair.sss\0", 14)}));
  run = Run({"/repair", "FlowTest"});
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_NE(run.log.find("\"SilentMode\" -> size=2 rc=0 \"2\""), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("\"C:\\Repaired\""), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find("EV_INSTALLTYPECHANGED"), std::string::npos) << run.log;
}

}  // namespace
}  // namespace sx::test
