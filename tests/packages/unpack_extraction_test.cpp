// Extraction through TsxUnpacker and the unpack library, on cabinets made by gcab and checked
// against cabextract: the signature search, scrambling, answers, progress, time and attributes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "packages/package_trailer.h"
#include "packages/unpack_api.h"
#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

class UnpackExtractionTest : public PackageTest {
 protected:
  Files SampleFiles() {
    return {{"readme.txt", TextBytes(3000, 1)},
            {"empty.dat", ""},
            {"sub/deep/big.bin", RandomBytes(150000, 2)},
            {"sub/text.log", TextBytes(200000, 3)}};
  }
};

TEST_F(UnpackExtractionTest, ExtractsGcabCabinetLikeCabextract) {
  const Files files = SampleFiles();
  const std::string cab = MakeCabinet(files, true);
  WriteFile("C:\\pkg\\sample.cab", cab);
  // cabextract's view of the same cabinet.
  const std::string reference = machine_.HostPath("cabextract-out");
  ASSERT_EQ(RunCommand("cabextract -q -d '" + reference + "' '" + HostPathOf("C:\\pkg\\sample.cab") +
                       "'"),
            0);

  TsxUnpacker unpacker("C:\\pkg\\sample.cab", false);
  ASSERT_TRUE(unpacker.Loaded()) << unpacker.ErrorText();
  bool ok = false;
  const auto names = ExtractAll(unpacker, "C:\\out\\", &ok);
  ASSERT_TRUE(ok) << unpacker.ErrorText();
  ASSERT_EQ(names, (std::vector<std::string>{"readme.txt", "empty.dat", "sub\\deep\\big.bin",
                                             "sub\\text.log"}));
  for (const auto& [name, content] : files) {
    std::string windowsName = name;
    for (auto& c : windowsName)
      if (c == '/') c = '\\';
    EXPECT_EQ(ReadFile("C:\\out\\" + windowsName), content) << name;
    EXPECT_EQ(ReadFile("C:\\out\\" + windowsName), ReadHostFile(reference + "/" + name)) << name;
  }
}

TEST_F(UnpackExtractionTest, EntryFieldsComeFromTheArchive) {
  std::string cab = MakeCabinet({{"a.txt", "alpha"}, {"b.txt", "bravo!"}}, true);
  // 2001-02-03 04:05:06 local, read-only + hidden + executable flag.
  const uint32_t dos = (21u << 25) | (2u << 21) | (3u << 16) | (4u << 11) | (5u << 5) | 3u;
  SetEntryDosDateTime(cab, 1, dos);
  SetEntryAttributes(cab, 1, 0x01 | 0x02 | 0x20 | 0x40);
  WriteFile("C:\\pkg\\fields.cab", cab);
  TsxUnpacker unpacker("C:\\pkg\\fields.cab", false);
  std::vector<UnpackEntry> entries;
  ASSERT_TRUE(unpacker.Enumerate([&](const UnpackEntry& e, std::string&) {
    entries.push_back(e);
    return kUnpackSkip;
  })) << unpacker.ErrorText();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_EQ(entries[1].size, 6u);
  EXPECT_EQ(entries[1].dosDateTime, dos);
  EXPECT_EQ(entries[1].attributes, 0x63u);
  const host::SystemTime st = host::FileTimeToSystemTime(entries[1].dateTime);
  EXPECT_EQ(st.year, 2001);
  EXPECT_EQ(st.month, 2);
  EXPECT_EQ(st.day, 3);
  EXPECT_EQ(st.hour, 4);
  EXPECT_EQ(st.minute, 5);
  EXPECT_EQ(st.second, 6);
}

TEST_F(UnpackExtractionTest, FileHasTimeAndMaskedAttributesBeforeFileDone) {
  std::string cab = MakeCabinet({{"ro.txt", "read only"}, {"plain.txt", "plain"}}, true);
  const uint32_t dos = (30u << 25) | (6u << 21) | (15u << 16) | (12u << 11) | (30u << 5) | 10u;
  SetEntryDosDateTime(cab, 0, dos);
  SetEntryAttributes(cab, 0, 0x01 | 0x02 | 0x04 | 0x40 | 0x80);
  WriteFile("C:\\pkg\\attrs.cab", cab);
  TsxUnpacker unpacker("C:\\pkg\\attrs.cab", false);
  std::map<std::string, host::FileInfo> seen;
  ASSERT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        dest = "C:\\" + e.name;
        return kUnpackExtract;
      },
      [&](const UnpackEntry& e, const std::string& dest) {
        EXPECT_EQ(dest, "C:\\" + e.name);
        seen[e.name] = *host().GetFileInfo(dest);
        return 1;
      }))
      << unpacker.ErrorText();
  ASSERT_EQ(seen.size(), 2u);
  const host::FileInfo& ro = seen["ro.txt"];
  EXPECT_EQ(ro.attributes & 0x27, 0x07u);
  EXPECT_EQ(ro.lastWriteTime, host().LocalToUtc(DosDateTimeToFileTime(dos)));
  EXPECT_EQ(seen["plain.txt"].attributes & (host::kAttrReadOnly | host::kAttrHidden), 0u);
  EXPECT_EQ(ReadFile("C:\\ro.txt"), "read only");
}

