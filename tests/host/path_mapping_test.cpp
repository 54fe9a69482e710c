// Windows paths of the simulated machine: normal form, case-insensitive mapping to host paths,
// code-page names on disk, and the paths that must not map.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/posix/path_mapper.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

TEST(PathNormalisation, ResolvesDotsDrivesAndRelativePaths) {
  EXPECT_EQ(NormalizeWindowsPath("c:/x/./y/../z", "C:\\"), "C:\\x\\z");
  EXPECT_EQ(NormalizeWindowsPath("C:\\a\\..\\..\\..\\b", "C:\\"), "C:\\b");  // never above root
  EXPECT_EQ(NormalizeWindowsPath("C:\\App\\", "C:\\"), "C:\\App\\");          // keeps the trailing '\'
  EXPECT_EQ(NormalizeWindowsPath("C:\\a\\\\b", "C:\\"), "C:\\a\\b");
  EXPECT_EQ(NormalizeWindowsPath("sub\\file.txt", "C:\\work"), "C:\\work\\sub\\file.txt");
  EXPECT_EQ(NormalizeWindowsPath("\\root.txt", "D:\\work"), "D:\\root.txt");
  EXPECT_EQ(NormalizeWindowsPath("D:file", "C:\\work"), "D:\\file");
  EXPECT_EQ(NormalizeWindowsPath("C:file", "C:\\work"), "C:\\work\\file");
  EXPECT_EQ(NormalizeWindowsPath("C:\\name. .", "C:\\"), "C:\\name");
  EXPECT_EQ(NormalizeWindowsPath("\\\\?\\C:\\long", "C:\\"), "C:\\long");
  EXPECT_EQ(NormalizeWindowsPath("\\??\\C:\\pending", "C:\\"), "C:\\pending");
  EXPECT_FALSE(NormalizeWindowsPath("\\\\server\\share\\x", "C:\\"));
  EXPECT_FALSE(NormalizeWindowsPath("", "C:\\"));
}

TEST(PathMapping, FindsExistingComponentsIgnoringCase) {
  test::TempMachine machine;
  auto& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/Program Files/My App/ReadMe.TXT"), "x");
  EXPECT_EQ(host.MapPath("c:\\PROGRAM FILES\\my app\\readme.txt"),
            machine.HostPath("drive_c/Program Files/My App/ReadMe.TXT"));
  // What does not exist yet keeps the caller's spelling below the last existing folder.
  EXPECT_EQ(host.MapPath("C:\\program files\\New Folder\\a.dll"),
            machine.HostPath("drive_c/Program Files/New Folder/a.dll"));
  // In a folder spelled as it stands on disk, a name differing in case is the existing entry,
  // also one made behind the host's back after the folder was looked at; a file standing where a
  // folder is named keeps the caller's spelling below it.
  EXPECT_EQ(host.MapPath("C:\\Program Files\\My App\\new.txt"),
            machine.HostPath("drive_c/Program Files/My App/new.txt"));
  EXPECT_EQ(host.MapPath("C:\\Program Files\\My App\\README.txt"),
            machine.HostPath("drive_c/Program Files/My App/ReadMe.TXT"));
  test::WriteHostFile(machine.HostPath("drive_c/Program Files/My App/Later.Txt"), "x");
  EXPECT_EQ(host.MapPath("C:\\Program Files\\My App\\LATER.TXT"),
            machine.HostPath("drive_c/Program Files/My App/Later.Txt"));
  EXPECT_EQ(host.MapPath("C:\\Program Files\\My App\\ReadMe.TXT\\x"),
            machine.HostPath("drive_c/Program Files/My App/ReadMe.TXT/x"));
  ASSERT_TRUE(host.DeleteFile("C:\\program files\\my app\\later.txt"));
  EXPECT_EQ(host.MapPath("C:\\Program Files\\My App\\LATER.TXT"),
            machine.HostPath("drive_c/Program Files/My App/LATER.TXT"));
  EXPECT_EQ(host.WindowsPathOf(machine.HostPath("drive_c/windows/system32")), "C:\\windows\\system32");
  EXPECT_EQ(host.WindowsPathOf(machine.HostPath("drive_c/windows/not yet")), "C:\\windows\\not yet");

  EXPECT_FALSE(host.MapPath("Q:\\nowhere"));
  EXPECT_EQ(host.LastError(), kErrorPathNotFound);
  EXPECT_FALSE(host.MapPath("C:\\bad<name"));
  EXPECT_EQ(host.LastError(), kErrorInvalidName);
  EXPECT_FALSE(host.MapPath("\\\\server\\share"));
}

