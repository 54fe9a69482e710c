// Where the setup's data come from: a setup spanned over cabinets whose second cabinet is not
// beside it (the plug-in's answer to EV_GETPACKAGE names the folder that holds it), and a setup
// with a password (a wrong one is refused, the right one deciphers the files). The plug-in
// here stands for the user interface: CM_SETPASSWORD answers 0 for the right password and
// CM_ISPASSWORDVALID 0 while the password is right.
#include <gtest/gtest.h>


#include "tests/support/random_bytes.h"
#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

class CabinetsAndPassword : public ScenarioTest {
 protected:
  void WriteSpannedProduct(const std::string& recorderScript) {
    Product product;
    product.plugins = R"(<plugins><plugin id="recorder"/></plugins>)";
    product.packages = R"(<package id="data" filename="data"/>)";
    product.package = "data";
    WriteProduct(product);
    Project().Write("payload/core/first.bin", RandomBytes(40000, 1));
    Project().Write("payload/core/second.bin", RandomBytes(40000, 2));
    AddRecorder("recorder", recorderScript);
  }
};

TEST_F(CabinetsAndPassword, AMissingSecondCabinetIsFoundWhereThePluginSays) {
  WriteSpannedProduct("on EV_GETPACKAGE set-folder C:\\elsewhere\non EV_GETPACKAGE reply 1");
  Build({"--max-cabinet-size", "32K"});
  std::filesystem::create_directories(HostOf("C:\\") + "/elsewhere");
  int moved = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Machine().HostPath("drive_c/setup")))
    if (entry.path().filename().string().rfind("data-", 0) == 0) {
      std::filesystem::rename(entry.path(), HostOf("C:\\elsewhere") + "/" + entry.path().filename().string());
      ++moved;
    }
  ASSERT_GE(moved, 2) << "the data should span further cabinets";

  const SetupRun run = Run({"/s"});
  EXPECT_EQ(run.exitCode, 0) << run.trace;
  std::vector<std::string> asked;
  for (const std::string& line : run.Events())
    if (line.find("EV_GETPACKAGE") != std::string::npos) asked.push_back(line);
  ASSERT_FALSE(asked.empty()) << run.log;
  EXPECT_EQ(asked[0].find("recorder EV_GETPACKAGE name=\"data-2.cab\""), 0u) << asked[0];
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\first.bin"), RandomBytes(40000, 1));
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\second.bin"), RandomBytes(40000, 2));
}

TEST_F(CabinetsAndPassword, AWrongPasswordIsRefusedAndTheRightOneInstalls) {
  const std::string offer =
      "on EV_SHOWDIALOGS after=0 send CM_SETPASSWORD \"guess\"\n"
      "on EV_SHOWDIALOGS after=0 send CM_ISPASSWORDVALID\n";
  Product product;
  product.plugins = R"(<plugins><plugin id="recorder"/></plugins>)";
  WriteProduct(product);
  Project().Write("payload/core/secret.txt", "the protected text");
  AddRecorder("recorder", offer);
  Build({"--password", "Sesame"});
  const auto tempBefore = TempEntries();
  const MachineSnapshot before = Snapshot();

  // Only the wrong password: refused with a message, nothing installed.
  const SetupRun wrong = Run({"/s"});
  EXPECT_EQ(wrong.exitCode, 255) << wrong.trace;
  EXPECT_NE(wrong.log.find("send CM_SETPASSWORD \"guess\" -> 1"), std::string::npos) << wrong.log;
  EXPECT_NE(wrong.log.find("send CM_ISPASSWORDVALID -> 1"), std::string::npos) << wrong.log;
  EXPECT_TRUE(wrong.TraceHas("Incorrect password has been specified!")) << wrong.trace;
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
  EXPECT_EQ(TempEntries(), tempBefore);

  // The wrong one, then the right one.
  AddRecorder("recorder", offer + "on EV_SHOWDIALOGS after=0 send CM_SETPASSWORD \"Sesame\"\n" +
                              "on EV_SHOWDIALOGS after=0 send CM_ISPASSWORDVALID\n");
  Build({"--password", "Sesame"});
  const SetupRun right = Run({"/s"});
  EXPECT_EQ(right.exitCode, 0) << right.trace;
  EXPECT_NE(right.log.find("send CM_SETPASSWORD \"Sesame\" -> 0"), std::string::npos) << right.log;
  EXPECT_NE(right.log.find("send CM_ISPASSWORDVALID -> 0"), std::string::npos) << right.log;
  EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\secret.txt"), "the protected text");
}

}  // namespace
}  // namespace sx::test
