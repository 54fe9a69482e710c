// GOST 28147-89: block conventions against an independent implementation, CBC with the stream
// tail, the initial vector made from 0xFF bytes, key lengths, burning.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "packages/gost.h"
#include "packages/haval.h"

namespace sx {
namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::vector<uint8_t> TestKey() {
  std::vector<uint8_t> key(32);
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i * 7 + 3);
  return key;
}

// Vectors computed with Crypto++ 8.7 (GOST with the same S-boxes, little-endian key words and
// halves, CBC), which shares our conventions.
TEST(GostBlockTest, EncryptsLikeIndependentImplementation) {
  GostCipher cipher;
  ASSERT_TRUE(cipher.Init(TestKey().data(), 256));
  const uint8_t plain[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  uint8_t out[8], back[8];
  cipher.EncryptBlock(plain, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), Hex("7de19f190bde2616"));
  cipher.DecryptBlock(out, back);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 8), std::vector<uint8_t>(plain, plain + 8));
}

TEST(GostCbcTest, DeciphersIndependentCbcWithVectorFromOnes) {
  const auto cipherText = Hex(
      "147da27faf2e2313782836bca912bbaabb8c019342dec2c7373385b14fdaaeb77b6f93667fb32967");
  std::string expected;
  for (int i = 0; i < 40; ++i) expected.push_back(static_cast<char>('A' + i % 26));
  GostCipher cipher;
  cipher.Init(TestKey().data(), 256);
  std::string plain(40, '\0');
  cipher.Decipher(cipherText.data(), reinterpret_cast<uint8_t*>(plain.data()), 40);
  EXPECT_EQ(plain, expected);

  GostCipher encipher;
  encipher.Init(TestKey().data(), 256);
  std::vector<uint8_t> again(40);
  encipher.Encipher(reinterpret_cast<const uint8_t*>(expected.data()), again.data(), 40);
  EXPECT_EQ(again, cipherText);
}

