// The INI document cache: one document per file whatever the spelling of its name, read-only
// documents replaced by writable ones, changes reaching the disk at close and flush, the quote
// option taken when a document opens, failures reported instead of raised, and two threads
// using the cache at once.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "platform/ini_cache.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

using StringList = std::vector<std::string>;

// Every test leaves the process-wide cache empty and the quote option as the engine starts.
class IniCache : public ::testing::Test {
 protected:
  void TearDown() override {
    IniCloseAll();
    SetIniStripQuotes(true);
  }
  void Put(const std::string& relative, const std::string& content) {
    test::WriteHostFile(machine_.HostPath(relative), content);
  }
  std::string Get(const std::string& relative) { return test::ReadHostFile(machine_.HostPath(relative)); }

  test::TempMachine machine_;
};

TEST_F(IniCache, WritableOpenAfterReadOnlyGivesAFreshDocument) {
  Put("drive_c/windows/app.ini", "[S]\r\nk=first\r\n");
  TqvIniFile* reader = IniOpenCached("app.ini", true);
  ASSERT_TRUE(reader && reader->ReadOnly());
  // Changed behind the read-only document (which holds no lock), the cache keeps its copy...
  Put("drive_c/windows/app.ini", "[S]\r\nk=second\r\n");
  EXPECT_EQ(IniReadString("C:\\Windows\\APP.INI", "s", "K", ""), "first");
  EXPECT_EQ(IniOpenCached("C:\\windows\\sub\\..\\App.ini", true), reader);
  // ...until a write asks for the file: a writable document loads afresh.
  TqvIniFile* writer = IniOpenCached("C:\\WINDOWS\\APP.INI", false);
  ASSERT_TRUE(writer);
  EXPECT_FALSE(writer->ReadOnly());
  EXPECT_EQ(writer->ReadString("S", "k", ""), "second");
  // Reads are now served by the writable document, unwritten changes included.
  EXPECT_TRUE(IniWriteString("app.ini", "S", "new", "1"));
  EXPECT_EQ(IniOpenCached("app.ini", true), writer);
  EXPECT_EQ(IniReadString("app.ini", "S", "new", ""), "1");
  EXPECT_TRUE(IniWriteString("C:\\app.ini", "S", "root", "1"));  // another file
  EXPECT_TRUE(IniCloseAll());
  EXPECT_EQ(Get("drive_c/windows/app.ini"), "[S]\r\nk=second\r\nnew=1\r\n\r\n");
  EXPECT_EQ(Get("drive_c/app.ini"), "[S]\r\nroot=1\r\n\r\n");
}

TEST_F(IniCache, ChangesReachTheDiskAtCloseOrFlush) {
  EXPECT_TRUE(IniWriteString("C:\\a.ini", "S", "k", "v"));
  EXPECT_TRUE(IniWriteString("C:\\b.ini", "S", "k", "v"));
  EXPECT_FALSE(machine_.host().GetFileInfo("C:\\a.ini"));
  EXPECT_TRUE(IniCloseFile("c:\\A.INI"));
  EXPECT_EQ(Get("drive_c/a.ini"), "[S]\r\nk=v\r\n\r\n");
  EXPECT_FALSE(machine_.host().GetFileInfo("C:\\b.ini"));
  EXPECT_TRUE(IniWriteString("C:\\b.ini", "", "", ""));  // a flush writes at once
  EXPECT_EQ(Get("drive_c/b.ini"), "[S]\r\nk=v\r\n\r\n");
  // The writable document holds the file until it is closed.
  EXPECT_FALSE(machine_.host().OpenFile("C:\\b.ini", {host::OpenMode::kReadWrite, false}));
  IniDeleteKey("C:\\b.ini", "s", "K");
  // The text before the first "=" is the key; a line without "=" has an empty value; lines
  // without a key would erase the section and are passed over.
  EXPECT_TRUE(IniWriteSectionValues("C:\\b.ini", "S", {"c=3=x", "flag", "", "=orphan"}));
  EXPECT_TRUE(IniCloseAll());
  EXPECT_EQ(Get("drive_c/b.ini"), "[S]\r\nc=3=x\r\nflag=\r\n\r\n");
  EXPECT_TRUE(machine_.host().OpenFile("C:\\b.ini", {host::OpenMode::kReadWrite, false}));
}

TEST_F(IniCache, QuoteOptionIsTakenWhenADocumentOpens) {
  Put("drive_c/q1.ini", "[S]\r\nk=\"quoted\"\r\n");
  Put("drive_c/q2.ini", "[S]\r\nk=\"quoted\"\r\n");
  EXPECT_EQ(IniReadString("C:\\q1.ini", "S", "k", ""), "quoted");
  SetIniStripQuotes(false);  // as the main flow does at its beginning
  EXPECT_EQ(IniReadString("C:\\q1.ini", "S", "k", ""), "quoted");  // opened before
  EXPECT_EQ(IniReadString("C:\\q2.ini", "S", "k", ""), "\"quoted\"");
  IniCloseFile("C:\\q1.ini");
  EXPECT_EQ(IniReadString("C:\\q1.ini", "S", "k", ""), "\"quoted\"");
}

