// `sxtool machine reboot` does what a Windows start does: pending renames on both families, then
// the RunOnce programs, each value removed before its program starts.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_utils.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

namespace fs = std::filesystem;

std::string Reboot(test::TempMachine& machine) {
  machine.host().RegFlush();
  std::string out;
  EXPECT_EQ(test::RunCommand("SX_MACHINE='" + machine.folder() + "' " SX_SXTOOL " machine reboot", &out), 0);
  machine.Reopen();
  return out;
}

TEST(MachineReboot, AppliesRenamesRegisteredOnBothWindowsFamilies) {
  for (const char* ini : {"", "[System]\nPlatform=9x\n"}) {
    test::TempMachine machine(ini);
    test::WriteHostFile(machine.HostPath("drive_c/staged.dll"), "new version");
    test::WriteHostFile(machine.HostPath("drive_c/windows/app.dll"), "old version");
    test::WriteHostFile(machine.HostPath("drive_c/obsolete.txt"), "x");
    RenameAtReboot("C:\\staged.dll", "C:\\windows\\app.dll");
    DeleteAtReboot("C:\\obsolete.txt");
    std::string out = Reboot(machine);
    EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/windows/app.dll")), "new version") << ini << out;
    EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/staged.dll")));
    EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/obsolete.txt")));
    EXPECT_EQ(out.find("failed"), std::string::npos) << out;
    // Done once: a second start finds nothing to do.
    EXPECT_EQ(Reboot(machine), "");
  }
}

TEST(MachineReboot, RunOnceEntriesRunInOrderAfterTheirValueIsGone) {
  test::TempMachine machine;
  auto& host = machine.host();
  const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  // Each program notes its name and whether its own RunOnce value still exists.
  test::WriteHostFile(machine.HostPath("drive_c/tools/note.exe"),
                      std::string("#!/bin/sh\n" SX_SXTOOL " reg query \"$2\\\\") + key +
                          "\" \"$1\" >/dev/null 2>&1; echo \"$1 $?\" >> \"$(dirname \"$0\")/log.txt\"\n");
  auto set = [&](host::RegRoot root, const char* rootName, const char* name) {
    std::string data = std::string("\"C:\\tools\\note.exe\" ") + name + " " + rootName + '\0';
    ASSERT_TRUE(host.RegSetValue(root, key, name, {host::kRegSz, data}));
  };
  set(host::RegRoot::kCurrentUser, "HKCU", "user1");
  set(host::RegRoot::kLocalMachine, "HKLM", "machine1");
  set(host::RegRoot::kLocalMachine, "HKLM", "!machine2");
  Reboot(machine);
  // Exit status 1 of the query: the value was gone; '!' values go only after the program.
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/tools/log.txt")),
            "machine1 1\n!machine2 0\nuser1 1\n");
  EXPECT_TRUE(machine.host().RegEnumValues(host::RegRoot::kLocalMachine, key)->empty());
  EXPECT_TRUE(machine.host().RegEnumValues(host::RegRoot::kCurrentUser, key)->empty());
}

}  // namespace
}  // namespace sx
