// The cabinet writer: the checksum of the format, single cabinets that the outside tools
// (cabextract, gcab) extract to identical files, cabinet sets whose every cabinet keeps the size
// limit and which libmspack reads back, the layout the engine's decipher callback depends on
// (whole cipher blocks, plain folders without checksums), scrambling, and refused input.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "packages/cab_writer.h"
#include "packages/gost.h"
#include "packages/haval.h"
#include "packages/mszip_writer.h"
#include "packages/unpack_api.h"
#include "tests/packages/cabinet_layout.h"
#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

struct Built {
  std::vector<std::string> cabinets;
  CabSetSummary summary;
};

std::string SetName(int n) { return n == 0 ? "set.cab" : "set-" + std::to_string(n + 1) + ".cab"; }

// Writes the files; a new folder with `folders[i].second` starts before file `folders[i].first`.
Built WriteSet(const Files& files, CabSetOptions options,
               const std::vector<std::pair<size_t, CabFolderOptions>>& folders = {{0, {}}}) {
  options.cabinetName = SetName;
  MemoryCabStorage storage;
  CabinetSetWriter writer(storage, options);
  size_t next = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (next < folders.size() && folders[next].first == i) writer.StartFolder(folders[next++].second);
    writer.AddFile({files[i].first, 0, 0x5A210000u | 0x6000u, 0x20}, files[i].second);
  }
  Built built;
  built.summary = writer.Finish();
  built.cabinets = storage.cabinets;
  return built;
}

// Files whose sizes meet the block boundaries and the checksum's tail cases.
Files MixedFiles() {
  return {{"empty.txt", ""},
          {"one.bin", "x"},
          {"tail3.txt", "abc"},
          {"docs\\below.txt", TextBytes(32767, 1)},
          {"docs\\exact.txt", TextBytes(32768, 2)},
          {"docs\\deep\\over.txt", TextBytes(32769, 3)},
          {"noise.bin", RandomBytes(70001, 4)},
          {"text.log", TextBytes(150002, 5)}};
}

std::map<std::string, std::string> Expected(const Files& files) {
  std::map<std::string, std::string> expected;
  for (auto [name, content] : files) {
    std::replace(name.begin(), name.end(), '\\', '/');
    expected[name] = content;
  }
  return expected;
}

void WriteCabinets(const ScratchFolder& folder, const std::vector<std::string>& cabinets) {
  for (size_t i = 0; i < cabinets.size(); ++i) WriteHostFile(folder / SetName(static_cast<int>(i)), cabinets[i]);
}

TEST(CabChecksum, XorsLittleEndianWordsAndPacksTheTailFirstByteHighest) {
  const uint8_t words[] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(CabChecksum(words, 8, 0), 0x04030201u ^ 0x08070605u);
  EXPECT_EQ(CabChecksum(words, 4, 0x11111111u), 0x04030201u ^ 0x11111111u);
  const uint8_t tail[] = {0xAA, 0xBB, 0xCC};
  EXPECT_EQ(CabChecksum(tail, 3, 0), 0x00AABBCCu);
  EXPECT_EQ(CabChecksum(tail, 2, 0), 0x0000AABBu);
  EXPECT_EQ(CabChecksum(tail, 1, 0), 0x000000AAu);
  EXPECT_EQ(CabChecksum(tail, 0, 0x1234u), 0x1234u);
  // A block's checksum goes on over its two size fields, as one more little-endian word.
  EXPECT_EQ(CabDataChecksum(words, 8, 0x1234), 0x04030201u ^ 0x08070605u ^ 0x12340008u);
}

