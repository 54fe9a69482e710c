// An upgrade: version 2.0 of a product installed over version 1.0 (same AppID, same folder).
// The changed file and registry value are the new ones, the uninstall entry names 2.0; a file
// only 1.0 had stays installed and listed in the log, which the new version adds to, so the one
// uninstaller removes everything both versions left: the machine is as before 1.0.
#include <gtest/gtest.h>

#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

class Upgrade : public ScenarioTest {
 protected:
  void BuildVersion(const std::string& version, const std::vector<std::pair<std::string, std::string>>& files) {
    Product product;
    product.version = version;
    product.variables = R"(<var name="RemoveOldReferences" value="1"/>)";
    product.items = R"(<registry><reg key="HKLM\Software\Vendor\Gizmo" param="Version" value="%AppVersion%"/></registry>)";
    WriteProduct(product);
    std::filesystem::remove_all(Project().path() + "/payload");
    for (const auto& [name, content] : files) Project().Write("payload/core/" + name, content);
    BuildInto("setup/" + version);
  }
};

TEST_F(Upgrade, TheNewVersionReplacesTheOldAndOneUninstallRemovesBoth) {
  BuildVersion("1.0", {{"gizmo.txt", "version one"}, {"old-only.txt", "only in 1.0"}});
  BuildVersion("2.0", {{"gizmo.txt", "version 2.0 text"}, {"new-only.txt", "added in 2.0"}});
  const MachineSnapshot before = Snapshot();

  ASSERT_EQ(Run({"/s"}, "1.0/setup.exe").exitCode, 0);
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\old-only.txt"), "only in 1.0");
  const SetupRun upgrade = Run({"/s"}, "2.0/setup.exe");
  ASSERT_EQ(upgrade.exitCode, 0) << upgrade.trace;

  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\gizmo.txt"), "version 2.0 text");
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\new-only.txt"), "added in 2.0");
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\old-only.txt"), "only in 1.0");
  EXPECT_NE(Read("C:\\Program Files\\Gizmo\\install.log").find("C:\\Program Files\\Gizmo\\old-only.txt="),
            std::string::npos);
  EXPECT_NE(Query("HKLM\\Software\\Vendor\\Gizmo").find("Version    REG_SZ    2.0"), std::string::npos);
  const std::string entry = Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gizmo");
  EXPECT_NE(entry.find("DisplayVersion    REG_SZ    2.0"), std::string::npos) << entry;
  EXPECT_NE(entry.find("InstallSourceFile    REG_SZ    C:\\setup\\2.0\\setup.exe"), std::string::npos) << entry;
  // The uninstaller is counted once for the product, however often it was installed.
  EXPECT_NE(Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs")
                .find("C:\\Program Files\\Gizmo\\Uninstall.exe    REG_DWORD    0x1"),
            std::string::npos)
      << Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");

  EXPECT_EQ(RunUninstaller("Gizmo"), 0);
  EXPECT_EQ(DifferenceSettlingTo(before), "");
}

}  // namespace
}  // namespace sx::test
