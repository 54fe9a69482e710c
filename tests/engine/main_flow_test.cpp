// The main flow end to end: setups built with sxbuild run on fresh machines with the recorder
// plug-in; the order of events, failures that end the run after EV_START, launch refusals,
// packages found, supplied and refused, silent settings and the built-in variables.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

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
  <installtypes><installtype id="full" default="1"><features><feature id="all"/></features></installtype></installtypes>
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
                            "wizard EV_AFTERINSTALL", "second EV_AFTERINSTALL",
                            "wizard EV_SHOWDIALOGS after=1", "second EV_SHOWDIALOGS after=1",
                            "wizard EV_FINISH success=1", "second EV_FINISH success=1",
                            "second EV_UNLOAD", "wizard EV_UNLOAD"}))
      << run.log;
  // The installation ran between EV_BEFOREINSTALL and EV_AFTERINSTALL; the unused package was
  // never asked for.
  EXPECT_TRUE(run.TraceHas("\ninstall \n")) << run.trace;
  EXPECT_EQ(run.log.find("EV_GETPACKAGE"), std::string::npos);
  EXPECT_EQ(ReadHostFile(Machine().folder() + "/programs.log"), "before dialogs|" + Machine().HostPath("drive_c/setup") + "\n");
  EXPECT_EQ(TempEntries(), before);
}

}  // namespace
}  // namespace sx::test
