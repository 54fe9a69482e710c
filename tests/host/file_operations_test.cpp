// Files and folders as Windows treats them: read-only protection (also for root), existing
// targets, missing folders, share modes, listings with masks, times.
#include <gtest/gtest.h>

#include "host/host.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

void WriteFile(Host& host, const std::string& path, const std::string& data) {
  auto file = host.OpenFile(path, {OpenMode::kCreateAlways, false});
  ASSERT_TRUE(file) << path << " error " << host.LastError();
  ASSERT_TRUE(file->Write(data.data(), data.size()));
}

std::string ReadFile(Host& host, const std::string& path) {
  auto file = host.OpenFile(path, {OpenMode::kRead, false});
  if (!file) return "<missing>";
  std::string data(1024, '\0');
  auto n = file->Read(data.data(), data.size());
  data.resize(n ? *n : 0);
  return data;
}

TEST(FileOperations, ReadOnlyFilesRefuseEveryChange) {
  test::TempMachine machine;
  auto& host = machine.host();
  if (test::RunningUnderWine())
    GTEST_SKIP() << "Wine keeps the read-only attribute in the file's mode, which root may ignore";
  WriteFile(host, "C:\\ro.txt", "keep");
  WriteFile(host, "C:\\other.txt", "other");
  ASSERT_TRUE(host.SetFileAttributes("C:\\ro.txt", kAttrReadOnly));
  EXPECT_TRUE(host.GetFileInfo("C:\\ro.txt")->attributes & kAttrReadOnly);

  EXPECT_FALSE(host.DeleteFile("C:\\ro.txt"));
  EXPECT_EQ(host.LastError(), kErrorAccessDenied);
  EXPECT_FALSE(host.OpenFile("C:\\ro.txt", {OpenMode::kReadWrite, false}));
  EXPECT_FALSE(host.OpenFile("C:\\ro.txt", {OpenMode::kCreateAlways, false}));
  EXPECT_FALSE(host.CopyFile("C:\\other.txt", "C:\\ro.txt", false));
  EXPECT_EQ(host.LastError(), kErrorAccessDenied);
  EXPECT_FALSE(host.MoveFile("C:\\other.txt", "C:\\ro.txt", true));
  EXPECT_EQ(ReadFile(host, "C:\\ro.txt"), "keep");

  // A copy carries the attribute along, as CopyFile does.
  ASSERT_TRUE(host.CopyFile("C:\\ro.txt", "C:\\copy.txt", true));
  EXPECT_TRUE(host.GetFileInfo("C:\\copy.txt")->attributes & kAttrReadOnly);

  ASSERT_TRUE(host.SetFileAttributes("C:\\ro.txt", kAttrNormal));
  EXPECT_EQ(host.GetFileInfo("C:\\ro.txt")->attributes, kAttrNormal);
  EXPECT_TRUE(host.DeleteFile("C:\\ro.txt"));
  EXPECT_FALSE(host.GetFileInfo("C:\\ro.txt"));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
}

TEST(FileOperations, FoldersMovesAndCopiesReportWindowsErrors) {
  test::TempMachine machine;
  auto& host = machine.host();
  EXPECT_FALSE(host.CreateFolder("C:\\a\\b"));
  EXPECT_EQ(host.LastError(), kErrorPathNotFound);
  ASSERT_TRUE(host.CreateFolder("C:\\a"));
  EXPECT_FALSE(host.CreateFolder("C:\\A"));
  EXPECT_EQ(host.LastError(), kErrorAlreadyExists);
  WriteFile(host, "C:\\a\\one.txt", "1");
  EXPECT_FALSE(host.RemoveFolder("C:\\a"));
  EXPECT_EQ(host.LastError(), kErrorDirNotEmpty);
  EXPECT_FALSE(host.GetFileInfo("C:\\missing\\x"));
  EXPECT_EQ(host.LastError(), kErrorPathNotFound);

  WriteFile(host, "C:\\a\\two.txt", "2");
  EXPECT_FALSE(host.MoveFile("C:\\a\\one.txt", "C:\\a\\two.txt", false));
  EXPECT_EQ(host.LastError(), kErrorAlreadyExists);
  EXPECT_FALSE(host.CopyFile("C:\\a\\one.txt", "C:\\a\\two.txt", true));
  EXPECT_EQ(host.LastError(), kErrorFileExists);
  ASSERT_TRUE(host.MoveFile("C:\\a\\one.txt", "C:\\a\\two.txt", true));
  EXPECT_EQ(ReadFile(host, "C:\\a\\two.txt"), "1");
  EXPECT_FALSE(host.GetFileInfo("C:\\a\\one.txt"));

  // A rename that only changes letter case changes the name on disk.
  ASSERT_TRUE(host.MoveFile("C:\\a\\two.txt", "C:\\a\\TWO.txt", false));
  auto list = host.FindFiles("C:\\a\\*");
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u);  // ".", ".." and the file
  EXPECT_EQ((*list)[2].name, "TWO.txt");
  EXPECT_FALSE(host.CopyFile("C:\\a\\TWO.txt", "C:\\nowhere\\x.txt", false));
  EXPECT_EQ(host.LastError(), kErrorPathNotFound);
}

