// A file in use stops the installation for a reboot: the new copy waits beside the old one, the
// engine leaves its resume entry and exits; `sxtool machine reboot` replaces the file and
// resumes the installation, which installs the rest and finishes. On NT the replacement waits in
// PendingFileRenameOperations; on a Windows 9x machine in wininit.ini, and the environment goes
// into autoexec.bat, from where the uninstaller takes it out again.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/scenarios/scenario_fixture.h"

namespace sx::test {
namespace {

constexpr char kRunOnce[] = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kBusy[] = "C:\\Program Files\\Gizmo\\busy.dll";

class RebootResume : public ScenarioTest {
 protected:
  // A product that replaces busy.dll, which a running program holds; the machine's settings
  // add `system`.
  void Prepare(const std::string& system) {
    SetMachineIni(system + "[FilesInUse]\n" + kBusy + "=\n");
    Machine().Reopen();
    Product product;
    product.variables = R"(<var name="GIZMOHOME" type="envvar" value="C:\Gizmo"/>)";
    product.items = R"(<registry><reg key="HKLM\Software\Vendor\Gizmo" param="Path" value="%InstallPath%"/></registry>)";
    WriteProduct(product);
    Project().Write("payload/core/busy.dll", "new library");
    Project().Write("payload/core/gizmo.txt", "text");
    Build();
    WriteOlderFile(kBusy, "old library");
  }
  // Installs; the run stops for the reboot with the old library still in place.
  void InstallUntilTheReboot() {
    const SetupRun run = Run({"/s"});
    EXPECT_EQ(run.exitCode, 0) << run.trace;
    EXPECT_EQ(Read(kBusy), "old library");
    EXPECT_EQ(Read("C:\\Program Files\\Gizmo\\gizmo.txt"), "text");
    EXPECT_NE(Query(kRunOnce).find("/resume:"), std::string::npos) << Query(kRunOnce);
    // What follows the files waits for the resume.
    EXPECT_EQ(Query("HKLM\\Software\\Vendor\\Gizmo"), "");
  }
  // Reboots; the resumed installation finishes.
  void RebootAndFinish() {
    std::string output;
    EXPECT_EQ(Reboot(&output), 0) << output;
    EXPECT_NE(output.find("(exit code 0)"), std::string::npos) << output;
    EXPECT_EQ(Read(kBusy), "new library");
    EXPECT_NE(Query("HKLM\\Software\\Vendor\\Gizmo").find("Path    REG_SZ    C:\\Program Files\\Gizmo"),
              std::string::npos);
    EXPECT_NE(Query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gizmo").find("DisplayName"),
              std::string::npos);
    EXPECT_EQ(Query(kRunOnce).find("REG_SZ"), std::string::npos) << Query(kRunOnce);
    EXPECT_EQ(ReadHostFile(Machine().HostPath("sxmachine.ini")).find("FilesInUse"), std::string::npos);
  }
};

TEST_F(RebootResume, AFileInUseIsReplacedAtTheRebootAndTheInstallationResumes) {
  Prepare("");
  const auto tempBefore = TempEntries();
  InstallUntilTheReboot();
  EXPECT_NE(Query("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager").find("PendingFileRenameOperations"),
            std::string::npos);
  RebootAndFinish();
  // The resume copy removes itself once it has ended.
  for (int i = 0; i < 100 && TempEntries() != tempBefore; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(TempEntries(), tempBefore);
  EXPECT_EQ(Query("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager").find("PendingFileRenameOperations"),
            std::string::npos);
  EXPECT_NE(Query("HKCU\\Environment").find("GIZMOHOME    REG_SZ    C:\\Gizmo"), std::string::npos);
}

TEST_F(RebootResume, OnWindows9xTheReplacementWaitsInWininitAndTheEnvironmentInAutoexec) {
  Prepare("[System]\nPlatform=9x\n");
  const auto tempBefore = TempEntries();
  const std::string autoexecBefore = Read("C:\\autoexec.bat");
  InstallUntilTheReboot();
  const std::string wininit = Read("C:\\windows\\wininit.ini");
  EXPECT_NE(wininit.find("[Rename]"), std::string::npos) << wininit;
  EXPECT_NE(wininit.find(kBusy), std::string::npos) << wininit;
  RebootAndFinish();
  // Windows 9x cannot delete a running program: the resume copy goes at the next start.
  const std::string copyGoes = Read("C:\\windows\\wininit.ini");
  EXPECT_EQ(copyGoes.find(kBusy), std::string::npos) << copyGoes;
  EXPECT_NE(copyGoes.find("NUL=C:\\users\\user\\Temp\\sx"), std::string::npos) << copyGoes;
  EXPECT_EQ(Reboot(), 0);
  EXPECT_EQ(TempEntries(), tempBefore);
  EXPECT_NE(Read("C:\\autoexec.bat").find("SET GIZMOHOME=C:\\Gizmo"), std::string::npos) << Read("C:\\autoexec.bat");

  const std::string log = Read("C:\\Program Files\\Gizmo\\install.log");
  std::string trace;
  EXPECT_EQ(RunUninstaller("Gizmo", "/s", "", &trace), 0) << trace;
  EXPECT_EQ(Read("C:\\autoexec.bat").find("GIZMOHOME"), std::string::npos) << Read("C:\\autoexec.bat");
  EXPECT_EQ(Read("C:\\autoexec.bat"), autoexecBefore);
  // The library was there before the product: replaced, it stays, as the log does not list it.
  EXPECT_EQ(log.find(kBusy), std::string::npos) << log;
  EXPECT_EQ(Read(kBusy), "new library");
  EXPECT_FALSE(Exists("C:\\Program Files\\Gizmo\\gizmo.txt"));
  EXPECT_EQ(Query("HKLM\\Software\\Vendor\\Gizmo"), "");
}

}  // namespace
}  // namespace sx::test