TEST(GostCbcTest, InitialVectorIsOnesEncryptedOnce) {
  GostCipher cipher;
  cipher.Init(TestKey().data(), 256);
  const uint8_t ones[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t expected[8];
  cipher.EncryptBlock(ones, expected);
  EXPECT_EQ(std::vector<uint8_t>(cipher.InitialVector(), cipher.InitialVector() + 8),
            std::vector<uint8_t>(expected, expected + 8));
  // A given vector is taken as it is.
  const uint8_t iv[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  cipher.Init(TestKey().data(), 256, iv);
  EXPECT_EQ(std::vector<uint8_t>(cipher.InitialVector(), cipher.InitialVector() + 8),
            std::vector<uint8_t>(iv, iv + 8));
}

TEST(GostCbcTest, ThirteenBytesAreOneBlockAndAStreamTail) {
  const auto key = TestKey();
  const std::string plain = "Hello, world!";  // 13 bytes
  GostCipher enc;
  enc.Init(key.data(), 256);
  std::string sealed(13, '\0');
  enc.Encipher(reinterpret_cast<const uint8_t*>(plain.data()),
               reinterpret_cast<uint8_t*>(sealed.data()), 13);
  // The tail: the last 5 bytes XORed with the encrypted chaining vector (the first block).
  GostCipher raw;
  raw.Init(key.data(), 256);
  uint8_t pad[8];
  raw.EncryptBlock(reinterpret_cast<const uint8_t*>(sealed.data()), pad);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(static_cast<uint8_t>(sealed[8 + i]), static_cast<uint8_t>(plain[8 + i] ^ pad[i]));
  GostCipher dec;
  dec.Init(key.data(), 256);
  std::string opened(13, '\0');
  dec.Decipher(reinterpret_cast<const uint8_t*>(sealed.data()),
               reinterpret_cast<uint8_t*>(opened.data()), 13);
  EXPECT_EQ(opened, plain);
}

TEST(GostCbcTest, ChainContinuesAcrossCallsAndInPlace) {
  const auto key = TestKey();
  std::string plain;
  for (int i = 0; i < 203; ++i) plain.push_back(static_cast<char>(i));
  GostCipher enc;
  enc.Init(key.data(), 256);
  std::string sealed(plain.size(), '\0');
  enc.Encipher(reinterpret_cast<const uint8_t*>(plain.data()),
               reinterpret_cast<uint8_t*>(sealed.data()), plain.size());
  // Deciphered in pieces of whole blocks and a last odd piece, in place.
  GostCipher dec;
  dec.Init(key.data(), 256);
  std::string buffer = sealed;
  auto* p = reinterpret_cast<uint8_t*>(buffer.data());
  dec.Decipher(p, p, 64);
  dec.Decipher(p + 64, p + 64, 8);
  dec.Decipher(p + 72, p + 72, 131);
  EXPECT_EQ(buffer, plain);
}

// One call of CBC deciphering, one block after the other, as the cipher is defined: the
// reference for the deciphering that works on several blocks at once.
void DecipherOneBlockAtATime(const GostCipher& cipher, uint8_t chain[8], const uint8_t* in,
                             uint8_t* out, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint8_t block[8], plain[8];
    std::copy(in + i, in + i + 8, block);
    cipher.DecryptBlock(block, plain);
    for (int b = 0; b < 8; ++b) out[i + b] = plain[b] ^ chain[b];
    std::copy(block, block + 8, chain);
  }
  uint8_t pad[8];
  cipher.EncryptBlock(chain, pad);
  for (size_t b = 0; i + b < size; ++b) out[i + b] = in[i + b] ^ pad[b];
}

TEST(GostCbcTest, SeveralBlocksAtOnceGiveTheBytesOfOneBlockAtATime) {
  const auto key = TestKey();
  std::vector<uint8_t> data(3 * 32768 + 200);
  uint32_t x = 12345;
  for (auto& byte : data) byte = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  std::vector<size_t> sizes;
  for (size_t n = 0; n <= 300; ++n) sizes.push_back(n);
  for (size_t around : {size_t{512}, size_t{4096}, size_t{32768}, size_t{65536}})
    for (size_t n = around - 9; n <= around + 9; ++n) sizes.push_back(n);
  // Pieces of whole and odd lengths around the groups of blocks deciphered together; the chain
  // continues from piece to piece (a tail leaves it as it was).
  const std::vector<std::vector<size_t>> pieceLists = {
      {}, {8, 120, 128, 136}, {1, 7, 9, 31, 33, 127, 129}, {32768, 32768, 200}};
  for (const auto& pieces : pieceLists) {
    for (size_t size : sizes) {
      if (size > data.size()) continue;
      GostCipher reference, fast;
      reference.Init(key.data(), 256);
      fast.Init(key.data(), 256);
      uint8_t chain[8];
      std::copy(reference.InitialVector(), reference.InitialVector() + 8, chain);
      std::vector<uint8_t> expected(size), copied(size), inPlace(data.begin(), data.begin() + size);
      size_t at = 0;
      for (size_t p = 0; at < size; ++p) {
        const size_t n = pieces.empty() ? size : std::min(pieces[p % pieces.size()], size - at);
        DecipherOneBlockAtATime(reference, chain, data.data() + at, expected.data() + at, n);
        fast.Decipher(data.data() + at, copied.data() + at, n);
        at += n;
      }
      // In place, in one call per piece as well.
      GostCipher again;
      again.Init(key.data(), 256);
      at = 0;
      for (size_t p = 0; at < size; ++p) {
        const size_t n = pieces.empty() ? size : std::min(pieces[p % pieces.size()], size - at);
        again.Decipher(inPlace.data() + at, inPlace.data() + at, n);
        at += n;
      }
      ASSERT_EQ(copied, expected) << "size " << size << ", pieces " << pieces.size();
      ASSERT_EQ(inPlace, expected) << "size " << size << ", pieces " << pieces.size();
    }
  }
  // And what a builder enciphered comes back.
  GostCipher enc, dec;
  enc.Init(key.data(), 256);
  dec.Init(key.data(), 256);
  std::vector<uint8_t> sealed(data.size()), opened(data.size());
  enc.Encipher(data.data(), sealed.data(), data.size());
  dec.Decipher(sealed.data(), opened.data(), sealed.size());
  EXPECT_EQ(opened, data);
}

TEST(GostKeyTest, AcceptsWholeBytesUpTo256BitsAndIgnoresOtherLengths) {
  const auto key = TestKey();
  GostCipher cipher;
  const uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t before[8], after[8];
  ASSERT_TRUE(cipher.Init(key.data(), 256));
  cipher.EncryptBlock(block, before);
  for (size_t bits : {0, 7, 12, 257, 264}) {
    EXPECT_FALSE(cipher.Init(key.data(), bits)) << bits;
    cipher.EncryptBlock(block, after);
    EXPECT_EQ(std::vector<uint8_t>(after, after + 8), std::vector<uint8_t>(before, before + 8));
  }
  // A 64-bit key is the same as a 256-bit key ending in zeros.
  std::vector<uint8_t> padded(key.begin(), key.begin() + 8);
  padded.resize(32, 0);
  GostCipher shortKey, longKey;
  ASSERT_TRUE(shortKey.Init(key.data(), 64));
  longKey.Init(padded.data(), 256);
  shortKey.EncryptBlock(block, before);
  longKey.EncryptBlock(block, after);
  EXPECT_EQ(std::vector<uint8_t>(after, after + 8), std::vector<uint8_t>(before, before + 8));
}

TEST(GostKeyTest, BurnFillsStateWithOnes) {
  GostCipher cipher;
  cipher.Init(TestKey().data(), 256);
  cipher.Burn();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(cipher.InitialVector()[i], 0xFF);
  // A burnt key is eight 0xFFFFFFFF words.
  std::vector<uint8_t> ones(32, 0xFF);
  GostCipher reference;
  reference.Init(ones.data(), 256);
  const uint8_t block[8] = {9, 8, 7, 6, 5, 4, 3, 2};
  uint8_t a[8], b[8];
  cipher.EncryptBlock(block, a);
  reference.EncryptBlock(block, b);
  EXPECT_EQ(std::vector<uint8_t>(a, a + 8), std::vector<uint8_t>(b, b + 8));
}

}  // namespace
}  // namespace sx
