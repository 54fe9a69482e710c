// An installation through the terminal wizard, as a user runs it in a terminal (tmux): the
// non-default install type, one of its features deselected, the destination confirmed; the
// machine then holds exactly the chosen features' files, and the product's uninstall entry.
#include <gtest/gtest.h>

#include "tests/plugins/wizard/tmux_session.h"
#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

// "Standard" (the default) installs everything; "Custom" the program and its samples.
constexpr char kProject[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="Gizmo"/>
    <var name="AppName" value="Gizmo"/>
    <var name="AppVersion" value="3.0"/>
    <var name="InstallPath" value="C:\Program Files\Gizmo"/>
    <var name="Uninstall" value="1"/>
  </variables>
  <components>
    <component id="core"><files><file src="gizmo.txt" dst="%InstallPath%\gizmo.txt"/></files></component>
    <component id="samples"><files><file src="*.*" dst="%InstallPath%\samples\"/></files></component>
    <component id="manual"><files><file src="manual.txt" dst="%InstallPath%\manual.txt"/></files></component>
  </components>
  <features>
    <feature id="program" name="Program" required="1"><components><component id="core"/></components></feature>
    <feature id="samples" name="Samples"><components><component id="samples"/></components></feature>
    <feature id="docs" name="Documentation"><components><component id="manual"/></components></feature>
  </features>
  <installtypes>
    <installtype id="standard" name="Standard" default="1"><features><feature id="program"/><feature id="samples"/><feature id="docs"/></features></installtype>
    <installtype id="custom" name="Custom"><features><feature id="program"/><feature id="samples"/></features></installtype>
  </installtypes>
</sx2project>)";

class InteractiveInstall : public ScenarioTest {};

TEST_F(InteractiveInstall, ACustomTypeWithAFeatureDeselectedInstallsOnlyTheChosenFiles) {
  Project().Project(kProject);
  Project().Write("packages/main/lng/ENU.lng", kProductStrings);
  Project().Write("payload/core/gizmo.txt", "program");
  Project().Write("payload/samples/one.txt", "sample");
  Project().Write("payload/manual/manual.txt", "manual");
  Build();
  Machine().host().RegFlush();
  TmuxSession terminal(Machine().folder(), "SX_MACHINE=" + ShellQuote(Machine().folder()) + " SX_TRACE= " +
                                               ShellQuote(Machine().HostPath("drive_c/setup/setup.exe")) +
                                               " 2>/dev/null");
  terminal.WaitFor("Welcome to the setup of Gizmo 3.0.");
  terminal.Keys("Enter");
  terminal.WaitFor("Choose the type of installation:");
  terminal.Keys("Down");
  terminal.WaitFor("> Custom");
  terminal.Keys("Enter");
  std::string screen = terminal.WaitFor("Choose the features to install");
  EXPECT_NE(screen.find("[x] Samples"), std::string::npos) << screen;
  EXPECT_NE(screen.find("[ ] Documentation"), std::string::npos) << screen;
  terminal.Keys("Down");
  terminal.Keys("Space");
  terminal.WaitFor("> [ ] Samples");
  terminal.Keys("Enter");
  terminal.WaitFor("C:\\Program Files\\Gizmo_");
  terminal.Keys("Enter");
  screen = terminal.WaitFor("Setup is ready to install Gizmo.");
  EXPECT_NE(screen.find("Installation type: Custom"), std::string::npos) << screen;
  terminal.Keys("Enter");
  terminal.WaitFor("Setup has installed Gizmo on your computer.");
  terminal.Keys("Enter");
  EXPECT_EQ(terminal.ExitStatus(), 0);

  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\gizmo.txt"), "program");
  EXPECT_FALSE(Exists("C:\\Program Files\\Gizmo\\samples"));
  EXPECT_FALSE(Exists("C:\\Program Files\\Gizmo\\manual.txt"));
  EXPECT_NE(Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gizmo").find("DisplayName    REG_SZ    Gizmo"),
            std::string::npos);
  // The choices are kept for a repair: the install type and the one feature besides the program.
  const std::string settings = Read("C:\\Program Files\\Gizmo\\install.sss");
  EXPECT_NE(settings.find("custom"), std::string::npos) << settings;
  EXPECT_EQ(settings.find("\"samples\""), std::string::npos) << settings;
}

}  // namespace
}  // namespace sx::test
