// What the unpacker refuses: unsafe entry names, damaged and truncated packages, wrong
// passwords. Each fails with a clear error and writes nothing outside the destination.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "packages/unpack_api.h"
#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

class UnpackSafetyTest : public PackageTest {
 protected:
  // Every file below the machine's drive C that is not below `destination` and was not there
  // before the test (the unpack library in the temp folder is expected).
  std::vector<std::string> FilesOutside(const std::string& destination) {
    std::vector<std::string> found;
    const std::string root = machine_.HostPath("drive_c");
    const std::string inside = HostPathOf(destination);
    for (auto& entry : fs::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      const std::string path = entry.path().string();
      if (path.rfind(inside, 0) == 0 || path.find("/pkg/") != std::string::npos) continue;
      if (path == HostPathOf(dll_) || before_.count(path)) continue;
      found.push_back(path);
    }
    return found;
  }
  void RememberFiles() {
    for (auto& entry : fs::recursive_directory_iterator(machine_.HostPath("drive_c")))
      if (entry.is_regular_file()) before_.insert(entry.path().string());
  }
  std::set<std::string> before_;
};

TEST(EntryNameTest, SafeNamesStayInsideTheirFolder) {
  EXPECT_TRUE(IsSafeEntryName("a.txt"));
  EXPECT_TRUE(IsSafeEntryName("sub\\dir\\a.txt"));
  EXPECT_TRUE(IsSafeEntryName("..a\\b..\\c..d"));
  EXPECT_TRUE(IsSafeEntryName(".\\a"));
  EXPECT_FALSE(IsSafeEntryName(""));
  EXPECT_FALSE(IsSafeEntryName("..\\evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("sub\\..\\..\\evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("sub/../evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("sub\\.."));
  EXPECT_FALSE(IsSafeEntryName("\\windows\\evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("/etc/evil"));
  EXPECT_FALSE(IsSafeEntryName("C:evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("C:\\evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("file.txt:stream"));
  // Windows drops trailing dots and spaces: these components are the parent folder as well.
  EXPECT_FALSE(IsSafeEntryName(".. \\evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("sub\\...\\evil.txt"));
  EXPECT_FALSE(IsSafeEntryName("sub\\.. ."));
  EXPECT_TRUE(IsSafeEntryName("sub\\. \\a"));
  EXPECT_TRUE(IsSafeEntryName("sub\\.. a\\b"));
}

TEST_F(UnpackSafetyTest, UnsafeEntryNamesAreNeverWritten) {
  // Names patched into a gcab cabinet, each as long as the original "xx_evil.txt".
  for (const std::string unsafe : {"..\\evil.txt", "\\x\\evil.txt", "C:\\evil.txt1"}) {
    const std::string original = unsafe.size() == 11 ? "xx_evil.txt" : "xx_evil.txt1";
    std::string cab = MakeCabinet({{"good.txt", "good"}, {original, "evil"}}, true);
    RenameEntry(cab, 1, unsafe);
    WriteFile("C:\\pkg\\unsafe.cab", cab);
    RememberFiles();
    TsxUnpacker unpacker("C:\\pkg\\unsafe.cab", false);
    std::vector<std::string> offered;
    EXPECT_FALSE(unpacker.Enumerate([&](const UnpackEntry& e, std::string& dest) {
      offered.push_back(e.name);
      dest = "C:\\dest\\sub\\" + e.name;
      fs::create_directories(HostPathOf("C:\\dest\\sub\\"));
      return kUnpackExtract;
    })) << unsafe;
    EXPECT_EQ(offered, std::vector<std::string>{"good.txt"}) << unsafe;
    EXPECT_NE(unpacker.ErrorText().find("unsafe entry name"), std::string::npos)
        << unpacker.ErrorText();
    EXPECT_NE(unpacker.ErrorText().find(unsafe), std::string::npos) << unpacker.ErrorText();
    EXPECT_EQ(FilesOutside("C:\\dest\\"), std::vector<std::string>{}) << unsafe;
    EXPECT_FALSE(Exists("C:\\dest\\evil.txt"));
    EXPECT_FALSE(Exists("C:\\evil.txt"));
  }
}

TEST_F(UnpackSafetyTest, TruncatedCabinetFailsCleanly) {
  const std::string cab =
      MakeCabinet({{"a.txt", TextBytes(5000, 1)}, {"b.bin", RandomBytes(120000, 2)}}, true);
  for (size_t keep : {size_t(0), size_t(20), size_t(60), cab.size() / 2, cab.size() - 1}) {
    WriteFile("C:\\pkg\\cut.cab", cab.substr(0, keep));
    RememberFiles();
    TsxUnpacker unpacker("C:\\pkg\\cut.cab", false);
    bool ok = true;
    ExtractAll(unpacker, "C:\\cut\\", &ok);
    EXPECT_FALSE(ok) << keep;
    EXPECT_FALSE(unpacker.ErrorText().empty()) << keep;
    EXPECT_FALSE(Exists("C:\\cut\\b.bin")) << keep;
    EXPECT_EQ(FilesOutside("C:\\cut\\"), std::vector<std::string>{}) << keep;
  }
}

TEST_F(UnpackSafetyTest, DamagedDataBlockFailsWithChecksumError) {
  std::string cab = MakeCabinet({{"a.bin", RandomBytes(100000, 3)}}, true);
  const auto layout = ReadLayout(cab);
  ASSERT_GE(layout.blocks.size(), 2u);
  cab[layout.blocks[1].dataOffset + 100] ^= 0x55;
  WriteFile("C:\\pkg\\damaged.cab", cab);
  TsxUnpacker unpacker("C:\\pkg\\damaged.cab", false);
  bool ok = true;
  ExtractAll(unpacker, "C:\\dmg\\", &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(unpacker.ErrorText().find("checksum"), std::string::npos) << unpacker.ErrorText();
  EXPECT_NE(unpacker.ErrorText().find("a.bin"), std::string::npos) << unpacker.ErrorText();
  // The partly written file is removed.
  EXPECT_FALSE(Exists("C:\\dmg\\a.bin"));
}

TEST_F(UnpackSafetyTest, DamagedHeaderFailsCleanly) {
  std::string cab = MakeCabinet({{"a.txt", "aaaa"}, {"b.txt", "bbbb"}}, true);
  // The header promises far more file entries than there are.
  cab[28] = '\xFF';
  cab[29] = '\x7F';
  WriteFile("C:\\pkg\\header.cab", cab);
  TsxUnpacker unpacker("C:\\pkg\\header.cab", false);
  bool ok = true;
  const auto names = ExtractAll(unpacker, "C:\\hdr\\", &ok);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(names.empty());
  EXPECT_FALSE(unpacker.ErrorText().empty());
}

class EncipheredPackageTest : public UnpackSafetyTest {
 protected:
  void SetUp() override {
    UnpackSafetyTest::SetUp();
    // Stored blocks of 32 KB: every block but the last is a multiple of 8 bytes, as a builder
    // lays enciphered data out. Several folders' worth of files, one chain.
    files_ = {{"one.txt", TextBytes(70000, 1)},
              {"two.bin", RandomBytes(50001, 2)},
              {"three.txt", TextBytes(10, 3)}};
    WriteFile("C:\\pkg\\secret.sxp", Scramble(EncipherCabinet(MakeCabinet(files_, false), "pw!")));
  }
  Files files_;
};

TEST_F(EncipheredPackageTest, RightPasswordDeciphersEveryBlockInOneChain) {
  TsxUnpacker unpacker("C:\\pkg\\secret.sxp", true);
  unpacker.SetPassword("pw!");
  EXPECT_TRUE(unpacker.HasKey());
  bool ok = false;
  ExtractAll(unpacker, "C:\\plain\\", &ok);
  ASSERT_TRUE(ok) << unpacker.ErrorText();
  for (const auto& [name, content] : files_) EXPECT_EQ(ReadFile("C:\\plain\\" + name), content);
  // A second enumeration starts a fresh chain.
  ExtractAll(unpacker, "C:\\again\\", &ok);
  ASSERT_TRUE(ok) << unpacker.ErrorText();
  EXPECT_EQ(ReadFile("C:\\again\\two.bin"), files_[1].second);
}

TEST_F(EncipheredPackageTest, SkippedFilesStillKeepTheChain) {
  MakeFolder("C:\\only\\");
  TsxUnpacker unpacker("C:\\pkg\\secret.sxp", true);
  unpacker.SetPassword("pw!");
  ASSERT_TRUE(unpacker.Enumerate([&](const UnpackEntry& e, std::string& dest) {
    if (e.name != "three.txt") return kUnpackSkip;
    dest = "C:\\only\\three.txt";
    return kUnpackExtract;
  })) << unpacker.ErrorText();
  EXPECT_EQ(ReadFile("C:\\only\\three.txt"), files_[2].second);
}

TEST_F(EncipheredPackageTest, WrongOrMissingPasswordFailsAndWritesNothingOutside) {
  for (const std::string password : {"PW!", ""}) {
    RememberFiles();
    TsxUnpacker unpacker("C:\\pkg\\secret.sxp", true);
    unpacker.SetPassword(password);
    EXPECT_EQ(unpacker.HasKey(), !password.empty());
    bool ok = true;
    ExtractAll(unpacker, "C:\\wrong\\", &ok);
    EXPECT_FALSE(ok) << password;
    EXPECT_NE(unpacker.ErrorText().find("wrong password"), std::string::npos)
        << unpacker.ErrorText();
    EXPECT_FALSE(Exists("C:\\wrong\\one.txt"));
    EXPECT_EQ(FilesOutside("C:\\wrong\\"), std::vector<std::string>{});
  }
}

TEST_F(UnpackSafetyTest, WithoutKeyDataPassesUnchanged) {
  // A plain stored cabinet read by an unpacker without a password, and one whose password was
  // set and then cleared.
  const Files files = {{"p.bin", RandomBytes(40000, 8)}};
  WriteFile("C:\\pkg\\plain.cab", MakeCabinet(files, false));
  TsxUnpacker unpacker("C:\\pkg\\plain.cab", false);
  unpacker.SetPassword("set");
  unpacker.SetPassword("");
  EXPECT_FALSE(unpacker.HasKey());
  bool ok = false;
  ExtractAll(unpacker, "C:\\nokey\\", &ok);
  ASSERT_TRUE(ok) << unpacker.ErrorText();
  EXPECT_EQ(ReadFile("C:\\nokey\\p.bin"), files[0].second);
}

}  // namespace
}  // namespace sx::test