TEST(FileOperations, ListingsFollowWindowsMasks) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.CreateFolder("C:\\p"));
  for (const char* name : {"C:\\p\\one.DLL", "C:\\p\\two.dll", "C:\\p\\three.exe", "C:\\p\\README"})
    WriteFile(host, name, "x");
  ASSERT_TRUE(host.CreateFolder("C:\\p\\sub.dll"));
  auto dlls = host.FindFiles("C:\\P\\*.dll");
  ASSERT_TRUE(dlls);
  ASSERT_EQ(dlls->size(), 3u);
  EXPECT_EQ((*dlls)[0].name, "one.DLL");
  EXPECT_EQ((*dlls)[1].name, "sub.dll");
  EXPECT_TRUE((*dlls)[1].info.attributes & kAttrDirectory);
  EXPECT_EQ(host.FindFiles("C:\\p\\*.*")->size(), 7u);
  EXPECT_EQ(host.FindFiles("C:\\p\\t?o.*")->size(), 1u);
  EXPECT_EQ(host.FindFiles("C:\\p\\README.*")->size(), 1u);  // no extension matches ".*"
  EXPECT_TRUE(host.FindFiles("C:\\p\\*.zip")->empty());
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(host.FindFiles("C:\\absent\\*"));
  auto root = host.FindFiles("C:\\*");
  ASSERT_TRUE(root);
  for (const auto& e : *root) EXPECT_NE(e.name, "..");  // a root has no ".."
}

TEST(FileOperations, DenyWriteKeepsOtherWritersOutAndReadersTogether) {
  test::TempMachine machine;
  auto& host = machine.host();
  auto holder = host.OpenFile("C:\\log.ini", {OpenMode::kOpenAlways, true});
  ASSERT_TRUE(holder);
  ASSERT_TRUE(holder->Write("[a]\r\n", 5));
  EXPECT_FALSE(host.OpenFile("C:\\log.ini", {OpenMode::kReadWrite, false}));
  EXPECT_EQ(host.LastError(), kErrorSharingViolation);
  // A refused truncating open must not have truncated.
  EXPECT_FALSE(host.OpenFile("C:\\log.ini", {OpenMode::kCreateAlways, false}));
  EXPECT_EQ(host.GetFileInfo("C:\\log.ini")->size, 5u);
  EXPECT_TRUE(host.OpenFile("C:\\log.ini", {OpenMode::kRead, false}));
  holder.reset();
  EXPECT_TRUE(host.OpenFile("C:\\log.ini", {OpenMode::kReadWrite, false}));

  // Readers that deny writing share the file with each other (parallel setups reading one
  // package), but not with a writer, whichever came first.
  auto reader = host.OpenFile("C:\\log.ini", {OpenMode::kRead, true});
  ASSERT_TRUE(reader);
  EXPECT_TRUE(host.OpenFile("C:\\log.ini", {OpenMode::kRead, true}));
  EXPECT_FALSE(host.OpenFile("C:\\log.ini", {OpenMode::kReadWrite, false}));
  EXPECT_EQ(host.LastError(), kErrorSharingViolation);
  reader.reset();
  auto writer = host.OpenFile("C:\\log.ini", {OpenMode::kReadWrite, false});
  ASSERT_TRUE(writer);
  EXPECT_TRUE(host.OpenFile("C:\\log.ini", {OpenMode::kReadWrite, false}));  // writers share
  EXPECT_FALSE(host.OpenFile("C:\\log.ini", {OpenMode::kRead, true}));
  EXPECT_EQ(host.LastError(), kErrorSharingViolation);
  EXPECT_TRUE(host.OpenFile("C:\\log.ini", {OpenMode::kRead, false}));
}

