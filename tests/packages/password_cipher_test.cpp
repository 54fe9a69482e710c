// The installation password check, DecipherText and ".pdb" files.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "packages/haval.h"
#include "packages/password.h"
#include "packages/pdb_file.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

TEST(PasswordCheckTest, CheckHashIsDigestOfWrappedPassword) {
  EXPECT_EQ(PasswordCheckHash("secret"), HexDigest("vktsecretvkt"));
  EXPECT_EQ(PasswordCheckHash(""), HexDigest("vktvkt"));
  EXPECT_NE(PasswordCheckHash("secret"), HexDigest("secret"));
}

TEST(PasswordCheckTest, MatchesOnlyTheRightPasswordExactly) {
  const std::string hash = PasswordCheckHash("Open Sesame");
  EXPECT_TRUE(PasswordMatches("Open Sesame", hash));
  EXPECT_FALSE(PasswordMatches("open sesame", hash));
  EXPECT_FALSE(PasswordMatches("", hash));
  // A stored hash in lower case never matches.
  std::string lower = hash;
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_FALSE(PasswordMatches("Open Sesame", lower));
}

TEST(PasswordCheckTest, WithoutCheckHashAnyPasswordIsAccepted) {
  EXPECT_FALSE(PasswordRequired(""));
  EXPECT_TRUE(PasswordMatches("", ""));
  EXPECT_TRUE(PasswordMatches("anything", ""));
}

TEST(PasswordCheckTest, OfferedPasswordIsStoredOnlyWhenAccepted) {
  const std::string hash = PasswordCheckHash("right");
  std::string stored = "before";
  EXPECT_EQ(OfferPassword("wrong", hash, stored), 1);
  EXPECT_EQ(stored, "before");
  EXPECT_EQ(OfferPassword("right", hash, stored), 0);
  EXPECT_EQ(stored, "right");
  EXPECT_EQ(OfferPassword("", "", stored), 0);
  EXPECT_EQ(stored, "");
}

TEST(DecipherTextTest, DeciphersIndependentCbcUnderTextDigest) {
  // GOST-CBC under Digest("secret") with the vector from 0xFF bytes, made with Crypto++ 8.7.
  const std::string sealed =
      FromHex("49b0227572c6a80094b694f75e90ed28e10f0d5aadd9e34ae0b4558b4992a1f4");
  EXPECT_EQ(DecipherText(sealed, "secret"), "<database>hello</database>!!!!!!");
  EXPECT_EQ(EncipherText("<database>hello</database>!!!!!!", "secret"), sealed);
}

TEST(DecipherTextTest, KeepsLengthAndRoundTripsEveryTail) {
  EXPECT_EQ(DecipherText("", "key"), "");
  std::string text;
  for (int size = 0; size <= 40; ++size) {
    const std::string sealed = EncipherText(text, "key");
    EXPECT_EQ(sealed.size(), text.size());
    EXPECT_EQ(DecipherText(sealed, "key"), text) << size;
    if (size >= 8) {
      EXPECT_NE(DecipherText(sealed, "other key"), text) << size;
    }
    text.push_back(static_cast<char>('a' + size % 26));
  }
}

TEST(PdbFileTest, KeyIsTenPrintableCharactersAndTheDecimalLength) {
  const std::string key = PdbKeyText(1234);
  ASSERT_EQ(key.size(), 14u);
  for (size_t i = 0; i < 10; ++i)
    EXPECT_TRUE(std::isgraph(static_cast<unsigned char>(key[i]))) << i;
  EXPECT_EQ(key.substr(10), "1234");
  EXPECT_EQ(PdbKeyText(7).substr(10), "7");
  EXPECT_EQ(PdbKeyText(7).substr(0, 10), key.substr(0, 10));
}

TEST(PdbFileTest, EncodedDatabaseDecodesUnderItsLength) {
  const std::string xml = "<?xml version=\"1.0\"?><database><variables/></database>";
  const std::string file = EncodePdb(xml);
  EXPECT_EQ(file.size(), xml.size());
  EXPECT_EQ(file, EncipherText(xml, PdbKeyText(xml.size())));
  EXPECT_EQ(DecodePdb(file), xml);
  // A 13-byte file: one block and a 5-byte tail.
  EXPECT_EQ(DecodePdb(EncodePdb("<db>x</db>\r\n ")), "<db>x</db>\r\n ");
}

TEST(PdbFileTest, ReadPdbFileDecodesAFileOfTheMachine) {
  test::TempMachine machine;
  const std::string xml = "<database><packages count=\"1\"/></database>";
  test::WriteHostFile(machine.HostPath("drive_c/setup/main.pdb"), EncodePdb(xml));
  test::WriteHostFile(machine.HostPath("drive_c/setup/empty.pdb"), "");
  EXPECT_EQ(ReadPdbFile("C:\\setup\\MAIN.PDB"), xml);
  EXPECT_EQ(ReadPdbFile("C:\\setup\\empty.pdb"), "");
  EXPECT_EQ(ReadPdbFile("C:\\setup\\missing.pdb"), "");
}

}  // namespace
}  // namespace sx
