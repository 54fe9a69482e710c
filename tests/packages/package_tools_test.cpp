// sxtool hash, password-hash, decipher, pdb and package, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "packages/haval.h"
#include "packages/package_trailer.h"
#include "packages/password.h"
#include "packages/pdb_file.h"
#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

class PackageToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(SX_SXTOOL)) GTEST_SKIP() << "sxtool is not built";
    work_ = machine_.HostPath("work");
    fs::create_directories(work_);
  }
  // Runs sxtool on the test's machine; its exit status, standard output in `out`.
  int Tool(const std::string& arguments, std::string* out = nullptr) {
    return RunCommand("SX_MACHINE='" + machine_.folder() + "' '" SX_SXTOOL "' " + arguments +
                          " 2>'" + work_ + "/stderr'",
                      out);
  }
  std::string Stderr() { return ReadHostFile(work_ + "/stderr"); }
  std::string Quote(const std::string& text) { return "'" + text + "'"; }

  TempMachine machine_;
  std::string work_;
};

TEST_F(PackageToolsTest, HashAndPasswordHashPrintTheEngineValues) {
  std::string out;
  ASSERT_EQ(Tool("hash 'message digest'", &out), 0);
  EXPECT_EQ(out, HexDigest("message digest") + "\n");
  ASSERT_EQ(Tool("password-hash 'Open Sesame'", &out), 0);
  EXPECT_EQ(out, PasswordCheckHash("Open Sesame") + "\n");
  EXPECT_TRUE(PasswordMatches("Open Sesame", out.substr(0, 64)));
  EXPECT_EQ(Tool("hash", &out), 2);
}

TEST_F(PackageToolsTest, PdbEncodeDecodeAndDecipherRoundTrip) {
  const std::string xml = "<?xml version=\"1.0\"?>\r\n<database name=\"Demo\"/>\r\n";
  WriteHostFile(work_ + "/main.xml", xml);
  std::string out;
  ASSERT_EQ(Tool("pdb encode " + Quote(work_ + "/main.xml") + " > " + Quote(work_ + "/main.pdb")),
            0);
  EXPECT_EQ(ReadHostFile(work_ + "/main.pdb"), EncodePdb(xml));
  ASSERT_EQ(Tool("pdb decode " + Quote(work_ + "/main.pdb"), &out), 0);
  EXPECT_EQ(out, xml);
  ASSERT_EQ(Tool("decipher --key " + Quote(PdbKeyText(xml.size())) + " " +
                     Quote(work_ + "/main.pdb"),
                 &out),
            0);
  EXPECT_EQ(out, xml);
  EXPECT_EQ(Tool("pdb decode " + Quote(work_ + "/missing.pdb")), 1);
  EXPECT_NE(Stderr().find("cannot read"), std::string::npos);
}

TEST_F(PackageToolsTest, PackageInfoShowsTrailerAndListing) {
  std::string cab = MakeCabinet({{"lng/1033.lng", "[Strings]\r\n"}, {"data/c1/app.exe", "MZ"}}, true);
  const uint32_t dos = (25u << 25) | (3u << 21) | (9u << 16) | (8u << 11) | (7u << 5) | 3u;
  SetEntryDosDateTime(cab, 1, dos);
  SetEntryAttributes(cab, 1, 0x21);
  const std::string image = "engine image";
  PackageTrailer t;
  t.stubSize = static_cast<uint32_t>(image.size());
  t.packageFileSize = static_cast<uint32_t>(image.size() + cab.size() + kPackageTrailerSize);
  t.presetupSize = 11;
  t.dataSize = 2;
  t.flags = kPackageScrambled | kPackageQuiet;
  WriteHostFile(work_ + "/setup.exe", image + Scramble(cab) + EncodeTrailer(t));
  std::string out;
  ASSERT_EQ(Tool("package info " + Quote(work_ + "/setup.exe"), &out), 0) << Stderr();
  EXPECT_NE(out.find("package is intact"), std::string::npos) << out;
  EXPECT_NE(out.find("StubSize        12"), std::string::npos) << out;
  EXPECT_NE(out.find("Flags           0x5 scrambled quiet"), std::string::npos) << out;
  EXPECT_NE(out.find("2005-03-09 08:07:06  R--A  data\\c1\\app.exe"), std::string::npos) << out;
  EXPECT_NE(out.find("lng\\1033.lng"), std::string::npos) << out;
  EXPECT_NE(out.find("2 files, 13 bytes"), std::string::npos) << out;

  // A truncated package: the trailer check fails, the tool says so.
  WriteHostFile(work_ + "/cut.exe", image + Scramble(cab).substr(10) + EncodeTrailer(t));
  EXPECT_EQ(Tool("package info " + Quote(work_ + "/cut.exe"), &out), 1);
  EXPECT_NE(out.find("truncated"), std::string::npos) << out;
  EXPECT_NE(Tool("package extract " + Quote(work_ + "/cut.exe") + " " + Quote(work_ + "/cut")), 0);
  EXPECT_FALSE(fs::exists(work_ + "/cut/lng/1033.lng"));
}

TEST_F(PackageToolsTest, PackageExtractWritesTheArchiveWithPassword) {
  const Files files = {{"readme.txt", TextBytes(5000, 1)}, {"bin/tool.bin", RandomBytes(70000, 2)}};
  const std::string cab = EncipherCabinet(MakeCabinet(files, false), "letmein");
  PackageTrailer t;
  t.packageFileSize = static_cast<uint32_t>(cab.size() + kPackageTrailerSize);
  WriteHostFile(work_ + "/pkg.sxp", cab + EncodeTrailer(t));
  const std::string target = work_ + "/out dir";
  EXPECT_NE(Tool("package extract " + Quote(work_ + "/pkg.sxp") + " " + Quote(target) +
                 " --password wrong"),
            0);
  EXPECT_NE(Stderr().find("wrong password"), std::string::npos) << Stderr();
  std::string out;
  ASSERT_EQ(Tool("package extract " + Quote(work_ + "/pkg.sxp") + " " + Quote(target) +
                     " --password letmein",
                 &out),
            0)
      << Stderr();
  EXPECT_NE(out.find("2 files extracted"), std::string::npos) << out;
  EXPECT_TRUE(ReadHostFile(target + "/readme.txt") == files[0].second);
  EXPECT_TRUE(ReadHostFile(target + "/bin/tool.bin") == files[1].second);
}

TEST_F(PackageToolsTest, PackageExtractRefusesUnsafeNames) {
  std::string cab = MakeCabinet({{"xx_evil.txt", "evil"}}, true);
  RenameEntry(cab, 0, "..\\evil.txt");
  WriteHostFile(work_ + "/evil.cab", cab);
  EXPECT_EQ(Tool("package extract " + Quote(work_ + "/evil.cab") + " " + Quote(work_ + "/x/y")), 1);
  EXPECT_NE(Stderr().find("unsafe entry name"), std::string::npos) << Stderr();
  EXPECT_FALSE(fs::exists(work_ + "/x/evil.txt"));
  EXPECT_FALSE(fs::exists(work_ + "/x/y/evil.txt"));
}

TEST_F(PackageToolsTest, EveryCommandAnswersHelp) {
  for (const std::string command : {"hash", "password-hash", "decipher", "pdb", "package"}) {
    std::string out;
    EXPECT_EQ(Tool(command + " --help", &out), 0) << command;
    EXPECT_NE(out.find("usage: sxtool " + command), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace sx::test
