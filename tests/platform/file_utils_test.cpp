// File-system services: folder trees (read-only files, dot names, links that lead outside),
// block copies, free space, and renames at reboot on both Windows families.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/host_wrapper.h"
#include "platform/file_utils.h"
#include "tests/support/temp_machine.h"
#include "util/folder_path.h"

namespace sx {
namespace {

namespace fs = std::filesystem;

TEST(DeleteFolderTree, DeletesReadOnlyFilesKeepsDotNamesNeverFollowsLinks) {
  test::TempMachine machine;
  auto& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/t/sub/deep/ro.txt"), "x");
  ASSERT_TRUE(host.SetFileAttributes("C:\\t\\sub\\deep\\ro.txt", host::kAttrReadOnly));
  test::WriteHostFile(machine.HostPath("drive_c/outside/precious.txt"), "keep me");
  fs::create_directory_symlink(machine.HostPath("drive_c/outside"), machine.HostPath("drive_c/t/sub/link"));
  EXPECT_TRUE(DeleteFolderTree("C:\\t\\", true));
  EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/t")));
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/outside/precious.txt")), "keep me");

  test::WriteHostFile(machine.HostPath("drive_c/d/.hidden"), "x");
  test::WriteHostFile(machine.HostPath("drive_c/d/plain.txt"), "x");
  EXPECT_FALSE(DeleteFolderTree("C:\\d", true));  // the dot file stays, and so does the folder
  EXPECT_TRUE(fs::exists(machine.HostPath("drive_c/d/.hidden")));
  EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/d/plain.txt")));
  EXPECT_FALSE(DeleteFolderTree("C:\\missing", true));
  EXPECT_TRUE(DeleteFolderTree("C:\\outside", false));
  EXPECT_TRUE(FolderExistsAt("C:\\outside"));
}

TEST(CopyFileBlocks, ProgressBlocksAppendTimesAndAttributes) {
  test::TempMachine machine;
  auto& host = machine.host();
  std::string big(300000, 'a');
  test::WriteHostFile(machine.HostPath("drive_c/src.bin"), big);
  std::vector<uint32_t> progress;
  ASSERT_TRUE(CopyFileBlocks(
      "C:\\src.bin", "C:\\dst.bin",
      [&](std::string_view, std::string_view, uint32_t block, uint32_t total, uint32_t sofar) {
        EXPECT_EQ(total, 300000u);
        progress.push_back(block);
        progress.push_back(sofar);
        return true;
      },
      false, [](char* data, uint32_t size) { std::fill(data, data + size, 'b'); }));
  EXPECT_EQ(progress, (std::vector<uint32_t>{131072, 131072, 131072, 262144, 37856, 300000}));
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/dst.bin")), std::string(300000, 'b'));

  // Empty source, read-only, with its time: the target takes time and attributes.
  test::WriteHostFile(machine.HostPath("drive_c/empty.txt"), "");
  host::FileTime stamp = host::SystemTimeToFileTime({2001, 2, 0, 3, 4, 5, 6, 0});
  ASSERT_TRUE(host.SetFileTimes("C:\\empty.txt", nullptr, nullptr, &stamp));
  ASSERT_TRUE(host.SetFileAttributes("C:\\empty.txt", host::kAttrReadOnly));
  ASSERT_TRUE(CopyFilePlain("C:\\empty.txt", "C:\\empty2.txt"));
  auto info = host.GetFileInfo("C:\\empty2.txt");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->size, 0u);
  EXPECT_EQ(info->lastWriteTime, stamp);
  EXPECT_TRUE(info->attributes & host::kAttrReadOnly);

