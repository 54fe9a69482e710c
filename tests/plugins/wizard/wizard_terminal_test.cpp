// The terminal wizard end to end: setups built with sxbuild run in a real terminal (tmux); keys
// are typed and the screen is read back. What the user chose reaches the engine: the recorder
// plug-in, after the wizard, asks the engine for the install type, the features and the folder.
#include <gtest/gtest.h>

#include "tests/engine/setup_run.h"
#include "tests/plugins/wizard/tmux_session.h"

namespace sx::test {
namespace {

// "program" (required) holds the sub-features "samples" and "help"; "compact" selects the
// program only (and so its sub-features); "full", the default, everything.
constexpr char kProject[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="WizardTest"/>
    <var name="AppName" value="Gadget"/>
    <var name="AppVersion" value="2.1"/>
    <var name="Languages" value="ENU,DEU"/>
    <var name="InstallPath" value="C:\Gadget"/>
  </variables>
  <packages>
    <package id="main" main="1"><plugins><plugin id="sxwizard"/><plugin id="recorder"/></plugins></package>
  </packages>
  <components>
    <component id="core"><files><file src="core.bin" dst="%InstallPath%\core.bin"/></files></component>
    <component id="manual"><files><file src="manual.txt" dst="%InstallPath%\manual.txt"/></files></component>
    <component id="samples"><files><file src="*.*" dst="%InstallPath%\samples\"/></files></component>
    <component id="help"><files><file src="help.txt" dst="%InstallPath%\help.txt"/></files></component>
  </components>
  <features>
    <feature id="program" name="Program" description="The program itself" required="1">
      <components><component id="core"/></components>
      <features>
        <feature id="samples" name="Samples" description="Example files"><components><component id="samples"/></components></feature>
        <feature id="help" name="Help" description="Quick help"><components><component id="help"/></components></feature>
      </features>
    </feature>
    <feature id="docs" name="Documentation" description="The manual"><components><component id="manual"/></components></feature>
  </features>
  <installtypes>
    <installtype id="full" name="Full" description="Everything" default="1"><features><feature id="program"/><feature id="docs"/></features></installtype>
    <installtype id="compact" name="Compact" description="The program and its samples"><features><feature id="program"/></features></installtype>
  </installtypes>
</sx2project>)";

// What the engine holds when the installation is about to start. Then the recorder plays the
// installation's part: it forwards a stage, progress and a version conflict to the wizard (a
// plug-in's message with an event's number reaches the other plug-ins), and asks for a reboot.
constexpr char kRecorderScript[] =
    "on EV_BEFOREINSTALL send EV_BEFOREPROCESSITEMS 0\n"
    "on EV_BEFOREINSTALL send EV_FILEINSTALLPROGRESS 40 7\n"
    "on EV_BEFOREINSTALL send EV_VERSIONCONFLICT \"C:\\Gadget\\lib.dll\"\n"
    "on EV_AFTERINSTALL send CM_SETVARIABLE Reboot \"1\"\n"
    "on EV_BEFOREINSTALL calc ActiveInstallType\n"
    "on EV_BEFOREINSTALL calc \"FeatureEnabled('program') & FeatureEnabled('help') & FeatureEnabled('samples') & "
    "FeatureEnabled('docs')\"\n"
    "on EV_BEFOREINSTALL get CM_GETVARIABLE InstallPath\n"
    "on EV_BEFOREINSTALL get CM_GETVARIABLE LangID\n";

class WizardTerminal : public SetupTest {
 protected:
  void SetUp() override {
    Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
    Project().Write("packages/main/lng/DEU.lng", kGermanStrings);
    Project().Write("payload/core/core.bin", std::string(3000, 'c'));
    Project().Write("payload/manual/manual.txt", std::string(2048, 'm'));
    Project().Write("payload/samples/one.txt", std::string(1024, '1'));
    Project().Write("payload/samples/two.txt", std::string(1024, '2'));
    Project().Write("payload/help/help.txt", std::string(512, 'h'));
  }

