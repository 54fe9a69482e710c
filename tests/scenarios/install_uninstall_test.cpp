// A product installed silently and removed again with its own uninstaller: every kind of item
// reaches the machine, and the uninstallation brings the machine back to the picture taken before
// (files with their bytes, attributes and times, folders, registry values), with nothing left in
// the temporary folder.
#include <gtest/gtest.h>

#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

constexpr char kItems[] = R"(
  <registry>
    <reg key="HKLM\Software\Vendor\Gizmo" param="Path" value="%InstallPath%"/>
    <reg key="HKLM\Software\Vendor\Gizmo" param="Build" value="42" type="int"/>
    <reg key="HKLM\Software\Vendor\Gizmo" param="Blob" value="01020304" type="bin"/>
    <reg key="HKLM\Software\Vendor" param="Gizmo" value="installed"/>
    <reg key="HKCU\Software\Vendor\Gizmo\Settings" param="Colour" value="blue"/>
  </registry>
  <inifiles><ini file="%InstallPath%\gizmo.ini" section="Main" param="Mode" value="fast"/></inifiles>
  <shortcuts><shortcut name="%ProgramsMenu%\Gizmo\Gizmo" cmdline="%InstallPath%\gizmo.txt" description="Gizmo"/></shortcuts>)";

class InstallUninstall : public ScenarioTest {};

TEST_F(InstallUninstall, SilentInstallThenUninstallLeavesTheMachineAsBefore) {
  Product product;
  product.items = kItems;
  product.variables = R"(<var name="GIZMOHOME" type="envvar" value="%InstallPath%"/>)";
  product.files = R"(<file src="gizmo.txt" dst="%InstallPath%\gizmo.txt"/><file src="bin\*.*" dst="%InstallPath%\bin\"/>)";
  WriteProduct(product);
  Project().Write("payload/core/gizmo.txt", "Gizmo program text");
  Project().Write("payload/core/bin/tool.dll", std::string(5000, 't'));
  Project().Write("payload/core/bin/help.dat", "help");
  Build();

  // What the machine holds before: another product's value beside ours, a hidden read-only file.
  ASSERT_EQ(Tool("reg add \"HKLM\\Software\\Vendor\" /v Other /t REG_SZ /d theirs"), 0);
  WriteHostFile(Machine().HostPath("drive_c/Data/notes.txt"), "kept");
  ASSERT_TRUE(Machine().host().SetFileAttributes("C:\\Data\\notes.txt", host::kAttrHidden | host::kAttrReadOnly));
  const auto tempBefore = TempEntries();
  const MachineSnapshot before = Snapshot();

  const SetupRun install = Run({"/s"});
  ASSERT_EQ(install.exitCode, 0) << install.trace;
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\gizmo.txt"), "Gizmo program text");
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\bin\\tool.dll"), std::string(5000, 't'));
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\gizmo.ini"), "[Main]\r\nMode=fast\r\n\r\n");
  EXPECT_TRUE(Exists("C:\\Program Files\\Gizmo\\Uninstall.exe"));
  EXPECT_TRUE(Exists("C:\\Program Files\\Gizmo\\install.log"));
  const std::string values = Query("HKLM\\Software\\Vendor\\Gizmo");
  EXPECT_NE(values.find("Path    REG_SZ    C:\\Program Files\\Gizmo"), std::string::npos) << values;
  EXPECT_NE(values.find("Build    REG_DWORD    0x2a"), std::string::npos) << values;
  EXPECT_NE(values.find("Blob    REG_BINARY    01020304"), std::string::npos) << values;
  EXPECT_NE(Query("HKCU\\Software\\Vendor\\Gizmo\\Settings").find("Colour    REG_SZ    blue"), std::string::npos);
  EXPECT_NE(Query("HKCU\\Environment").find("GIZMOHOME    REG_SZ    C:\\Program Files\\Gizmo"), std::string::npos)
      << Query("HKCU\\Environment");
  EXPECT_NE(Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gizmo").find("DisplayName    REG_SZ    Gizmo"),
            std::string::npos);
  const MachineSnapshot installed = Snapshot();
  size_t links = 0;
  for (const auto& [name, what] : installed.entries) links += name.size() > 4 && name.substr(name.size() - 4) == ".lnk";
  EXPECT_EQ(links, 1u);
  EXPECT_EQ(TempEntries(), tempBefore);

  std::string trace;
  EXPECT_EQ(RunUninstaller("Gizmo", "/s", "", &trace), 0) << trace;
  EXPECT_EQ(DifferenceSettlingTo(before), "");
  EXPECT_EQ(TempEntries(), tempBefore);
  EXPECT_EQ(Query("HKLM\\Software\\Vendor").find("Gizmo    REG_SZ"), std::string::npos);
  EXPECT_NE(Query("HKLM\\Software\\Vendor").find("Other    REG_SZ    theirs"), std::string::npos);
}

}  // namespace
}  // namespace sx::test