TEST_F(IniCache, ReadsOfNamesAndSectionValues) {
  Put("drive_c/r.ini", "[One]\r\na=1\r\nb=2\r\n[Two]\r\nc=3\r\n");
  StringList list{"stale"};
  IniReadSectionNames("C:\\r.ini", list);
  EXPECT_EQ(list, (StringList{"One", "Two"}));
  IniReadKeyNames("C:\\r.ini", "one", list);
  EXPECT_EQ(list, (StringList{"a", "b"}));
  list = {"a=0", "z=9"};
  IniReadSectionValues("C:\\r.ini", "ONE", list);
  EXPECT_EQ(list, (StringList{"a=1", "b=2", "z=9"}));
  IniReadSectionValues("C:\\r.ini", "missing", list);
  EXPECT_EQ(list.size(), 3u);
  IniReadSectionNames("C:\\missing.ini", list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(IniReadString("C:\\missing.ini", "S", "k", "d"), "d");
  EXPECT_FALSE(machine_.host().GetFileInfo("C:\\missing.ini"));
}

TEST_F(IniCache, FailuresAreReportedNotRaised) {
  auto& host = machine_.host();
  Put("drive_c/ro.ini", "[S]\r\nk=v\r\n");
  ASSERT_TRUE(host.SetFileAttributes("C:\\ro.ini", host::kAttrReadOnly));
  EXPECT_EQ(IniReadString("C:\\ro.ini", "S", "k", ""), "v");  // reading needs no write access
  EXPECT_FALSE(IniWriteString("C:\\ro.ini", "S", "k", "new"));
  EXPECT_FALSE(IniOpenCached("C:\\ro.ini", false));
  EXPECT_FALSE(IniWriteSectionValues("C:\\ro.ini", "S", {"k=1"}));
  IniDeleteKey("C:\\ro.ini", "S", "k");
  EXPECT_EQ(Get("drive_c/ro.ini"), "[S]\r\nk=v\r\n");
  ASSERT_TRUE(host.CreateFolder("C:\\folder.ini"));
  EXPECT_EQ(IniReadString("C:\\folder.ini", "S", "k", "d"), "d");

  // A write that cannot reach the disk is told by the flush and by the close.
  Put("drive_c/blocker", "a file where a folder should be");
  EXPECT_TRUE(IniWriteString("C:\\blocker\\x.ini", "S", "k", "v"));
  EXPECT_FALSE(IniWriteString("C:\\blocker\\x.ini", "", "", ""));
  EXPECT_TRUE(IniWriteString("C:\\blocker\\x.ini", "S", "k", "v2"));
  EXPECT_FALSE(IniCloseFile("C:\\blocker\\x.ini"));
  EXPECT_TRUE(IniWriteString("C:\\blocker\\y.ini", "S", "k", "v"));
  EXPECT_FALSE(IniCloseAll());
}

TEST_F(IniCache, AnyFirstAccessFinishesOrDiscardsALeftJournal) {
  auto& host = machine_.host();
  // A rewrite that failed after its journal: the file is half-written, the journal whole (and
  // older than the file, which the rewrite touched). A read alone finishes the rewrite.
  Put("drive_c/windows/app.ini", "[S]\r\nk=ne");
  Put("drive_c/windows/app.ini.sxjournal", "[S]\r\nk=new\r\n\r\n");
  const host::FileTime old = host::SystemTimeToFileTime({2001, 1, 0, 1, 12, 0, 0, 0});
  ASSERT_TRUE(host.SetFileTimes("C:\\windows\\app.ini.sxjournal", nullptr, nullptr, &old));
  EXPECT_EQ(IniReadString("app.ini", "S", "k", ""), "new");
  EXPECT_EQ(Get("drive_c/windows/app.ini"), "[S]\r\nk=new\r\n\r\n");
  EXPECT_FALSE(host.GetFileInfo("C:\\windows\\app.ini.sxjournal"));
  IniCloseAll();
  EXPECT_EQ(Get("drive_c/windows/app.ini"), "[S]\r\nk=new\r\n\r\n");

  // A journal whose file was deleted since is stale: the read finds nothing, removes it and
  // makes no file.
  Put("drive_c/windows/gone.ini.sxjournal", "[S]\r\nk=v\r\n\r\n");
  EXPECT_EQ(IniReadString("gone.ini", "S", "k", "none"), "none");
  EXPECT_FALSE(host.GetFileInfo("C:\\windows\\gone.ini.sxjournal"));
  IniCloseAll();
  EXPECT_FALSE(host.GetFileInfo("C:\\windows\\gone.ini"));
}

TEST_F(IniCache, TwoThreadsShareTheCache) {
  constexpr int kKeys = 2000;
  auto worker = [](const std::string& section) {
    bool ok = true;
    for (int i = 0; i < kKeys; ++i) {
      const std::string key = "k" + std::to_string(i);
      IniWriteString("C:\\log.ini", section, key, std::to_string(i));
      ok = IniReadString("C:\\log.ini", section, key, "") == std::to_string(i) && ok;
      if (i % 500 == 0) ok = IniWriteString("C:\\log.ini", "", "", "") && ok;
    }
    return ok;
  };
  bool copyThreadOk = false;
  std::thread copyThread([&] { copyThreadOk = worker("Copy"); });
  EXPECT_TRUE(worker("Main"));
  copyThread.join();
  EXPECT_TRUE(copyThreadOk);
  EXPECT_TRUE(IniCloseAll());
  for (const char* section : {"Copy", "Main"}) {
    StringList keys;
    IniReadKeyNames("C:\\log.ini", section, keys);
    EXPECT_EQ(keys.size(), static_cast<size_t>(kKeys)) << section;
  }
}

}  // namespace
}  // namespace sx
