// Registration for uninstall and repair through sxengine: the uninstaller copied and shared, the
// entry's values in their order, the silent settings without the project's own settings, the
// entry in the log; a refusal at the closing dialogs takes all of it back. Repair through the
// entry's silent settings.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/engine/setup_run.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

constexpr char kProject[] = R"(<sx2project>
  <variables>
    <var name="AppID" value="RegTest"/>
    <var name="AppName" value="My App"/>
    <var name="AppVersion" value="1.0"/>
    <var name="CompanyName" value="Example"/>
    <var name="InstallPath" value="C:\App"/>
    <var name="Uninstall" value="1"/>
    <var name="Custom" value="chosen"/>
    <var name="Hidden" value="secret" condition="0"/>
  </variables>
  <packages><package id="main" main="1" filename="setup"><plugins><plugin id="wizard"/></plugins></package></packages>
  <components><component id="core"/></components>
  <features><feature id="main"><components><component id="core"/></components></feature></features>
</sx2project>)";

constexpr char kEntry[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RegTest";

class UninstallRegistration : public SetupTest {
 protected:
  SetupRun BuildAndRun(const std::string& script = "", const std::string& files = "") {
    std::string project = kProject;
    if (!files.empty())
      project.replace(project.find("<component id=\"core\"/>"), 22, "<component id=\"core\">" + files + "</component>");
    Project().Project(project);
    Project().Write("payload/core/one.txt", "first file");
    Project().Write("payload/core/two.txt", "second file");
    Project().Write("packages/main/lng/ENU.lng", kEnglishStrings);
    Project().Write("packages/main/Uninstall.exe", "uninstaller");
    AddRecorder("wizard", script);
    Build();
    return Run();
  }
  std::string Query(const std::string& key) {
    std::string out;
    RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " " + ShellQuote(SX_SXTOOL) + " reg query " +
                   ShellQuote(key) + " 2>&1",
               &out);
    return out;
  }
};

TEST_F(UninstallRegistration, EntryValuesSettingsAndUninstallerThenARefusalTakesThemBack) {
  const SetupRun run = BuildAndRun();
  ASSERT_EQ(run.exitCode, 0) << run.trace;
  EXPECT_EQ(ReadHostFile(Machine().HostPath("drive_c/App/Uninstall.exe")), "uninstaller");
  const std::string entry = Query(kEntry);
  const std::vector<std::string> order{
      "DisplayName    REG_SZ    My App",
      "UninstallString    REG_SZ    \"C:\\App\\Uninstall.exe\" \"C:\\App\\install.log\"",
      "InstallLocation    REG_SZ    C:\\App", "InstallSourceFile    REG_SZ    C:\\setup\\setup.exe",
      "Publisher    REG_SZ    Example", "DisplayVersion    REG_SZ    1.0",
      "SilentSettings    REG_SZ    C:\\App\\install.sss"};
  size_t at = 0;
  for (const std::string& line : order) {
    const size_t found = entry.find(line);
    EXPECT_NE(found, std::string::npos) << line << "\n" << entry;
    if (found == std::string::npos) continue;
    EXPECT_GT(found, at) << line << " out of order\n" << entry;
    at = found;
  }
  EXPECT_EQ(entry.find("DisplayIcon"), std::string::npos) << entry;  // empty values are left out
  EXPECT_EQ(entry.find("Contact"), std::string::npos) << entry;
  EXPECT_NE(Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs").find("C:\\App\\Uninstall.exe    REG_DWORD    0x1"),
            std::string::npos);
  // The user's choices only: no project setting, no variable whose condition is false.
  const std::string settings = ReadHostFile(Machine().HostPath("drive_c/App/install.sss"));
  EXPECT_NE(settings.find("<silentsettings"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Custom"), std::string::npos) << settings;
  EXPECT_NE(settings.find("\"main\""), std::string::npos) << settings;
  // Nor what the engine defines itself: system folders, built-in facts, the environment.
  for (const char* name : {"\"AppID\"", "\"Uninstall\"", "\"Hidden\"", "\"AppName\"", "\"ProgramFiles\"",
                           "\"SourcePath\"", "\"OSVersion\"", "\"windir\""})
    EXPECT_EQ(settings.find(name), std::string::npos) << name << "\n" << settings;
  const std::string log = ReadHostFile(Machine().HostPath("drive_c/App/install.log"));
  EXPECT_NE(log.find("[CreateKeys]\r\nHKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RegTest=\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("[SharedFiles]\r\nC:\\App\\Uninstall.exe=\r\n"), std::string::npos) << log;

  // The same setup on a fresh machine, refused at the closing dialogs: nothing stays.
  fs::remove_all(Machine().HostPath("drive_c/App"));
  RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " " + ShellQuote(SX_SXTOOL) + " reg delete " +
             ShellQuote(kEntry) + " /f >/dev/null 2>&1");
  RunCommand("SX_MACHINE=" + ShellQuote(Machine().folder()) + " " + ShellQuote(SX_SXTOOL) +
             " reg delete \"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\" /f >/dev/null 2>&1");
  const SetupRun refused = BuildAndRun("on EV_SHOWDIALOGS after=1 reply 1");
  EXPECT_EQ(refused.exitCode, 255) << refused.trace;
  EXPECT_FALSE(fs::exists(Machine().HostPath("drive_c/App"))) << Query(kEntry);
  EXPECT_EQ(Query(kEntry).find("DisplayName"), std::string::npos) << Query(kEntry);
  EXPECT_EQ(Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs").find("Uninstall.exe"),
            std::string::npos);
}

// Repair: a deleted file and a file altered in place (same size and time) come back from the
// setup; a wrong application ID is refused.
TEST_F(UninstallRegistration, RepairRestoresTheInstalledFiles) {
  const SetupRun run = BuildAndRun("", R"(<files><file src="*.txt" dst="%InstallPath%\"/></files>)");
  ASSERT_EQ(run.exitCode, 0) << run.trace;
  const std::string one = Machine().HostPath("drive_c/App/one.txt");
  const std::string two = Machine().HostPath("drive_c/App/two.txt");
  ASSERT_EQ(ReadHostFile(one), "first file");
  ASSERT_EQ(ReadHostFile(two), "second file");
  fs::remove(one);
  const auto time = fs::last_write_time(two);
  WriteHostFile(two, "damaged bit");
  fs::last_write_time(two, time);

  const SetupRun wrong = Run({"/repair", "Other"});
  EXPECT_EQ(wrong.exitCode, 255) << wrong.trace;
  EXPECT_TRUE(wrong.TraceHas("Cannot repair application!")) << wrong.trace;
  EXPECT_FALSE(fs::exists(one));

  const SetupRun repaired = Run({"/repair", "RegTest"});
  EXPECT_EQ(repaired.exitCode, 0) << repaired.trace;
  EXPECT_EQ(ReadHostFile(one), "first file");
  EXPECT_EQ(ReadHostFile(two), "second file");
  EXPECT_NE(Query(kEntry).find("DisplayName    REG_SZ    My App"), std::string::npos) << Query(kEntry);
}

}  // namespace
}  // namespace sx::test