  // The setup's command line in the terminal, with the machine and the trace.
  std::string SetupCommand(const std::string& params = "") {
    Machine().host().RegFlush();
    return "SX_MACHINE=" + ShellQuote(Machine().folder()) + " SX_TRACE=" + ShellQuote(Trace()) + " " +
           ShellQuote(Machine().HostPath("drive_c/setup/setup.exe")) + params + " 2>/dev/null";
  }
  std::string Trace() { return Machine().folder() + "/trace.log"; }
};

// The line of the screen that holds `text` ("" when none does).
std::string LineWith(const std::string& screen, const std::string& text) {
  const size_t at = screen.find(text);
  if (at == std::string::npos) return "";
  const size_t start = screen.rfind('\n', at);
  const size_t end = screen.find('\n', at);
  return screen.substr(start == std::string::npos ? 0 : start + 1,
                       end == std::string::npos ? std::string::npos : end - (start == std::string::npos ? 0 : start + 1));
}

// The whole wizard with a non-default install type, a deselected sub-feature and another folder:
// every page shows, the required feature stays, sizes follow the choices, and the engine has
// every choice when the installation starts. Then the progress, a version conflict answered
// "overwrite all", and the finish page's restart question answered "later".
TEST_F(WizardTerminal, ChoicesOnEveryPageReachTheEngine) {
  Project().Project(kProject);
  AddRecorder("recorder", kRecorderScript);
  Build();
  TmuxSession terminal(Machine().folder(), SetupCommand());

  terminal.WaitFor("Welcome to the setup of Gadget 2.1.");
  terminal.Keys("Enter");
  std::string screen = terminal.WaitFor("Choose the language of the setup:");
  EXPECT_EQ(LineWith(screen, "(ENU)").substr(0, 2), "> ") << screen;
  EXPECT_EQ(LineWith(screen, "(DEU)").substr(0, 2), "  ") << screen;
  terminal.Keys("Enter");

  screen = terminal.WaitFor("Choose the type of installation:");
  EXPECT_NE(screen.find("> Full"), std::string::npos) << screen;
  terminal.Keys("Down");
  screen = terminal.WaitFor("> Compact");
  EXPECT_NE(screen.find("The program and its samples"), std::string::npos) << screen;
  terminal.Keys("Enter");

  // Compact: the program with its samples and help (3000 + 2048 + 512 bytes), no manual.
  screen = terminal.WaitFor("Choose the features to install");
  EXPECT_NE(screen.find("> [x] Program (required)"), std::string::npos) << screen;
  EXPECT_NE(screen.find("    [x] Samples"), std::string::npos) << screen;
  EXPECT_NE(screen.find("  [ ] Documentation"), std::string::npos) << screen;
  EXPECT_NE(screen.find("    [x] Help"), std::string::npos) << screen;
  EXPECT_NE(LineWith(screen, "[x] Program").find("5.43 KB"), std::string::npos) << screen;
  EXPECT_NE(LineWith(screen, "[ ] Documentation").find("2.00 KB"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Disk space needed: 5.43 KB    Free: "), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Free: unknown"), std::string::npos) << screen;
  terminal.Keys("Space");  // the required feature stays
  terminal.WaitFor("Program is required and stays selected.");
  terminal.Keys("Down");
  terminal.WaitFor("Example files");
  terminal.Keys("Space");
  screen = terminal.WaitFor("Disk space needed: 3.43 KB");
  EXPECT_NE(screen.find("  [-] Program (required)"), std::string::npos) << screen;
  EXPECT_NE(screen.find(">   [ ] Samples"), std::string::npos) << screen;
  terminal.Keys("Enter");

  terminal.WaitFor("> C:\\Gadget_");
  terminal.Keys("C-u");
  terminal.Keys("Other", true);
  terminal.Keys("Enter");
  terminal.WaitFor("! The folder must be a full path");
  terminal.Keys("C-u");
  terminal.Keys("C:\\Tools\\Gadget", true);
  terminal.Keys("Enter");

  screen = terminal.WaitFor("Setup is ready to install Gadget.");
  EXPECT_NE(screen.find("Installation type: Compact"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Destination folder: C:\\Tools\\Gadget"), std::string::npos) << screen;
  EXPECT_NE(screen.find("  Program\n    Help\n"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Samples"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Documentation"), std::string::npos) << screen;
  terminal.Keys("Enter");

  screen = terminal.WaitFor("[4] Overwrite all such files");
  EXPECT_NE(screen.find("Gadget Setup - Version conflict"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Copying files"), std::string::npos) << screen;
  EXPECT_NE(LineWith(screen, "File  [").find("]  40%"), std::string::npos) << screen;
  EXPECT_NE(LineWith(screen, "Total [").find("]   7%"), std::string::npos) << screen;
  EXPECT_NE(screen.find("  C:\\Gadget\\lib.dll"), std::string::npos) << screen;
  terminal.Keys("4", true);

  screen = terminal.WaitFor("The computer must be restarted to complete the installation of Gadget.");
  EXPECT_NE(screen.find("Setup has installed Gadget on your computer."), std::string::npos) << screen;
  terminal.Keys("n", true);
  EXPECT_EQ(terminal.ExitStatus(), 0);

  const std::string log = ReadHostFile(LogPath());
  EXPECT_NE(log.find("calc \"ActiveInstallType\" -> \"compact\""), std::string::npos) << log;
  EXPECT_NE(log.find("FeatureEnabled('docs')\" -> \"1100\""), std::string::npos) << log;
  EXPECT_NE(log.find("get CM_GETVARIABLE \"InstallPath\" -> size=16 rc=0 \"C:\\Tools\\Gadget\""), std::string::npos) << log;
  EXPECT_NE(log.find("get CM_GETVARIABLE \"LangID\" -> size=4 rc=0 \"ENU\""), std::string::npos) << log;
  EXPECT_NE(log.find("recorder EV_INSTALLTYPECHANGED id=\"compact\""), std::string::npos) << log;
  EXPECT_NE(log.find("recorder EV_FEATURESTATECHANGED id=\"samples\" state=0"), std::string::npos) << log;
  EXPECT_NE(log.find("send EV_VERSIONCONFLICT \"C:\\Gadget\\lib.dll\" -> 4"), std::string::npos) << log;
  // "Later": no restart at the end.
  EXPECT_EQ(log.find("EV_QUERYREBOOT"), std::string::npos) << log;
  const std::string trace = ReadHostFile(Trace());
  EXPECT_NE(trace.find("plugin sxwizard EV_SHOWDIALOGS 1 0 -> 0"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("exitwindows"), std::string::npos) << trace;
}

// A project without plug-ins gets the wizard from the builder. Its password page hides what is
// typed and asks again after a wrong password; Escape and "y" cancel the setup, which installs
// nothing. Without a terminal the same setup shows nothing and installs.
TEST_F(WizardTerminal, AddedByTheBuilderAsksThePasswordAndCancels) {
  std::string project = kProject;
  project.replace(project.find("<plugins>"), project.find("</plugins>") + 10 - project.find("<plugins>"), "");
  Project().Project(project);
  Build({"--password", "Sesame"});
  TmuxSession terminal(Machine().folder(), SetupCommand());

  terminal.WaitFor("Welcome to the setup of Gadget 2.1.");
  terminal.Keys("Enter");
  terminal.WaitFor("Choose the language of the setup:");
  terminal.Keys("Down");
  terminal.Keys("Enter");
  terminal.WaitFor("This setup is protected by a password.");
  terminal.Keys("wrong", true);
  terminal.Keys("Enter");
  std::string screen = terminal.WaitFor("The password is not correct. Try again.");
  EXPECT_EQ(screen.find("wrong"), std::string::npos) << screen;
  terminal.Keys("Sesame", true);
  terminal.Keys("Enter");
  terminal.WaitFor("Choose the type of installation:");
  terminal.Keys("Escape");
  terminal.WaitFor("Do you want to cancel the setup?");
  terminal.Keys("n", true);
  terminal.WaitFor("Choose the type of installation:");
  terminal.Keys("Left");  // back past the accepted password to the language, now German
  screen = terminal.WaitFor("Choose the language of the setup:");
  EXPECT_EQ(LineWith(screen, "(DEU)").substr(0, 2), "> ") << screen;
  terminal.Keys("Escape");
  terminal.WaitFor("Do you want to cancel the setup?");
  terminal.Keys("y", true);
  terminal.WaitFor("Setup was cancelled. Nothing was installed.");
  EXPECT_EQ(terminal.ExitStatus(), 255);
  const std::string trace = ReadHostFile(Trace());
  EXPECT_NE(trace.find("plugin sxwizard EV_LANGUAGECHANGED"), std::string::npos) << trace;
  EXPECT_NE(trace.find("plugin sxwizard EV_SHOWDIALOGS 0 0 -> 1"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("plugin sxwizard EV_BEFOREINSTALL"), std::string::npos) << trace;

  const SetupRun quiet = Run();  // no terminal: as silent
  EXPECT_NE(quiet.trace.find("plugin sxwizard EV_SHOWDIALOGS 0 0 -> 0"), std::string::npos) << quiet.trace;
}

// A further package that is not beside the setup: the wizard asks for its folder until the
// engine finds it there, and the installation goes on. The terminal is small: the feature tree
// scrolls.
TEST_F(WizardTerminal, AsksForAMissingPackageUntilItIsFound) {
  std::string project = kProject;
  project.replace(project.find("<plugins>"), project.find("</plugins>") + 10 - project.find("<plugins>"), "");
  const std::string manual = "<component id=\"manual\"";
  project.replace(project.find(manual), manual.size(), manual + " package=\"docs\"");
  project.replace(project.find("</packages>"), 0, "<package id=\"docs\" filename=\"docs\"/>");
  Project().Project(project);
  Build();
  std::filesystem::create_directories(Machine().HostPath("drive_c/elsewhere"));
  std::filesystem::rename(Machine().HostPath("drive_c/setup/docs.sxp"), Machine().HostPath("drive_c/elsewhere/docs.sxp"));
  TmuxSession terminal(Machine().folder(), SetupCommand(), 100, 15);  // a small terminal

  terminal.WaitFor("Welcome to the setup of Gadget 2.1.");
  for (const char* page : {"Choose the language", "Choose the type", "Choose the features"}) {
    terminal.Keys("Enter");
    terminal.WaitFor(page);
  }
  // Three of the four features fit; the tree scrolls with the cursor.
  std::string screen = terminal.Screen();
  EXPECT_NE(screen.find("> [x] Program"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Documentation"), std::string::npos) << screen;
  terminal.Keys("Down");
  terminal.Keys("Down");
  terminal.Keys("Down");
  screen = terminal.WaitFor("> [x] Documentation");
  EXPECT_EQ(screen.find("Program"), std::string::npos) << screen;
  EXPECT_NE(screen.find("  ...\n"), std::string::npos) << screen;
  for (const char* page : {"Setup installs Gadget", "Setup is ready to install"}) {
    terminal.Keys("Enter");
    terminal.WaitFor(page);
  }
  terminal.Keys("Enter");
  screen = terminal.WaitFor("Setup needs the file docs.sxp, which is not in");
  EXPECT_NE(screen.find("> C:\\setup\\_"), std::string::npos) << screen;
  terminal.Keys("C-u");
  terminal.Keys("Enter");
  terminal.WaitFor("! Type the folder that holds docs.sxp.");
  terminal.Keys("C:\\nowhere", true);
  terminal.Keys("Enter");
  screen = terminal.WaitFor("> C:\\nowhere\\_");  // asked again, with the folder searched last
  terminal.Keys("C-u");
  terminal.Keys("C:\\elsewhere", true);
  terminal.Keys("Enter");
  terminal.WaitFor("Setup has installed Gadget on your computer.");
  terminal.Keys("Enter");
  EXPECT_EQ(terminal.ExitStatus(), 0);
  const std::string trace = ReadHostFile(Trace());
  // The trace shows the folder buffer as the wizard left it.
  EXPECT_NE(trace.find("plugin sxwizard EV_GETPACKAGE \"docs.sxp\" \"C:\\nowhere\" -> 1"), std::string::npos) << trace;
  EXPECT_NE(trace.find("plugin sxwizard EV_GETPACKAGE \"docs.sxp\" \"C:\\elsewhere\" -> 1"), std::string::npos) << trace;
}

// Silent mode in a terminal: no page appears and the setup runs through.
TEST_F(WizardTerminal, SilentModeInATerminalShowsNothing) {
  std::string project = kProject;
  project.replace(project.find("<plugins>"), project.find("</plugins>") + 10 - project.find("<plugins>"), "");
  Project().Project(project);
  Build();
  TmuxSession terminal(Machine().folder(), SetupCommand(" /s"));
  EXPECT_EQ(terminal.ExitStatus(), 0);
  EXPECT_EQ(terminal.Screen().find("Gadget"), std::string::npos) << terminal.Screen();
  const std::string trace = ReadHostFile(Trace());
  EXPECT_NE(trace.find("plugin sxwizard EV_SHOWDIALOGS 0 0 -> 0"), std::string::npos) << trace;
  EXPECT_NE(trace.find("plugin sxwizard EV_FINISH 1 0 -> 0"), std::string::npos) << trace;
}

}  // namespace
}  // namespace sx::test
