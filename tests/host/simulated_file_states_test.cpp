// Files in use and protected system files of the simulated machine, from its sxmachine.ini.
#include <gtest/gtest.h>

#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

constexpr char kSettings[] =
    "[System]\nAdmin=1\n"
    "[FilesInUse]\nC:\\App\\busy.dll=\n"
    "[ProtectedFiles]\nC:\\windows\\system32\\core.dll=\n";

std::string Read(host::Host& host, const std::string& path) {
  auto file = host.OpenFile(path, {host::OpenMode::kRead, false});
  if (!file) return "<refused>";
  std::string data(64, '\0');
  data.resize(file->Read(data.data(), data.size()).value_or(0));
  return data;
}

TEST(SimulatedFileStates, FilesInUseRefuseChangesButNotReadingUntilTheMachineReboots) {
  TempMachine machine(kSettings);
  host::Host& host = machine.host();
  ASSERT_TRUE(host.CreateFolder("C:\\App"));
  {
    auto file = host.OpenFile("C:\\App\\busy.dll", {host::OpenMode::kCreateAlways, false});
    ASSERT_NE(file, nullptr) << "a file that does not exist yet is no file in use";
    file->Write("held", 4);
  }
  EXPECT_FALSE(host.DeleteFile("c:\\app\\BUSY.dll"));
  EXPECT_EQ(host.LastError(), host::kErrorSharingViolation);
  EXPECT_FALSE(host.MoveFile("C:\\App\\busy.dll", "C:\\App\\moved.dll", false));
  EXPECT_EQ(host.OpenFile("C:\\App\\busy.dll", {host::OpenMode::kReadWrite, false}), nullptr);
  EXPECT_EQ(host.LastError(), host::kErrorSharingViolation);
  auto other = host.OpenFile("C:\\App\\other.dll", {host::OpenMode::kCreateAlways, false});
  ASSERT_NE(other, nullptr);
  other.reset();
  EXPECT_FALSE(host.CopyFile("C:\\App\\other.dll", "C:\\App\\busy.dll", false));
  EXPECT_FALSE(host.MoveFile("C:\\App\\other.dll", "C:\\App\\busy.dll", true));
  EXPECT_EQ(Read(host, "C:\\App\\busy.dll"), "held");
  EXPECT_TRUE(host.CopyFile("C:\\App\\busy.dll", "C:\\App\\copy.dll", false)) << "copying it away reads it";

  EXPECT_TRUE(host.IsProtectedFile("C:\\WINDOWS\\System32\\core.dll"));
  EXPECT_FALSE(host.IsProtectedFile("C:\\windows\\system32\\other.dll"));
  EXPECT_FALSE(host.IsProtectedFile("C:\\App\\busy.dll"));

  std::string out;
  ASSERT_EQ(RunCommand("SX_MACHINE='" + machine.folder() + "' " SX_SXTOOL " machine reboot", &out), 0) << out;
  EXPECT_EQ(ReadHostFile(machine.HostPath("sxmachine.ini")),
            "[System]\nAdmin=1\n[ProtectedFiles]\nC:\\windows\\system32\\core.dll=\n");
  EXPECT_TRUE(host.DeleteFile("C:\\App\\busy.dll")) << "the running host sees the change";
  EXPECT_TRUE(host.IsProtectedFile("C:\\windows\\system32\\core.dll"));
}

}  // namespace
}  // namespace sx::test
