// Cabinet sets that never end: a cabinet that names itself, or an earlier cabinet of its set, as
// the next one (by file name or as a copy with the same set ID and number) is refused instead of
// being read, and extracted, for ever.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

// A stored cabinet with one folder of one block and one file of `data` whose folder index is
// `fileFolder` (0xFFFF: continued from the previous and into the next cabinet), naming `next` as
// the next cabinet of set `setId`, number `index`. Cabinets joined into one set need data of
// the same length: the reader matches the continued file by offset and size.
std::string ChainedCabinet(const std::string& next, uint16_t setId, uint16_t index,
                           const std::string& data, uint16_t fileFolder = 0xFFFF) {
  auto put16 = [](std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
  };
  auto put32 = [&](std::string& s, uint32_t v) {
    put16(s, static_cast<uint16_t>(v));
    put16(s, static_cast<uint16_t>(v >> 16));
  };
  const std::string names = next + '\0' + '\0';  // next cabinet, its (empty) disk name
  const uint32_t folderAt = 36 + static_cast<uint32_t>(names.size());
  const uint32_t filesAt = folderAt + 8;
  const uint32_t dataAt = filesAt + 16 + 2;  // one file named "a"
  const uint32_t size = dataAt + 8 + static_cast<uint32_t>(data.size());
  std::string cab;
  put32(cab, 0x4643534D);  // "MSCF"
  put32(cab, 0);
  put32(cab, size);
  put32(cab, 0);
  put32(cab, filesAt);
  put32(cab, 0);
  cab.push_back(3);
  cab.push_back(1);
  put16(cab, 1);       // folders
  put16(cab, 1);       // files
  put16(cab, 0x0002);  // a next cabinet follows
  put16(cab, setId);
  put16(cab, index);
  cab += names;
  put32(cab, dataAt);
  put16(cab, 1);  // blocks
  put16(cab, 0);  // stored
  put32(cab, static_cast<uint32_t>(data.size()));
  put32(cab, 0);
  put16(cab, fileFolder);
  put16(cab, 0x5A21);
  put16(cab, 0x6000);
  put16(cab, 0x20);
  cab += std::string("a\0", 2);
  put32(cab, 0);  // no checksum
  put16(cab, static_cast<uint16_t>(data.size()));
  put16(cab, static_cast<uint16_t>(data.size()));
  cab += data;
  EXPECT_EQ(cab.size(), size);
  return cab;
}

class LoopingSetTest : public PackageTest {
 protected:
  // Enumerates `first`, extracting everything to C:\out\; the error text, empty on success.
  std::string Enumerate(const std::string& first, int* asked) {
    MakeFolder("C:\\out\\");
    TsxUnpacker unpacker(first, false);
    const bool ok = unpacker.Enumerate(
        [&](const UnpackEntry& e, std::string& dest) {
          dest = "C:\\out\\" + e.name;
          return kUnpackExtract;
        },
        {}, {},
        [&](const std::string&, std::string&) {
          ++*asked;
          return false;
        });
    return ok ? std::string() : unpacker.ErrorText();
  }
};

TEST_F(LoopingSetTest, CabinetsThatComeBackAreRefused) {
  int asked = 0;
  // The 91-byte cabinet whose only file goes on both ways and that names itself as next.
  const std::string self = ChainedCabinet("self.cab", 1, 0, "hello world");
  EXPECT_EQ(self.size(), 91u);
  WriteFile("C:\\disk\\self.cab", self);
  std::string error = Enumerate("C:\\disk\\self.cab", &asked);
  EXPECT_NE(error.find("comes back"), std::string::npos) << error;
  EXPECT_NE(error.find("self.cab"), std::string::npos) << error;

  // Named with other letter case, it is still the same file on Windows.
  WriteFile("C:\\disk\\case.cab", ChainedCabinet("CASE.CAB", 2, 0, "x"));
  error = Enumerate("C:\\disk\\case.cab", &asked);
  EXPECT_NE(error.find("comes back"), std::string::npos) << error;

  // one.cab -> two.cab -> one.cab: an earlier cabinet of the set as the next one.
  WriteFile("C:\\ring\\one.cab", ChainedCabinet("two.cab", 3, 0, "first"));
  WriteFile("C:\\ring\\two.cab", ChainedCabinet("one.cab", 3, 1, "later"));
  error = Enumerate("C:\\ring\\one.cab", &asked);
  EXPECT_NE(error.find("comes back to \"C:\\ring\\one.cab\""), std::string::npos) << error;

  // A copy of the first cabinet under new names: same set ID and number, so the same cabinet.
  WriteFile("C:\\copies\\a.cab", ChainedCabinet("b.cab", 4, 0, "same"));
  WriteFile("C:\\copies\\b.cab", ChainedCabinet("c.cab", 4, 0, "same"));
  WriteFile("C:\\copies\\c.cab", ChainedCabinet("d.cab", 4, 0, "same"));
  error = Enumerate("C:\\copies\\a.cab", &asked);
  EXPECT_NE(error.find("b.cab"), std::string::npos) << error;
  EXPECT_NE(error.find("cabinet 0 of set 4 again"), std::string::npos) << error;

  // Every next cabinet above lay beside the first: nobody had to be asked.
  EXPECT_EQ(asked, 0);
}

TEST_F(LoopingSetTest, AChainWithRisingNumbersStillEnds) {
  // Three cabinets of one set, the last naming a cabinet that is not there: the set is read up
  // to it and the missing one is asked for once, as for any set.
  WriteFile("C:\\chain\\c0.cab", ChainedCabinet("c1.cab", 5, 0, "zero", 0xFFFE));
  WriteFile("C:\\chain\\c1.cab", ChainedCabinet("c2.cab", 5, 1, "one!"));
  WriteFile("C:\\chain\\c2.cab", ChainedCabinet("c3.cab", 5, 2, "two!"));
  int asked = 0;
  std::string error = Enumerate("C:\\chain\\c0.cab", &asked);
  EXPECT_NE(error.find("c3.cab"), std::string::npos) << error;
  EXPECT_EQ(error.find("comes back"), std::string::npos) << error;
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace sx::test