TEST_F(UnpackExtractionTest, SkipStopAndEmptyDestinationAnswers) {
  WriteFile("C:\\pkg\\answers.cab",
            MakeCabinet({{"1.txt", "one"}, {"2.txt", "two"}, {"3.txt", "three"}, {"4.txt", "four"}},
                        true));
  MakeFolder("C:\\got\\");
  TsxUnpacker unpacker("C:\\pkg\\answers.cab", false);
  std::vector<std::string> offered, done;
  ASSERT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        offered.push_back(e.name);
        if (e.name == "1.txt") return kUnpackSkip;
        if (e.name == "2.txt") return kUnpackExtract;  // no destination: not written
        if (e.name == "4.txt") return kUnpackAbort;
        dest = "C:\\got\\" + e.name;
        return kUnpackExtract;
      },
      [&](const UnpackEntry& e, const std::string&) {
        done.push_back(e.name);
        return 1;
      }))
      << unpacker.ErrorText();
  EXPECT_EQ(offered, (std::vector<std::string>{"1.txt", "2.txt", "3.txt", "4.txt"}));
  EXPECT_EQ(done, std::vector<std::string>{"3.txt"});
  EXPECT_EQ(ReadFile("C:\\got\\3.txt"), "three");
  EXPECT_FALSE(Exists("C:\\got\\1.txt"));
  EXPECT_FALSE(Exists("C:\\got\\4.txt"));
}

TEST_F(UnpackExtractionTest, FileDoneAbortEndsTheWalkSuccessfully) {
  WriteFile("C:\\pkg\\done.cab", MakeCabinet({{"a", "A"}, {"b", "B"}}, true));
  MakeFolder("C:\\d\\");
  TsxUnpacker unpacker("C:\\pkg\\done.cab", false);
  int offered = 0;
  EXPECT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        ++offered;
        dest = "C:\\d\\" + e.name;
        return kUnpackExtract;
      },
      [&](const UnpackEntry&, const std::string&) { return kUnpackAbort; }));
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(ReadFile("C:\\d\\a"), "A");
  EXPECT_FALSE(Exists("C:\\d\\b"));
}

TEST_F(UnpackExtractionTest, ProgressReportsEveryPieceOfAFile) {
  const std::string big = TextBytes(300000, 9);
  WriteFile("C:\\pkg\\progress.cab", MakeCabinet({{"big.txt", big}}, true));
  TsxUnpacker unpacker("C:\\pkg\\progress.cab", false);
  uint64_t sum = 0, last = 0;
  int pieces = 0;
  ASSERT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry&, std::string& dest) {
        dest = "C:\\big.txt";
        return kUnpackExtract;
      },
      {},
      [&](const std::string& name, const std::string& dest, uint32_t size, uint32_t bytes,
          uint32_t written) {
        EXPECT_EQ(name, "big.txt");
        EXPECT_EQ(dest, "C:\\big.txt");
        EXPECT_EQ(size, big.size());
        sum += bytes;
        EXPECT_EQ(written, sum);
        last = written;
        ++pieces;
        return 1;
      }))
      << unpacker.ErrorText();
  EXPECT_EQ(sum, big.size());
  EXPECT_EQ(last, big.size());
  EXPECT_GT(pieces, 1);
}

TEST_F(UnpackExtractionTest, ProgressAbortStopsSuccessfullyAndRemovesThePartialFile) {
  WriteFile("C:\\pkg\\abort.cab",
            MakeCabinet({{"big.txt", TextBytes(300000, 4)}, {"next.txt", "next"}}, true));
  MakeFolder("C:\\x\\");
  TsxUnpacker unpacker("C:\\pkg\\abort.cab", false);
  int done = 0, offered = 0;
  EXPECT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        ++offered;
        dest = "C:\\x\\" + e.name;
        return kUnpackExtract;
      },
      [&](const UnpackEntry&, const std::string&) {
        ++done;
        return 1;
      },
      [&](const std::string&, const std::string&, uint32_t, uint32_t, uint32_t written) {
        return written >= 65536 ? kUnpackAbort : 1;
      }));
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(done, 0);
  EXPECT_FALSE(Exists("C:\\x\\big.txt"));
  EXPECT_FALSE(Exists("C:\\x\\next.txt"));
}

