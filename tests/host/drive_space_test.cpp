// Drives of a set size ([DiskSpace] of sxmachine.ini): writes past the size fail with
// ERROR_DISK_FULL and write nothing, copies that do not fit are refused, the free space shown is
// what is left, and removing files makes room again.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>

#include "host/posix/drive_space.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

TEST(DriveSpace, WritesPastTheDrivesSizeFailAsADiskFull) {
  EXPECT_EQ(host::ParseDriveSize("512"), 512u);
  EXPECT_EQ(host::ParseDriveSize("4k"), 4096u);
  EXPECT_EQ(host::ParseDriveSize("3M"), 3u << 20);
  EXPECT_EQ(host::ParseDriveSize("1G"), 1u << 30);
  for (const char* bad : {"", "M", "4MB", "-1", "lots", "99999999999999999999G"})
    EXPECT_FALSE(host::ParseDriveSize(bad).has_value()) << bad;

  TempMachine machine;
  char drive[PATH_MAX];
  ASSERT_NE(realpath(machine.HostPath("drive_c").c_str(), drive), nullptr);
  const uint64_t used = host::BytesBelow(drive);
  ASSERT_GT(used, 0u);  // a fresh machine has its registry-less files (win.ini, ...)
  WriteHostFile(machine.HostPath("sxmachine.ini"), "[DiskSpace]\nC:=" + std::to_string(used + 1000) + "\nQ=1\n");
  machine.Reopen();
  host::Host& host = machine.host();

  auto space = host.GetDiskSpace("C:\\windows");
  ASSERT_TRUE(space.has_value());
  EXPECT_EQ(space->freeBytesAvailable, 1000u);
  EXPECT_EQ(space->freeBytes, 1000u);
  EXPECT_EQ(space->totalBytes, used + 1000);

  const std::string chunk(600, 'x');
  {
    auto file = host.OpenFile("C:\\big.dat", {host::OpenMode::kCreateAlways, false});
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write(chunk.data(), chunk.size()));
    EXPECT_FALSE(file->Write(chunk.data(), chunk.size()));
    EXPECT_EQ(host.LastError(), host::kErrorDiskFull);
    // Writing over what the file holds takes no more room.
    ASSERT_TRUE(file->Seek(0));
    EXPECT_TRUE(file->Write(chunk.data(), chunk.size()));
  }
  EXPECT_EQ(host.GetFileInfo("C:\\big.dat")->size, 600u);
  EXPECT_EQ(host.GetDiskSpace("C:\\")->freeBytes, 400u);
  EXPECT_FALSE(host.CopyFile("C:\\big.dat", "C:\\copy.dat", false));
  EXPECT_EQ(host.LastError(), host::kErrorDiskFull);
  EXPECT_FALSE(host.GetFileInfo("C:\\copy.dat").has_value());
  ASSERT_TRUE(host.DeleteFile("C:\\big.dat"));
  EXPECT_EQ(host.GetDiskSpace("C:\\")->freeBytes, 1000u);
  auto file = host.OpenFile("C:\\big.dat", {host::OpenMode::kCreateAlways, false});
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Write(std::string(1000, 'y').data(), 1000));
}

TEST(DriveSpace, AnUnusableSettingLeavesTheDriveAsItIs) {
  TempMachine machine("[DiskSpace]\nC=plenty\nCD=4M\n");
  auto space = machine.host().GetDiskSpace("C:\\");
  ASSERT_TRUE(space.has_value());
  EXPECT_GT(space->freeBytes, 1u << 20);
  auto file = machine.host().OpenFile("C:\\data.bin", {host::OpenMode::kCreateAlways, false});
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Write(std::string(1 << 16, 'z').data(), 1 << 16));
}

}  // namespace
}  // namespace sx::test
