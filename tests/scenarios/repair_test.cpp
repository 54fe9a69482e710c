// Repair: after an installed file and a registry value of the product were deleted, the setup
// run with /repair and the product's AppID puts both back, and the machine is again as the
// installation left it.
#include <gtest/gtest.h>

#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

class Repair : public ScenarioTest {};

TEST_F(Repair, ADeletedFileAndValueComeBack) {
  Product product;
  product.items = R"(<registry><reg key="HKLM\Software\Vendor\Gizmo" param="Path" value="%InstallPath%"/></registry>)";
  WriteProduct(product);
  Project().Write("payload/core/gizmo.txt", "text");
  Project().Write("payload/core/bin/tool.dll", "tool");
  Build();
  ASSERT_EQ(Run({"/s"}).exitCode, 0);
  const MachineSnapshot installed = Snapshot();

  std::filesystem::remove(HostOf("C:\\Program Files\\Gizmo\\bin\\tool.dll"));
  ASSERT_EQ(Tool("reg delete \"HKLM\\Software\\Vendor\\Gizmo\" /v Path /f"), 0);
  const SetupRun repair = Run({"/s", "/repair", "Gizmo"});
  EXPECT_EQ(repair.exitCode, 0) << repair.trace;
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\bin\\tool.dll"), "tool");
  // The repair writes the user's choices again: the same bytes, a new time.
  MachineSnapshot repaired = Snapshot();
  const std::string settings = "file C:\\Program Files\\Gizmo\\install.sss";
  const auto bytes = [&](const MachineSnapshot& s) {
    const std::string& what = s.entries.at(settings);
    return what.substr(what.find("bytes "));
  };
  EXPECT_EQ(bytes(repaired), bytes(installed));
  repaired.entries[settings] = installed.entries.at(settings);
  EXPECT_EQ(SnapshotDifference(installed, repaired), "");
}

}  // namespace
}  // namespace sx::test