TEST(CabWriterInterop, SingleCabinetExtractsWithCabextractAndGcabToIdenticalFiles) {
  const Files files = MixedFiles();
  for (CabCompression compression : {CabCompression::kMszip, CabCompression::kNone}) {
    SCOPED_TRACE(compression == CabCompression::kMszip ? "MSZIP" : "stored");
    const Built built = WriteSet(files, {}, {{0, {compression, false}}});
    ASSERT_EQ(built.cabinets.size(), 1u);
    const ParsedCabinet cab = ParseCabinet(built.cabinets[0]);
    EXPECT_EQ(cab.size, built.cabinets[0].size());
    EXPECT_EQ(cab.flags, 0);
    ASSERT_EQ(cab.folders.size(), 1u);
    EXPECT_EQ(cab.folders[0].compression, static_cast<uint16_t>(compression));
    for (const auto& block : cab.blocks) {
      const bool last = &block == &cab.blocks.back();
      if (!last) {
        EXPECT_EQ(block.uncompressed, 32768) << "only a folder's last block is shorter";
      }
      EXPECT_NE(block.checksum, 0u);
    }
    ScratchFolder scratch;
    WriteCabinets(scratch, built.cabinets);
    const std::string cabPath = scratch / "set.cab";
    EXPECT_EQ(RunCommand("cabextract -q -t " + ShellQuote(cabPath) + " 2>&1"), 0) << "checksums and data";
    ASSERT_EQ(RunCommand("cabextract -q -d " + ShellQuote(scratch / "cabextract") + " " + ShellQuote(cabPath)), 0);
    ASSERT_EQ(RunCommand("gcab -x -C " + ShellQuote(scratch / "gcab") + " " + ShellQuote(cabPath)), 0);
    EXPECT_EQ(FolderContent(scratch / "cabextract"), Expected(files));
    EXPECT_EQ(FolderContent(scratch / "gcab"), Expected(files));
  }
}

TEST(CabWriterInterop, GcabListsNamesSizesAndDates) {
  const Built built = WriteSet({{"a\\b.txt", "hello"}, {"c.bin", RandomBytes(40000, 9)}}, {});
  ScratchFolder scratch;
  WriteCabinets(scratch, built.cabinets);
  std::string listing;
  ASSERT_EQ(RunCommand("gcab -l -v " + ShellQuote(scratch / "set.cab"), &listing), 0);
  EXPECT_NE(listing.find("a\\b.txt"), std::string::npos) << listing;
  EXPECT_NE(listing.find("40000"), std::string::npos) << listing;
  EXPECT_NE(listing.find("2025-01-01 12:00:00"), std::string::npos) << listing;
}

TEST(CabWriterSpanning, EveryCabinetKeepsTheLimitAndSplitsOnlyAtMultiplesOfEight) {
  const Files files = MixedFiles();
  CabSetOptions options;
  options.maxCabinetSize = kMinCabinetSize;
  for (CabCompression compression : {CabCompression::kMszip, CabCompression::kNone}) {
    SCOPED_TRACE(compression == CabCompression::kMszip ? "MSZIP" : "stored");
    const Built built = WriteSet(files, options, {{0, {compression, false}}});
    ASSERT_GT(built.cabinets.size(), 3u);
    EXPECT_EQ(built.summary.cabinetSizes.size(), built.cabinets.size());
    for (size_t i = 0; i < built.cabinets.size(); ++i) {
      SCOPED_TRACE("cabinet " + std::to_string(i));
      const ParsedCabinet cab = ParseCabinet(built.cabinets[i]);
      EXPECT_LE(built.cabinets[i].size(), kMinCabinetSize);
      EXPECT_EQ(cab.size, built.cabinets[i].size());
      EXPECT_EQ(cab.index, i);
      EXPECT_EQ(cab.HasPrevious(), i > 0);
      EXPECT_EQ(cab.HasNext(), i + 1 < built.cabinets.size());
      if (cab.HasPrevious()) {
        EXPECT_EQ(cab.previousName, SetName(static_cast<int>(i) - 1));
      }
      if (cab.HasNext()) {
        EXPECT_EQ(cab.nextName, SetName(static_cast<int>(i) + 1));
      }
      for (const auto& block : cab.blocks)
        if (block.uncompressed == 0) {
          EXPECT_EQ(block.compressed % 8, 0) << "a split part";
        }
    }
  }
}

