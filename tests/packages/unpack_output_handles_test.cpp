// The output files of an extraction: a file the copy handler opened itself is written through
// its handle, and every output gets its time and attributes through its own handle before it is
// closed, so that the engine neither opens a path twice nor looks it up again afterwards.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host/host_wrapper.h"
#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

// Counts the calls that open a path for writing or change a file by its path, and can make
// every writable file refuse its attributes.
class RecordingHost : public host::HostWrapper {
 public:
  explicit RecordingHost(host::Host& inner) : HostWrapper(inner), previous_(host::SetCurrentHost(this)) {}
  ~RecordingHost() override { host::SetCurrentHost(previous_); }

  std::map<std::string, int> writeOpens;  // by path
  int pathTimeChanges = 0, pathAttributeChanges = 0;
  bool refuseAttributes = false;

  std::unique_ptr<host::File> OpenFile(std::string_view path, host::OpenOptions options) override {
    auto file = Inner().OpenFile(path, options);
    if (!file || options.mode == host::OpenMode::kRead) return file;
    ++writeOpens[std::string(path)];
    return std::make_unique<RefusingFile>(std::move(file), *this);
  }
  bool SetFileTimes(std::string_view path, const host::FileTime* c, const host::FileTime* a,
                    const host::FileTime* w) override {
    ++pathTimeChanges;
    return Inner().SetFileTimes(path, c, a, w);
  }
  bool SetFileAttributes(std::string_view path, uint32_t attributes) override {
    ++pathAttributeChanges;
    return Inner().SetFileAttributes(path, attributes);
  }

 private:
  class RefusingFile : public host::FileWrapper {
   public:
    RefusingFile(std::unique_ptr<host::File> inner, RecordingHost& owner) : FileWrapper(std::move(inner)), owner_(owner) {}
    bool SetAttributes(uint32_t attributes) override {
      if (!owner_.refuseAttributes) return Inner().SetAttributes(attributes);
      owner_.SetLastError(host::kErrorAccessDenied);
      return false;
    }

   private:
    RecordingHost& owner_;
  };

  host::Host* previous_;
};

class UnpackOutputHandlesTest : public PackageTest {};

TEST_F(UnpackOutputHandlesTest, HandedOverFilesAreWrittenThroughAndOutputsGetTimesThroughTheirHandles) {
  std::string cab = MakeCabinet({{"a.txt", TextBytes(40000, 1)}, {"b.txt", "bravo"}, {"c.txt", "charlie"}}, true);
  const uint32_t dos = (21u << 25) | (2u << 21) | (3u << 16) | (4u << 11) | (5u << 5) | 3u;
  SetEntryDosDateTime(cab, 0, dos);
  SetEntryAttributes(cab, 0, host::kAttrReadOnly | host::kAttrHidden | host::kAttrArchive);
  WriteFile("C:\\pkg\\handles.cab", cab);
  ASSERT_TRUE(host().CreateFolder("C:\\out"));
  RecordingHost recording(host());

  TsxUnpacker unpacker("C:\\pkg\\handles.cab", false);
  std::map<std::string, host::FileInfo> atDone;
  ASSERT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        if (e.name == "a.txt") {  // handed over for this very path: taken
          dest = "C:\\out\\~a.tmp";
          unpacker.HandOverOutput(dest, recording.OpenFile(dest, {host::OpenMode::kCreateNew, false}));
        } else if (e.name == "b.txt") {  // handed over for another path: closed, not written
          dest = "C:\\out\\b.txt";
          unpacker.HandOverOutput("C:\\out\\~other.tmp",
                                  recording.OpenFile("C:\\out\\~other.tmp", {host::OpenMode::kCreateNew, false}));
        } else {  // handed over, then skipped: closed, so that the handler's file can go
          unpacker.HandOverOutput("C:\\out\\~c.tmp",
                                  recording.OpenFile("C:\\out\\~c.tmp", {host::OpenMode::kCreateNew, false}));
          return kUnpackSkip;
        }
        return kUnpackExtract;
      },
      [&](const UnpackEntry& e, const std::string& dest) {
        atDone[e.name] = *host().GetFileInfo(dest);
        return 1;
      }))
      << unpacker.ErrorText();

  EXPECT_EQ(recording.writeOpens["C:\\out\\~a.tmp"], 1);  // the handler's own open only
  EXPECT_EQ(recording.writeOpens["C:\\out\\b.txt"], 1);
  EXPECT_EQ(recording.pathTimeChanges, 0);
  EXPECT_EQ(recording.pathAttributeChanges, 0);
  EXPECT_EQ(ReadFile("C:\\out\\~a.tmp"), TextBytes(40000, 1));
  EXPECT_EQ(ReadFile("C:\\out\\b.txt"), "bravo");
  EXPECT_EQ(ReadFile("C:\\out\\~other.tmp"), "");
  EXPECT_TRUE(host().DeleteFile("C:\\out\\~c.tmp"));
  ASSERT_EQ(atDone.size(), 2u);
  EXPECT_EQ(atDone["a.txt"].lastWriteTime, host().LocalToUtc(DosDateTimeToFileTime(dos)));
  EXPECT_EQ(atDone["a.txt"].attributes & 0x27, host::kAttrReadOnly | host::kAttrHidden | host::kAttrArchive);
  EXPECT_EQ(atDone["b.txt"].attributes & (host::kAttrReadOnly | host::kAttrHidden), 0u);

  // Outside an extraction a handed-over file is simply closed.
  unpacker.HandOverOutput("C:\\out\\~late.tmp", recording.OpenFile("C:\\out\\~late.tmp", {host::OpenMode::kCreateNew, false}));
  EXPECT_TRUE(host().DeleteFile("C:\\out\\~late.tmp"));
}

TEST_F(UnpackOutputHandlesTest, AttributesRefusedThroughTheHandleFailTheExtractionAndRemoveTheFile) {
  WriteFile("C:\\pkg\\refused.cab", MakeCabinet({{"a.txt", "alpha"}}, true));
  RecordingHost recording(host());
  recording.refuseAttributes = true;
  TsxUnpacker unpacker("C:\\pkg\\refused.cab", false);
  int done = 0;
  EXPECT_FALSE(unpacker.Enumerate(
      [&](const UnpackEntry&, std::string& dest) {
        dest = "C:\\a.txt";
        return kUnpackExtract;
      },
      [&](const UnpackEntry&, const std::string&) { return ++done; }));
  EXPECT_NE(unpacker.ErrorText().find("cannot set the time and attributes"), std::string::npos) << unpacker.ErrorText();
  EXPECT_EQ(done, 0);
  EXPECT_FALSE(host().GetFileInfo("C:\\a.txt"));
  EXPECT_EQ(recording.pathTimeChanges + recording.pathAttributeChanges, 0);
}

}  // namespace
}  // namespace sx::test
