// An installation that fails late, after files, registry values, INI entries, shortcuts and the
// environment were installed and a file of an earlier copy was replaced: the rollback brings
// every one of them back, and the temporary folder is empty again.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

class Rollback : public ScenarioTest {};

TEST_F(Rollback, AProgramFailingAfterTheItemsUndoesTheWholeInstallation) {
  Product product;
  product.variables = R"(<var name="GIZMOHOME" type="envvar" value="%InstallPath%"/>)";
  product.items = R"(
    <registry><reg key="HKLM\Software\Vendor\Gizmo" param="Path" value="%InstallPath%"/></registry>
    <inifiles><ini file="C:\windows\win.ini" section="Gizmo" param="Mode" value="fast"/></inifiles>
    <shortcuts><shortcut name="%ProgramsMenu%\Gizmo\Gizmo" cmdline="%InstallPath%\gizmo.txt"/></shortcuts>
    <runapps><runapp cmdline="C:\tools\fail.exe" whenstart="after_install" flags="check_exitcode"/></runapps>)";
  WriteProduct(product);
  Project().Write("payload/core/gizmo.txt", "new text");
  Project().Write("payload/core/extra.txt", "extra");
  Build();
  WriteHostFile(HostOf("C:\\tools\\fail.exe"), "#!/bin/sh\nexit 3\n");
  ::chmod(HostOf("C:\\tools\\fail.exe").c_str(), 0755);
  // An earlier copy's file, replaced by the installation and brought back by the rollback.
  WriteOlderFile("C:\\Program Files\\Gizmo\\gizmo.txt", "old text");
  const auto tempBefore = TempEntries();
  const MachineSnapshot before = Snapshot();

  const SetupRun run = Run({"/s"});
  EXPECT_EQ(run.exitCode, 255) << run.trace;
  EXPECT_TRUE(run.TraceHas("process \"C:\\tools\\fail.exe\"")) << run.trace;
  // The program's failure ends the installation, which is undone under its status text.
  EXPECT_TRUE(run.TraceHas("CM_SHOWSTATUSTEXT \"Undoing the changes...\"")) << run.trace;
  EXPECT_TRUE(run.TraceHas("plugin sxwizard EV_FINISH 0 0")) << run.trace;
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\gizmo.txt"), "old text");
  EXPECT_EQ(TempEntries(), tempBefore);
}

}  // namespace
}  // namespace sx::test