TEST(CabWriterSpanning, FolderEndsWithTheFileThatSpansAndContinuedFilesAreListedInBothCabinets) {
  CabSetOptions options;
  options.maxCabinetSize = kMinCabinetSize;
  const Files files = {{"first.bin", RandomBytes(20000, 1)},
                       {"spanning.bin", RandomBytes(30000, 2)},
                       {"after.txt", TextBytes(1000, 3)},
                       {"last.txt", TextBytes(2000, 4)}};
  const Built built = WriteSet(files, options);
  ASSERT_EQ(built.cabinets.size(), 2u);
  const ParsedCabinet one = ParseCabinet(built.cabinets[0]);
  const ParsedCabinet two = ParseCabinet(built.cabinets[1]);
  // Cabinet 1 lists both files of the block that was split, as going on in the next cabinet.
  ASSERT_EQ(one.files.size(), 2u);
  EXPECT_EQ(one.files[0].folder, 0xFFFE);
  EXPECT_EQ(one.files[1].folder, 0xFFFE);
  EXPECT_EQ(one.blocks.back().uncompressed, 0) << "cabinet 1 ends with a split block";
  // Cabinet 2 repeats them in the same order, continued from cabinet 1, in its first folder;
  // the files after the spanning one start a folder of their own.
  ASSERT_EQ(two.files.size(), 4u);
  EXPECT_EQ(two.files[0].name, "first.bin");
  EXPECT_EQ(two.files[0].folder, 0xFFFD);
  EXPECT_EQ(two.files[1].name, "spanning.bin");
  EXPECT_EQ(two.files[1].folder, 0xFFFD);
  EXPECT_EQ(two.files[1].offset, one.files[1].offset);
  EXPECT_EQ(two.files[2].name, "after.txt");
  EXPECT_EQ(two.files[2].folder, 1);
  EXPECT_EQ(two.files[2].offset, 0u);
  EXPECT_EQ(two.files[3].folder, 1);
  ASSERT_EQ(two.folders.size(), 2u);
  EXPECT_EQ(built.summary.folders, 2u);
  EXPECT_EQ(built.summary.files, 4u);
}

class CabWriterReadBack : public PackageTest {
 protected:
  // Extracts the set written to C:\set\ (cabinets after the first in C:\disk2\ when `moved`)
  // through the engine's unpacker; the names of the cabinets it asked for land in `asked`.
  std::map<std::string, std::string> Extract(const std::vector<std::string>& cabinets, bool scrambled,
                                             const std::string& password, bool moved, bool* ok,
                                             std::vector<std::string>* asked = nullptr) {
    for (size_t i = 0; i < cabinets.size(); ++i)
      WriteFile((i > 0 && moved ? "C:\\disk2\\" : "C:\\set\\") + SetName(static_cast<int>(i)), cabinets[i]);
    MakeFolder("C:\\out\\");
    TsxUnpacker unpacker("C:\\set\\set.cab", scrambled);
    unpacker.SetPassword(password);
    std::map<std::string, std::string> content;
    *ok = unpacker.Enumerate(
        [&](const UnpackEntry& entry, std::string& destination) {
          destination = "C:\\out\\" + std::to_string(content.size());
          content[entry.name] = destination;
          return kUnpackExtract;
        },
        {}, {},
        [&](const std::string& name, std::string& folder) {
          if (asked) asked->push_back(name);
          folder = "C:\\disk2\\";
          return true;
        });
    if (!*ok) ADD_FAILURE() << unpacker.ErrorText();
    for (auto& [name, destination] : content) destination = ReadFile(destination);
    return content;
  }

  static std::map<std::string, std::string> ByEntry(const Files& files) {
    return std::map<std::string, std::string>(files.begin(), files.end());
  }
};

TEST_F(CabWriterReadBack, SpannedSetInAnotherFolderIsAskedForOnceAndFollowedThere) {
  const Files files = MixedFiles();
  CabSetOptions options;
  options.maxCabinetSize = kMinCabinetSize;
  const Built built = WriteSet(files, options);
  bool ok = false;
  std::vector<std::string> asked;
  EXPECT_EQ(Extract(built.cabinets, false, "", true, &ok, &asked), ByEntry(files));
  EXPECT_TRUE(ok);
  // The second cabinet is not beside the first: the engine is asked; the later ones are
  // beside the second, where the library looks first.
  EXPECT_EQ(asked, std::vector<std::string>{"set-2.cab"});
}

TEST_F(CabWriterReadBack, EncipheredScrambledSetDeciphersWithThePasswordOnly) {
  const Files files = MixedFiles();
  for (CabCompression compression : {CabCompression::kMszip, CabCompression::kNone}) {
    SCOPED_TRACE(compression == CabCompression::kMszip ? "MSZIP" : "stored");
    CabSetOptions options;
    options.maxCabinetSize = 40000;
    options.key = Digest("s3cret");
    options.scramble = true;
    const Built built = WriteSet(files, options, {{0, {compression, true}}});
    ASSERT_GT(built.cabinets.size(), 2u);
    bool ok = false;
    EXPECT_EQ(Extract(built.cabinets, true, "s3cret", false, &ok), ByEntry(files));
    EXPECT_TRUE(ok);

    MakeFolder("C:\\wrong\\");
    TsxUnpacker wrong("C:\\set\\set.cab", true);
    wrong.SetPassword("S3cret");
    EXPECT_FALSE(wrong.Enumerate([](const UnpackEntry& entry, std::string& destination) {
      destination = "C:\\wrong\\x";
      return entry.name == "noise.bin" ? kUnpackExtract : kUnpackSkip;
    }));
    EXPECT_NE(wrong.ErrorText().find("wrong password"), std::string::npos) << wrong.ErrorText();
  }
}