  test::WriteHostFile(machine.HostPath("drive_c/a.txt"), "head-");
  test::WriteHostFile(machine.HostPath("drive_c/b.txt"), "tail");
  ASSERT_TRUE(CopyFileBlocks("C:\\b.txt", "C:\\a.txt", nullptr, true, nullptr));
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/a.txt")), "head-tail");
  // A handler that says stop ends the copy with failure.
  EXPECT_FALSE(CopyFileBlocks("C:\\src.bin", "C:\\stop.bin",
                              [](auto, auto, auto, auto, auto) { return false; }, false, nullptr));
  EXPECT_FALSE(CopyFilePlain("C:\\none.bin", "C:\\x.bin"));
  EXPECT_EQ(ReadWholeFile("C:\\b.txt"), "tail");
  EXPECT_EQ(ReadWholeFile("C:\\none.bin"), "");
  EXPECT_EQ(FileSizeOf("C:\\src.bin"), 300000);
  EXPECT_EQ(FileSizeOf("C:\\none.bin"), -1);
  EXPECT_EQ(DiskFreeKB("C:\\missing"), 0);
  EXPECT_GT(DiskFreeKB("C:\\windows"), 0);
  EXPECT_NEAR(FileDateOf("C:\\empty.txt"), 36925.170208, 0.00003);  // 2001-02-03 04:05:06
}

TEST(CreateFolderPath, ParentsFirstThroughExistingFoldersOfAnyCase) {
  test::TempMachine machine;
  CreateFolderPath("C:\\new\\deeper\\deepest\\");
  EXPECT_TRUE(fs::is_directory(machine.HostPath("drive_c/new/deeper/deepest")));
  // An existing folder in other letters is used, not made a second time.
  CreateFolderPath("c:\\WINDOWS\\Added");
  EXPECT_TRUE(fs::is_directory(machine.HostPath("drive_c/windows/Added")));
  EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/WINDOWS")));
  // Existing folders and paths too short to name one are left alone.
  CreateFolderPath("C:\\new\\deeper");
  CreateFolderPath("C:");
  CreateFolderPath("");
  EXPECT_TRUE(fs::is_directory(machine.HostPath("drive_c/new/deeper/deepest")));
  EXPECT_TRUE(FolderExistsAt("C:\\NEW\\Deeper\\"));
  EXPECT_FALSE(FolderExistsAt("C:\\new\\none"));
}

TEST(RenameAtReboot, NtPendingRenamesWithDeleteOfTheTargetFirst) {
  test::TempMachine machine;
  auto& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/new.dll"), "new");
  RenameAtReboot("C:\\new.dll", "C:\\windows\\system32\\old.dll");
  DeleteAtReboot("C:\\new.dll");
  RenameAtReboot("C:\\absent.dll", "C:\\x.dll");  // a missing source registers nothing
  auto v = host.RegQueryValue(host::RegRoot::kLocalMachine, kSessionManagerKey, kPendingRenamesValue);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, host::kRegMultiSz);
  // Pairs of source and target; an empty target deletes; one more NUL ends the list.
  using namespace std::string_literals;
  const std::string expected = "\\??\\C:\\windows\\system32\\old.dll\0"s + "\0"s +
                               "\\??\\C:\\new.dll\0"s + "\\??\\C:\\windows\\system32\\old.dll\0"s +
                               "\\??\\C:\\new.dll\0"s + "\0"s + "\0"s;
  EXPECT_EQ(v->data, expected);
}

TEST(RenameAtReboot, NineXWininitEntriesGoToTheEndOfTheRenameSection) {
  test::TempMachine machine("[System]\nPlatform=9x\n");
  test::WriteHostFile(machine.HostPath("drive_c/new.dll"), "new");
  test::WriteHostFile(machine.HostPath("drive_c/windows/wininit.ini"),
                      "[Rename]\r\nNUL=C:\\A.TMP\r\n\r\n[Other]\r\n  x=1  \r\n");
  RenameAtReboot("C:\\new.dll", "C:\\windows\\system\\old.dll");
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/windows/wininit.ini")),
            "[Rename]\r\nNUL=C:\\A.TMP\r\nNUL=C:\\windows\\system\\old.dll\r\n"
            "C:\\windows\\system\\old.dll=C:\\new.dll\r\n\r\n[Other]\r\nx=1\r\n");
  EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/windows/system/old.dll")));  // the probe file
  EXPECT_FALSE(fs::exists(machine.HostPath("drive_c/windows/wininit.bak")));
  DeleteAtReboot("C:\\new.dll");
  std::string text = test::ReadHostFile(machine.HostPath("drive_c/windows/wininit.ini"));
  EXPECT_NE(text.find("C:\\new.dll\r\nNUL=C:\\new.dll\r\n\r\n[Other]"), std::string::npos) << text;
  // Without a wininit.ini the section is made.
  test::TempMachine fresh("[System]\nPlatform=9x\n");
  test::WriteHostFile(fresh.HostPath("drive_c/f.txt"), "x");
  DeleteAtReboot("C:\\f.txt");
  EXPECT_EQ(test::ReadHostFile(fresh.HostPath("drive_c/windows/wininit.ini")), "[Rename]\r\nNUL=C:\\f.txt\r\n");
}

}  // namespace
}  // namespace sx

namespace sx {
namespace {

// The simulated machine records a reboot the engine asks for; `sxtool machine reboot` performs it.
class ExitRecorder : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  bool ExitWindows(uint32_t flags) override {
    requests.push_back(flags);
    return true;
  }
  std::vector<uint32_t> requests;
};

TEST(RebootSystem, AsksTheSystemToRebootWithOrWithoutForce) {
  test::TempMachine machine;
  ExitRecorder recorder(machine.host());
  host::SetCurrentHost(&recorder);
  EXPECT_TRUE(RebootSystem(false));
  EXPECT_TRUE(RebootSystem(true));
  EXPECT_TRUE(ExitWindowsPrivileged(1));
  host::SetCurrentHost(&machine.host());
  EXPECT_EQ(recorder.requests, (std::vector<uint32_t>{2, 6, 1}));
}

}  // namespace
}  // namespace sx