TEST(FileOperations, TimesRoundTripAndConvertToDosFormat) {
  test::TempMachine machine;
  auto& host = machine.host();
  WriteFile(host, "C:\\t.txt", "x");
  SystemTime when{2020, 6, 0, 15, 13, 45, 30, 0};
  FileTime stamp = SystemTimeToFileTime(when);
  ASSERT_TRUE(host.SetFileTimes("C:\\t.txt", nullptr, nullptr, &stamp));
  EXPECT_EQ(host.GetFileInfo("C:\\t.txt")->lastWriteTime, stamp);
  EXPECT_EQ(FileTimeToDosDateTime(stamp), ((40u << 9 | 6u << 5 | 15u) << 16) | (13u << 11 | 45u << 5 | 15u));
  SystemTime back = FileTimeToSystemTime(stamp);
  EXPECT_EQ(back.year, 2020);
  EXPECT_EQ(back.day, 15);
  EXPECT_EQ(back.dayOfWeek, 1);  // a Monday
  EXPECT_EQ(FileTimeToDosDateTime(SystemTimeToFileTime({1979, 12, 0, 31, 0, 0, 0, 0})), 0u);
  // Created anew over an existing file: emptied, written at the time of the creation, also when
  // it was empty already.
  for (const std::string content : {"old content", ""}) {
    WriteFile(host, "C:\\again.txt", content);
    ASSERT_TRUE(host.SetFileTimes("C:\\again.txt", nullptr, nullptr, &stamp));
    ASSERT_TRUE(host.OpenFile("C:\\again.txt", {OpenMode::kCreateAlways, false}));
    const auto info = host.GetFileInfo("C:\\again.txt");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->size, 0u) << content;
    EXPECT_GT(info->lastWriteTime, stamp) << content;
  }
  auto space = host.GetDiskSpace("C:\\not\\there\\yet");
  ASSERT_TRUE(space);
  EXPECT_GT(space->totalBytes, 0u);
  EXPECT_LE(space->freeBytesAvailable, space->totalBytes);
}

TEST(FileOperations, TimesAndAttributesThroughAnOpenFile) {
  test::TempMachine machine;
  auto& host = machine.host();
  const FileTime stamp = SystemTimeToFileTime({2001, 2, 0, 3, 4, 5, 6, 0});
  {
    auto file = host.OpenFile("C:\\handle.txt", {OpenMode::kCreateNew, false});
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write("content", 7));
    ASSERT_TRUE(file->SetTimes(nullptr, &stamp, &stamp));
    ASSERT_TRUE(file->SetAttributes(kAttrReadOnly | kAttrHidden | kAttrArchive));
  }
  auto info = host.GetFileInfo("C:\\handle.txt");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->lastWriteTime, stamp);  // closing the file keeps the time it was given
  EXPECT_EQ(info->size, 7u);
  EXPECT_EQ(info->attributes & 0xFF, kAttrReadOnly | kAttrHidden | kAttrArchive);
  EXPECT_EQ(ReadFile(host, "C:\\handle.txt"), "content");

  // A handle that only reads changes neither.
  const FileTime later = SystemTimeToFileTime({2002, 2, 0, 3, 4, 5, 6, 0});
  {
    auto reader = host.OpenFile("C:\\handle.txt", {OpenMode::kRead, false});
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->SetTimes(nullptr, nullptr, &later));
    EXPECT_EQ(host.LastError(), kErrorAccessDenied);
    EXPECT_FALSE(reader->SetAttributes(kAttrNormal));
    EXPECT_EQ(host.LastError(), kErrorAccessDenied);
  }
  info = host.GetFileInfo("C:\\handle.txt");
  EXPECT_EQ(info->lastWriteTime, stamp);
  EXPECT_TRUE(info->attributes & kAttrReadOnly);

  // Normal takes the attributes away; a missing time stays as it is.
  ASSERT_TRUE(host.SetFileAttributes("C:\\handle.txt", kAttrArchive));
  {
    auto file = host.OpenFile("C:\\handle.txt", {OpenMode::kReadWrite, false});
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->SetAttributes(kAttrNormal));
    ASSERT_TRUE(file->SetTimes(nullptr, &later, nullptr));
  }
  info = host.GetFileInfo("C:\\handle.txt");
  EXPECT_EQ(info->attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem), 0u);
  EXPECT_EQ(info->lastWriteTime, stamp);
  EXPECT_TRUE(host.DeleteFile("C:\\handle.txt"));
}

}  // namespace
}  // namespace sx::host