TEST_F(UnpackExtractionTest, FindsCabinetAfterLeadingBytesAndBeforeTrailer) {
  const std::string cab = MakeCabinet({{"inside.txt", "found me"}}, true);
  // An engine image in front (with "MSCF" but no zero bytes after it), a trailer behind.
  std::string image = RandomBytes(300000, 5);
  image.replace(1000, 8, std::string("MSCF\x01\0\0\0", 8));
  PackageTrailer trailer;
  trailer.stubSize = static_cast<uint32_t>(image.size());
  trailer.packageFileSize = static_cast<uint32_t>(image.size() + cab.size() + kPackageTrailerSize);
  WriteFile("C:\\pkg\\setup.exe", image + cab + EncodeTrailer(trailer) + "appended");
  TsxUnpacker unpacker("C:\\pkg\\setup.exe", false);
  bool ok = false;
  ExtractAll(unpacker, "C:\\o\\", &ok);
  ASSERT_TRUE(ok) << unpacker.ErrorText();
  EXPECT_EQ(ReadFile("C:\\o\\inside.txt"), "found me");
}

TEST_F(UnpackExtractionTest, SignatureMustLieInTheFirst524272Bytes) {
  const std::string cab = MakeCabinet({{"edge.txt", "at the edge"}}, true);
  // The last place where the 8 signature bytes fit the search window...
  WriteFile("C:\\pkg\\last.bin", std::string(kCabinetSearch - 8, 'z') + cab);
  TsxUnpacker inside("C:\\pkg\\last.bin", false);
  bool ok = false;
  ExtractAll(inside, "C:\\in\\", &ok);
  ASSERT_TRUE(ok) << inside.ErrorText();
  EXPECT_EQ(ReadFile("C:\\in\\edge.txt"), "at the edge");
  // ...and one byte later.
  WriteFile("C:\\pkg\\beyond.bin", std::string(kCabinetSearch - 7, 'z') + cab);
  TsxUnpacker beyond("C:\\pkg\\beyond.bin", false);
  ExtractAll(beyond, "C:\\beyond\\", &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(beyond.ErrorText().find("no cabinet"), std::string::npos) << beyond.ErrorText();
  EXPECT_FALSE(Exists("C:\\beyond"));
}

TEST_F(UnpackExtractionTest, SearchFromTheEndOfALargeEngineImage) {
  // The engine image is larger than the search window: the main package's cabinet is searched
  // from StubSize on, and its positions count from the signature as before.
  const std::string image = RandomBytes(kCabinetSearch + 100000, 7);
  const std::string cab = MakeCabinet({{"main.pdb", "database"}}, true);
  WriteFile("C:\\pkg\\big.exe", Scramble(image + cab));
  TsxUnpacker fromStart("C:\\pkg\\big.exe", true);
  bool ok = true;
  ExtractAll(fromStart, "C:\\start\\", &ok);
  EXPECT_FALSE(ok);
  TsxUnpacker fromStub("C:\\pkg\\big.exe", true, image.size());
  ExtractAll(fromStub, "C:\\stub\\", &ok);
  ASSERT_TRUE(ok) << fromStub.ErrorText();
  EXPECT_EQ(ReadFile("C:\\stub\\main.pdb"), "database");
}

TEST_F(UnpackExtractionTest, ScrambledPackageIsReadWithTheFlagOnly) {
  const Files files = SampleFiles();
  const std::string package = Scramble(RandomBytes(4096, 6) + MakeCabinet(files, true));
  WriteFile("C:\\pkg\\scrambled.sxp", package);
  TsxUnpacker plain("C:\\pkg\\scrambled.sxp", false);
  bool ok = true;
  ExtractAll(plain, "C:\\p\\", &ok);
  EXPECT_FALSE(ok);
  TsxUnpacker scrambled("C:\\pkg\\scrambled.sxp", true);
  ExtractAll(scrambled, "C:\\s\\", &ok);
  ASSERT_TRUE(ok) << scrambled.ErrorText();
  EXPECT_EQ(ReadFile("C:\\s\\sub\\deep\\big.bin"), files[2].second);
  EXPECT_EQ(ReadFile("C:\\s\\sub\\text.log"), files[3].second);
}

TEST_F(UnpackExtractionTest, AFileListLargerThanOneReadAheadIsReadWhole) {
  // The list of 1,500 entries with long names spans several read-ahead windows; read plain and
  // scrambled, behind leading bytes, every entry comes out with its own bytes.
  Files files;
  for (int i = 0; i < 1500; ++i)
    files.push_back({"folder" + std::to_string(i % 7) + "/a-rather-long-file-name-to-fill-the-list-" +
                         std::to_string(i) + ".txt",
                     i % 100 == 0 ? RandomBytes(70000, i) : TextBytes(10 + i, i)});
  const std::string cabinet = MakeCabinet(files, true);
  WriteFile("C:\\pkg\\many.cab", cabinet);
  WriteFile("C:\\pkg\\many.sxp", Scramble(RandomBytes(5000, 9) + cabinet));
  TsxUnpacker plain("C:\\pkg\\many.cab", false), scrambled("C:\\pkg\\many.sxp", true);
  for (auto* unpacker : {&plain, &scrambled}) {
    const std::string folder = unpacker == &plain ? "C:\\m1\\" : "C:\\m2\\";
    bool ok = false;
    const auto names = ExtractAll(*unpacker, folder, &ok);
    ASSERT_TRUE(ok) << unpacker->ErrorText();
    ASSERT_EQ(names.size(), files.size());
    for (size_t i = 0; i < files.size(); i += 37) {
      std::string name = files[i].first;
      for (auto& c : name)
        if (c == '/') c = '\\';
      EXPECT_EQ(names[i], name);
      EXPECT_EQ(ReadFile(folder + name), files[i].second) << name;
    }
  }
}

TEST_F(UnpackExtractionTest, SameUnpackerEnumeratesTwiceAndUnpackersFollowEachOther) {
  WriteFile("C:\\pkg\\twice.cab", MakeCabinet({{"t.txt", "twice"}}, true));
  {
    TsxUnpacker unpacker("C:\\pkg\\twice.cab", false);
    bool ok = false;
    ExtractAll(unpacker, "C:\\one\\", &ok);
    EXPECT_TRUE(ok);
    ExtractAll(unpacker, "C:\\two\\", &ok);
    EXPECT_TRUE(ok);
  }
  TsxUnpacker again("C:\\pkg\\twice.cab", false);
  bool ok = false;
  ExtractAll(again, "C:\\three\\", &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ReadFile("C:\\one\\t.txt"), "twice");
  EXPECT_EQ(ReadFile("C:\\two\\t.txt"), "twice");
  EXPECT_EQ(ReadFile("C:\\three\\t.txt"), "twice");
}

TEST_F(UnpackExtractionTest, HandlerExceptionTurnsIntoFailure) {
  WriteFile("C:\\pkg\\throw.cab", MakeCabinet({{"a", "A"}}, true));
  TsxUnpacker unpacker("C:\\pkg\\throw.cab", false);
  EXPECT_FALSE(unpacker.Enumerate([](const UnpackEntry&, std::string&) -> int {
    throw std::runtime_error("handler broke");
  }));
  EXPECT_NE(unpacker.ErrorText().find("handler broke"), std::string::npos);
}

TEST_F(UnpackExtractionTest, DestinationLongerThanThePathBufferFails) {
  WriteFile("C:\\pkg\\long.cab", MakeCabinet({{"a", "A"}}, true));
  TsxUnpacker unpacker("C:\\pkg\\long.cab", false);
  EXPECT_FALSE(unpacker.Enumerate([](const UnpackEntry&, std::string& dest) {
    dest = "C:\\" + std::string(300, 'd');
    return kUnpackExtract;
  }));
  EXPECT_NE(unpacker.ErrorText().find("too long"), std::string::npos);
}

TEST_F(UnpackExtractionTest, InertWithoutLibraryOrWithoutItsExports) {
  WriteFile("C:\\pkg\\any.cab", MakeCabinet({{"a", "A"}}, true));
  SetUnpackDllPath("C:\\windows\\temp\\missing.dll");
  {
    TsxUnpacker unpacker("C:\\pkg\\any.cab", false);
    EXPECT_FALSE(unpacker.Loaded());
    EXPECT_FALSE(unpacker.Enumerate([](const UnpackEntry&, std::string&) { return 1; }));
    EXPECT_FALSE(unpacker.ErrorText().empty());
  }
  // A shared object without Open, Enumerate and Close.
  const std::string other = ReadHostFile("/lib/x86_64-linux-gnu/libz.so.1");
  ASSERT_FALSE(other.empty());
  WriteFile("C:\\windows\\temp\\other.dll", other);
  SetUnpackDllPath("C:\\windows\\temp\\other.dll");
  TsxUnpacker unpacker("C:\\pkg\\any.cab", false);
  EXPECT_FALSE(unpacker.Loaded());
  EXPECT_FALSE(unpacker.Enumerate([](const UnpackEntry&, std::string&) { return 1; }));
  EXPECT_NE(unpacker.ErrorText().find("lacks"), std::string::npos);
}

}  // namespace
}  // namespace sx::test
