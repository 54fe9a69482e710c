// Bad input and hostile conditions: a damaged setup program, a cabinet missing in the middle of
// the installation, a disk that fills up, an uninstall log edited by hand. Each ends with a
// message, changes nothing on the machine (what a failed installation did is undone) and leaves
// no temporary files.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>


#include "host/posix/drive_space.h"
#include "tests/support/random_bytes.h"
#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

class BadInput : public ScenarioTest {
 protected:
  // Runs the setup silently and checks that it failed with a message box, leaving the machine
  // as `before` and the temporary folder empty. The trace, for more checks.
  std::string RunAndExpectNothingChanged(const MachineSnapshot& before, const std::vector<std::string>& tempBefore) {
    const SetupRun run = Run({"/s"});
    EXPECT_EQ(run.exitCode, 255) << run.trace;
    EXPECT_FALSE(run.TraceLines("messagebox").empty()) << run.trace;
    EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
    EXPECT_EQ(TempEntries(), tempBefore);
    return run.trace;
  }
};

TEST_F(BadInput, ADamagedSetupProgramIsRefusedOrRolledBack) {
  Product product;
  WriteProduct(product);
  Project().Write("payload/core/gizmo.txt", "text");
  Project().Write("payload/core/large.bin", RandomBytes(200000, 3));
  Build({"--compression", "none"});
  const std::string setup = Machine().HostPath("drive_c/setup/setup.exe");
  const std::string good = ReadHostFile(setup);
  // An earlier copy's file, replaced before the damage is met: it must come back.
  WriteOlderFile("C:\\Program Files\\Gizmo\\gizmo.txt", "earlier text");
  const auto tempBefore = TempEntries();
  const MachineSnapshot before = Snapshot();

  // Cut short: the package's trailer is gone.
  WriteHostFile(setup, good.substr(0, good.size() - 5000));
  std::string trace = RunAndExpectNothingChanged(before, tempBefore);
  EXPECT_NE(trace.find("title=\"Invalid package\""), std::string::npos) << trace;

  // A damaged byte in the data near the end: the file phase meets it after the first file was
  // installed (the cabinet's block checksum tells).
  std::string damaged = good;
  damaged[damaged.size() - 2500] ^= 0x5A;
  WriteHostFile(setup, damaged);
  trace = RunAndExpectNothingChanged(before, tempBefore);
  EXPECT_NE(trace.find("text=\"Cannot install \\\"C:\\\\Program Files\\\\Gizmo\\\\large.bin\\\".\\r\\r"), std::string::npos)
      << trace;
  EXPECT_NE(trace.find("data block checksum mismatch"), std::string::npos) << trace;
}

TEST_F(BadInput, ACabinetMissingInTheMiddleOfTheInstallation) {
  Product product;
  product.packages = R"(<package id="data" filename="data"/>)";
  product.package = "data";
  WriteProduct(product);
  for (int i = 1; i <= 4; ++i) Project().Write("payload/core/part" + std::to_string(i) + ".bin", RandomBytes(30000, i));
  Build({"--max-cabinet-size", "32K"});
  const std::string last = Machine().HostPath("drive_c/setup/data-4.cab");
  ASSERT_TRUE(std::filesystem::exists(last));
  std::filesystem::remove(last);
  const auto tempBefore = TempEntries();
  const MachineSnapshot before = Snapshot();
  const std::string trace = RunAndExpectNothingChanged(before, tempBefore);
  EXPECT_NE(trace.find("messagebox title=\"File not found\" text=\"File \\\"data-4.cab\\\" was not found"),
            std::string::npos)
      << trace;
}

TEST_F(BadInput, ADiskThatFillsUpDuringTheInstallation) {
  Product product;
  WriteProduct(product);
  Project().Write("payload/core/gizmo.txt", "text");
  Project().Write("payload/core/huge.bin", RandomBytes(3 << 20, 4));
  Build({"--engine", SX_SETUP_ENGINE});  // the engine as setups carry it, without debug information
  // Room for the setup's preparation (the engine's copy for a resume, the uninstaller and the
  // plug-in, whatever their build makes them weigh), not for the files.
  char drive[PATH_MAX];
  ASSERT_NE(realpath(Machine().HostPath("drive_c").c_str(), drive), nullptr);
  const std::filesystem::path programs = std::filesystem::path(SX_SETUP_ENGINE).parent_path();
  const uint64_t room = std::filesystem::file_size(SX_SETUP_ENGINE) + std::filesystem::file_size(programs / "Uninstall.exe") +
                        std::filesystem::file_size(programs / "sxwizard.dll") + (1 << 20);
  SetMachineIni("[DiskSpace]\nC=" + std::to_string(host::BytesBelow(drive) + room) + "\n");
  WriteOlderFile("C:\\Program Files\\Gizmo\\gizmo.txt", "earlier text");  // replaced, then restored
  const auto tempBefore = TempEntries();
  const MachineSnapshot before = Snapshot();
  const std::string trace = RunAndExpectNothingChanged(before, tempBefore);
  EXPECT_NE(trace.find("Gizmo\\\\huge.bin\\\".\\r\\rthere is not enough space on the disk"), std::string::npos) << trace;
}

TEST_F(BadInput, AnUninstallLogEditedByHandIsRefusedAndChangesNothing) {
  Product product;
  product.items = R"(<registry><reg key="HKLM\Software\Vendor\Gizmo" param="Path" value="%InstallPath%"/></registry>)";
  WriteProduct(product);
  Project().Write("payload/core/gizmo.txt", "text");
  Build();
  ASSERT_EQ(Run({"/s"}).exitCode, 0);
  const std::string logPath = HostOf("C:\\Program Files\\Gizmo\\install.log");
  const std::string log = ReadHostFile(logPath);
  const size_t entry = log.find("C:\\Program Files\\Gizmo\\gizmo.txt=");
  ASSERT_NE(entry, std::string::npos) << log;
  std::string edited = log;
  edited.replace(entry, 3, "");  // "Program Files\Gizmo\gizmo.txt=": no full path
  WriteHostFile(logPath, edited);
  const auto tempBefore = TempEntries();
  const MachineSnapshot installed = Snapshot();

  std::string trace;
  EXPECT_EQ(RunUninstaller("Gizmo", "/s", "", &trace), 255) << trace;
  EXPECT_NE(trace.find("cannot be read"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Nothing was changed."), std::string::npos) << trace;
  EXPECT_EQ(SnapshotDifference(installed, Snapshot()), "");
  EXPECT_EQ(TempEntries(), tempBefore);
}

}  // namespace
}  // namespace sx::test
