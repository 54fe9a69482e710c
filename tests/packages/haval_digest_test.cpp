// HAVAL-256/5: the rounds against published digests, and the engine's own padding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "packages/haval.h"

namespace sx {
namespace {

std::string Published(const std::string& text) {
  Haval256 haval(HavalPadding::kPublished);
  haval.Update(text);
  const HavalDigest d = haval.Final();
  return HexOf(d.data(), d.size());
}

// The digest the engine's padding must give for a text that ends in `blocks` blocks built by
// hand: the text, 0x80, zeros, 0x29 0x40 and the bit count.
std::string ByHand(const std::string& text) {
  std::string padded = text;
  padded.push_back(static_cast<char>(0x80));
  const size_t tail = text.size() % 128;
  const size_t blocks = text.size() / 128 + (tail > 118 ? 2 : 1);
  padded.resize(blocks * 128, '\0');
  padded[blocks * 128 - 10] = 0x29;
  padded[blocks * 128 - 9] = 0x40;
  const uint64_t bits = uint64_t(text.size()) * 8;
  for (int i = 0; i < 8; ++i) padded[blocks * 128 - 8 + i] = static_cast<char>(bits >> (8 * i));
  uint32_t state[8];
  std::memcpy(state, detail::kHavalInitialState, sizeof state);
  for (size_t b = 0; b < blocks; ++b)
    detail::HavalCompress(state, reinterpret_cast<const uint8_t*>(padded.data() + 128 * b));
  uint8_t bytes[32];
  for (int i = 0; i < 32; ++i) bytes[i] = static_cast<uint8_t>(state[i / 4] >> (8 * (i % 4)));
  return HexOf(bytes, 32);
}

TEST(HavalRoundsTest, PublishedPaddingMatchesIndependentDigests) {
  // From an independent implementation (shared fixtures, haval-256-5-standard.md).
  EXPECT_EQ(Published(""), "BE417BB4DD5CFB76C7126F4F8EEB1553A449039307B1A3CD451DBFDC0FBBE330");
  EXPECT_EQ(Published("a"), "DE8FD5EE72A5E4265AF0A756F4E1A1F65C9B2B2F47CF17ECF0D1B88679A3E22F");
  EXPECT_EQ(Published("abc"), "976CD6254C337969E5913B158392A2921AF16FCA51F5601D486E0A9DE01156E7");
  EXPECT_EQ(Published("message digest"),
            "7CCF22AF7F99ACD6AC84F176041329E2958FDE1419A259D5A4B89D8F4115AD74");
  EXPECT_EQ(Published("abcdefghijklmnopqrstuvwxyz"),
            "C9C7D8AFA159FD9E965CB83FF5EE6F58AEDA352C0EFF005548153A61551C38EE");
  EXPECT_EQ(Published(std::string(118, 'x')),
            "6196251D396068070EC506178E9160F0FC3200B2D35FD94D05913C4F25085A03");
  EXPECT_EQ(Published(std::string(119, 'x')),
            "68EFA4CC569D2F8AD5D619D596ACF1855C4FD9C59B92CB164EAFDF5809A7EF6E");
}

TEST(HavalPaddingTest, EnginePaddingUsesByte80AndDiffersFromPublished) {
  for (const std::string text : {"", "a", "abc", "message digest"}) {
    EXPECT_EQ(HexDigest(text), ByHand(text)) << text;
    EXPECT_NE(HexDigest(text), Published(text)) << text;
  }
}

TEST(HavalPaddingTest, Text118BytesIsOneBlockAnd119IsTwo) {
  // At 118 the padding byte is overwritten by the trailer and no block is added.
  for (size_t size : {117, 118, 119, 127, 128, 245, 246, 247, 300}) {
    const std::string text(size, 'x');
    EXPECT_EQ(HexDigest(text), ByHand(text)) << size;
  }
  // Both ByHand paths are taken: 118 in one block, 119 in two.
  EXPECT_NE(HexDigest(std::string(118, 'x')), HexDigest(std::string(119, 'x')));
}

TEST(HavalDigestTest, PiecewiseUpdateEqualsOneCall) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text.push_back(static_cast<char>(i * 31 + 7));
  Haval256 whole;
  whole.Update(text);
  const HavalDigest expected = whole.Final();
  for (size_t piece : {1, 5, 127, 128, 129, 333}) {
    Haval256 haval;
    for (size_t at = 0; at < text.size(); at += piece)
      haval.Update(text.substr(at, piece));
    EXPECT_EQ(haval.Final(), expected) << piece;
  }
  whole.Reset();
  whole.Update(text);
  EXPECT_EQ(whole.Final(), expected);
}

TEST(HavalDigestTest, HexDigestIsUpperCaseBytesInOrder) {
  const HavalDigest d = Digest("password");
  const std::string hex = HexDigest("password");
  ASSERT_EQ(hex.size(), 64u);
  for (size_t i = 0; i < 32; ++i) {
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", d[i]);
    EXPECT_EQ(hex.substr(2 * i, 2), expected);
  }
  // Bytes are taken as 8-bit values, also above 0x7F.
  EXPECT_NE(HexDigest("\xE9t\xE9"), HexDigest("ete"));
}

}  // namespace
}  // namespace sx