TEST_F(CabWriterReadBack, PlainFolderBeforeEncipheredOneReadsWithoutTheKeyAndAllReadsWithIt) {
  // As a package with a password: the files the engine prepares without the password first,
  // in a stored plain folder, then the enciphered data.
  const Files files = {{"db.pdb", TextBytes(5001, 1)},
                       {"lng\\ENU.lng", TextBytes(40003, 2)},
                       {"data\\core\\a.txt", TextBytes(70000, 3)},
                       {"data\\core\\b.bin", RandomBytes(33333, 4)}};
  CabSetOptions options;
  options.key = Digest("pw");
  const Built built = WriteSet(files, options,
                               {{0, {CabCompression::kNone, false}}, {2, {CabCompression::kMszip, true}}});
  const ParsedCabinet cab = ParseCabinet(built.cabinets[0]);
  ASSERT_EQ(cab.folders.size(), 2u);
  for (const auto& block : cab.blocks) {
    if (block.folder == 0) {
      EXPECT_EQ(block.checksum, 0u) << "a reader with the key deciphers plain blocks into garbage";
    } else {
      EXPECT_NE(block.checksum, 0u);
      if (&block != &cab.blocks.back()) {
        EXPECT_EQ(block.compressed % 8, 0) << "whole cipher blocks";
      }
    }
  }
  // Without the key (package preparation), up to the first data file.
  WriteFile("C:\\set\\set.cab", built.cabinets[0]);
  MakeFolder("C:\\prep\\lng\\");
  TsxUnpacker prepare("C:\\set\\set.cab", false);
  std::vector<std::string> prepared;
  ASSERT_TRUE(prepare.Enumerate([&](const UnpackEntry& entry, std::string& destination) {
    if (entry.name.rfind("data\\", 0) == 0) return kUnpackAbort;
    prepared.push_back(entry.name);
    destination = "C:\\prep\\" + entry.name;
    return kUnpackExtract;
  })) << prepare.ErrorText();
  EXPECT_EQ(prepared, (std::vector<std::string>{"db.pdb", "lng\\ENU.lng"}));
  EXPECT_EQ(ReadFile("C:\\prep\\lng\\ENU.lng"), files[1].second);
  // With the key (file installation), the whole archive reads: the plain files turn into
  // garbage (the installation never writes them), the data comes out right.
  bool ok = false;
  const auto extracted = Extract(built.cabinets, false, "pw", false, &ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(extracted.size(), files.size());
  EXPECT_NE(extracted.at("lng\\ENU.lng"), files[1].second);
  EXPECT_EQ(extracted.at("data\\core\\a.txt"), files[2].second);
  EXPECT_EQ(extracted.at("data\\core\\b.bin"), files[3].second);
}

TEST_F(CabWriterReadBack, SetsOfManyShapesKeepTheirLimitAndReadBack) {
  uint32_t seed = 12345;
  auto next = [&](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Files files;
    const uint32_t count = 1 + next(30);
    for (uint32_t i = 0; i < count; ++i) {
      const size_t sizes[] = {0, 1, 9, 500, 8000, 32768, 40000, 90000};
      const size_t size = sizes[next(8)] + next(3);
      files.emplace_back("f" + std::to_string(i) + (i % 4 == 0 ? "\\sub.bin" : ".bin"),
                         next(2) ? RandomBytes(size, seed) : TextBytes(size, seed));
    }
    CabSetOptions options;
    options.maxCabinetSize = kMinCabinetSize + next(50000);
    options.scramble = next(2);
    const bool keyed = next(2);
    if (keyed) options.key = Digest("k");
    const CabCompression compression = next(2) ? CabCompression::kMszip : CabCompression::kNone;
    const Built built = WriteSet(files, options, {{0, {compression, true}}});
    for (const std::string& cabinet : built.cabinets) EXPECT_LE(cabinet.size(), options.maxCabinetSize);
    bool ok = false;
    EXPECT_EQ(Extract(built.cabinets, options.scramble, keyed ? "k" : "", false, &ok), ByEntry(files));
  }
}

TEST(CabWriterCipher, EveryEncipheredPieceButTheLastIsWholeCipherBlocksAndDeciphersToTheChecksummedBytes) {
  const Files files = MixedFiles();
  CabSetOptions options;
  options.maxCabinetSize = kMinCabinetSize;
  options.key = Digest("pw");
  const Built built = WriteSet(files, options);
  // The pieces in the order a reader deciphers them, across the whole set.
  std::vector<std::pair<std::string, ParsedCabinet::Block>> pieces;
  for (const std::string& bytes : built.cabinets)
    for (const auto& block : ParseCabinet(bytes).blocks)
      pieces.emplace_back(bytes.substr(block.dataOffset, block.compressed), block);
  ASSERT_GT(pieces.size(), 5u);
  GostCipher cipher;
  const HavalDigest key = Digest("pw");
  cipher.Init(key.data(), 256);
  for (size_t i = 0; i < pieces.size(); ++i) {
    auto& [data, block] = pieces[i];
    if (i + 1 < pieces.size()) {
      EXPECT_EQ(data.size() % 8, 0u) << "piece " << i;
    }
    std::string plain(data.size(), '\0');
    cipher.Decipher(reinterpret_cast<const uint8_t*>(data.data()), reinterpret_cast<uint8_t*>(plain.data()),
                    data.size());
    EXPECT_EQ(block.checksum, CabDataChecksum(reinterpret_cast<const uint8_t*>(plain.data()), block.compressed,
                                              block.uncompressed))
        << "piece " << i;
    if (i == 0 || pieces[i - 1].second.uncompressed != 0) {
      EXPECT_EQ(plain.substr(0, 2), "CK") << "an MSZIP block starts with its signature, piece " << i;
    }
  }
}

TEST(CabWriterScramble, ScramblesEveryCabinetByteAndNothingElseChanges) {
  CabSetOptions options;
  options.maxCabinetSize = kMinCabinetSize;
  const Files files = MixedFiles();
  const Built plain = WriteSet(files, options);
  options.scramble = true;
  const Built scrambled = WriteSet(files, options);
  ASSERT_EQ(plain.cabinets.size(), scrambled.cabinets.size());
  for (size_t i = 0; i < plain.cabinets.size(); ++i) EXPECT_EQ(Scramble(scrambled.cabinets[i]), plain.cabinets[i]);
}

TEST(CabWriterErrors, RefusesWhatNoCabinetCanHold) {
  MemoryCabStorage storage;
  CabSetOptions tiny;
  tiny.maxCabinetSize = kMinCabinetSize - 1;
  tiny.cabinetName = SetName;
  EXPECT_THROW(CabinetSetWriter(storage, tiny), CabWriteError);
  CabSetOptions badLevel;
  badLevel.level = 10;
  EXPECT_THROW(CabinetSetWriter(storage, badLevel), CabWriteError);

  CabinetSetWriter noFolder(storage, {});
  EXPECT_THROW(noFolder.AddFile({"a.txt"}, "x"), CabWriteError) << "a folder must start first";

  CabinetSetWriter writer(storage, {});
  writer.StartFolder({});
  EXPECT_THROW(writer.AddFile({std::string(256, 'n')}, "x"), CabWriteError) << "names of at most 255 bytes";
  EXPECT_THROW(writer.AddFile({""}, "x"), CabWriteError);
  EXPECT_THROW(writer.BeginFile({"huge.bin", kMaxFolderData + 1}), CabWriteError);
  writer.BeginFile({"short.txt", 10});
  writer.Write("12345", 5);
  EXPECT_THROW(writer.Write("1234567", 7), CabWriteError) << "more than announced";
  EXPECT_THROW(writer.EndFile(), CabWriteError) << "fewer than announced";
  EXPECT_THROW(writer.Finish(), CabWriteError) << "a file is still open";

  CabinetSetWriter empty(storage, {});
  empty.StartFolder({});
  EXPECT_THROW(empty.Finish(), CabWriteError) << "a cabinet needs a file";
}

}  // namespace
}  // namespace sx::test