TEST(PathMapping, RelativePathsFollowTheCurrentFolder) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.SetCurrentFolder("c:\\WINDOWS\\"));
  EXPECT_EQ(host.CurrentFolder(), "C:\\WINDOWS");
  EXPECT_EQ(host.FullPath("system32\\x.dll"), "C:\\WINDOWS\\system32\\x.dll");
  EXPECT_EQ(host.MapPath("system32"), machine.HostPath("drive_c/windows/system32"));
  EXPECT_FALSE(host.SetCurrentFolder("C:\\missing"));
}

TEST(PathMapping, NamesAreUtf8OnDiskAndAnsiInTheEngine) {
  test::TempMachine machine("[Locale]\nSystem=RUS\n");
  auto& host = machine.host();
  const std::string name = "C:\\\xC0\xE1\xE2.txt";  // "Абв.txt" in code page 1251
  auto file = host.OpenFile(name, {OpenMode::kCreateNew, false});
  ASSERT_TRUE(file);
  file.reset();
  EXPECT_TRUE(std::filesystem::exists(machine.HostPath("drive_c/\xD0\x90\xD0\xB1\xD0\xB2.txt")));
  // Found again with other letter cases of the Cyrillic name.
  EXPECT_TRUE(host.GetFileInfo("C:\\\xE0\xC1\xC2.TXT"));
  auto entries = host.FindFiles("C:\\*.txt");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].name, "\xC0\xE1\xE2.txt");
}

}  // namespace
}  // namespace sx::host

namespace sx::host {
namespace {

TEST(PathMapping, KnowsNewNamesFromThisProcessAndFromOthers) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.CreateFolder("C:\\f"));
  ASSERT_TRUE(host.OpenFile("C:\\f\\Foo.txt", {OpenMode::kCreateNew, false}));
  EXPECT_EQ(host.MapPath("C:\\F\\FOO.TXT"), machine.HostPath("drive_c/f/Foo.txt"));
  // Made behind the host's back: found all the same.
  test::WriteHostFile(machine.HostPath("drive_c/f/Bar.txt"), "x");
  EXPECT_EQ(host.MapPath("c:\\f\\bar.TXT"), machine.HostPath("drive_c/f/Bar.txt"));
  // A removed name is forgotten: the next file takes the spelling it is given.
  ASSERT_TRUE(host.DeleteFile("C:\\f\\foo.txt"));
  ASSERT_TRUE(host.OpenFile("C:\\f\\FOO.txt", {OpenMode::kCreateNew, false}));
  EXPECT_EQ(host.MapPath("C:\\f\\foo.txt"), machine.HostPath("drive_c/f/FOO.txt"));
  std::filesystem::remove(machine.HostPath("drive_c/f/Bar.txt"));
  EXPECT_EQ(host.MapPath("C:\\f\\BAR.txt"), machine.HostPath("drive_c/f/BAR.txt"));
}

TEST(PathMapping, RenamesAndMovedDrivesKeepTheKnownNamesRight) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.CreateFolder("C:\\g"));
  ASSERT_TRUE(host.OpenFile("C:\\g\\Staged.tmp", {OpenMode::kCreateNew, false}));
  ASSERT_TRUE(host.MoveFile("C:\\g\\staged.tmp", "C:\\g\\Final.dat", false));
  EXPECT_EQ(host.MapPath("C:\\G\\FINAL.DAT"), machine.HostPath("drive_c/g/Final.dat"));
  EXPECT_EQ(host.MapPath("C:\\g\\STAGED.TMP"), machine.HostPath("drive_c/g/STAGED.TMP"));  // gone
  EXPECT_FALSE(host.GetFileInfo("C:\\g\\staged.tmp"));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(host.MoveFile("C:\\g\\staged.tmp", "C:\\g\\other.dat", false));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(host.MoveFile("C:\\g\\final.dat", "C:\\missing\\final.dat", false));
  EXPECT_EQ(host.LastError(), kErrorPathNotFound);

  // The drive's folder moves elsewhere (its link is pointed at the new place): the host finds
  // it there from then on, for existing and for new names.
  std::filesystem::rename(machine.HostPath("drive_c"), machine.HostPath("drive_c2"));
  std::filesystem::remove(machine.HostPath("dosdevices/c:"));
  std::filesystem::create_directory_symlink("../drive_c2", machine.HostPath("dosdevices/c:"));
  EXPECT_EQ(host.MapPath("C:\\g\\final.dat"), machine.HostPath("drive_c2/g/Final.dat"));
  EXPECT_EQ(host.MapPath("C:\\g\\new.dat"), machine.HostPath("drive_c2/g/new.dat"));
  EXPECT_TRUE(host.GetFileInfo("C:\\G\\Final.dat"));
}

}  // namespace
}  // namespace sx::host
