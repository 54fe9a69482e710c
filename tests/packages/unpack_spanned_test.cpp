// A cabinet set spanned over two files: the next cabinet is asked for through the notification
// of the unpack library, found beside the first or where the engine's handler says it is.
#include <gtest/gtest.h>

#include <string>

#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

class SpannedSetTest : public PackageTest {
 protected:
  void SetUp() override {
    PackageTest::SetUp();
    first_ = RandomBytes(40000, 1);
    spanning_ = RandomBytes(50000, 2);
    last_ = RandomBytes(30000, 3);
    set_ = MakeSpannedSet(first_, spanning_, last_, 9000);
  }
  void ExpectAllExtracted(const std::string& folder) {
    EXPECT_TRUE(ReadFile(folder + "first.bin") == first_);
    EXPECT_TRUE(ReadFile(folder + "spanning.bin") == spanning_);
    EXPECT_TRUE(ReadFile(folder + "last.bin") == last_);
  }
  std::string first_, spanning_, last_;
  SpannedSet set_;
};

TEST_F(SpannedSetTest, CabextractReadsTheTestSet) {
  WriteFile("C:\\disk\\one.cab", set_.one);
  WriteFile("C:\\disk\\two.cab", set_.two);
  const std::string out = machine_.HostPath("cabextract-out");
  ASSERT_EQ(RunCommand("cabextract -q -d '" + out + "' '" + HostPathOf("C:\\disk\\one.cab") + "'"), 0);
  EXPECT_TRUE(ReadHostFile(out + "/spanning.bin") == spanning_);
  EXPECT_TRUE(ReadHostFile(out + "/last.bin") == last_);
}

TEST_F(SpannedSetTest, NextCabinetBesideTheFirstIsFoundWithoutAsking) {
  WriteFile("C:\\disk\\one.cab", set_.one);
  WriteFile("C:\\disk\\two.cab", set_.two);
  TsxUnpacker unpacker("C:\\disk\\one.cab", false);
  MakeFolder("C:\\out\\");
  int asked = 0;
  std::vector<std::string> names;
  ASSERT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        names.push_back(e.name);
        dest = "C:\\out\\" + e.name;
        return kUnpackExtract;
      },
      {}, {},
      [&](const std::string&, std::string&) {
        ++asked;
        return false;
      }))
      << unpacker.ErrorText();
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(names, (std::vector<std::string>{"first.bin", "spanning.bin", "last.bin"}));
  ExpectAllExtracted("C:\\out\\");
}

TEST_F(SpannedSetTest, HandlerLocatesTheNextCabinetElsewhere) {
  WriteFile("C:\\disk1\\one.cab", set_.one);
  WriteFile("C:\\disk2\\two.cab", set_.two);
  TsxUnpacker unpacker("C:\\disk1\\one.cab", false);
  MakeFolder("C:\\out\\");
  std::vector<std::string> asked;
  ASSERT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        dest = "C:\\out\\" + e.name;
        return kUnpackExtract;
      },
      {}, {},
      [&](const std::string& cabinet, std::string& folder) {
        asked.push_back(cabinet + " in " + folder);
        folder = "C:\\disk2";
        return true;
      }))
      << unpacker.ErrorText();
  EXPECT_EQ(asked, std::vector<std::string>{"two.cab in C:\\disk1\\"});
  ExpectAllExtracted("C:\\out\\");
}

TEST_F(SpannedSetTest, MissingNextCabinetFailsAfterTheFilesOfTheFirst) {
  WriteFile("C:\\alone\\one.cab", set_.one);
  TsxUnpacker unpacker("C:\\alone\\one.cab", false);
  MakeFolder("C:\\out\\");
  std::vector<std::string> written;
  EXPECT_FALSE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        dest = "C:\\out\\" + e.name;
        return kUnpackExtract;
      },
      [&](const UnpackEntry& e, const std::string&) {
        written.push_back(e.name);
        return 1;
      }));
  EXPECT_NE(unpacker.ErrorText().find("two.cab"), std::string::npos) << unpacker.ErrorText();
  EXPECT_EQ(written, std::vector<std::string>{"first.bin"});
  EXPECT_FALSE(Exists("C:\\out\\spanning.bin"));
}

TEST_F(SpannedSetTest, StopBeforeTheSeamNeverAsksForTheNextCabinet) {
  WriteFile("C:\\alone\\one.cab", set_.one);
  TsxUnpacker unpacker("C:\\alone\\one.cab", false);
  MakeFolder("C:\\out\\");
  int asked = 0;
  EXPECT_TRUE(unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& dest) {
        if (e.name != "first.bin") return kUnpackAbort;
        dest = "C:\\out\\" + e.name;
        return kUnpackExtract;
      },
      {}, {},
      [&](const std::string&, std::string&) {
        ++asked;
        return false;
      }))
      << unpacker.ErrorText();
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(ReadFile("C:\\out\\first.bin") == first_);
}

}  // namespace
}  // namespace sx::test
