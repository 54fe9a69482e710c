// GOST 28147-89 with the conventions in gost.h.
#include "packages/gost.h"

#include <array>
#include <cstring>

namespace sx {
namespace {

// id-GostR3411-94-TestParamSet; row 0 substitutes bits 0-3, row 7 bits 28-31.
constexpr uint8_t kSBox[8][16] = {
    {4, 10, 9, 2, 13, 8, 0, 14, 6, 11, 1, 12, 7, 15, 5, 3},
    {14, 11, 4, 12, 6, 13, 15, 10, 2, 3, 8, 1, 0, 7, 5, 9},
    {5, 8, 1, 13, 10, 3, 4, 2, 14, 15, 12, 7, 6, 0, 9, 11},
    {7, 13, 10, 1, 0, 8, 9, 15, 14, 4, 6, 12, 11, 2, 5, 3},
    {6, 12, 7, 1, 5, 15, 13, 8, 4, 10, 9, 14, 0, 3, 11, 2},
    {4, 11, 10, 0, 7, 2, 1, 13, 3, 6, 8, 5, 9, 12, 15, 14},
    {13, 11, 4, 1, 3, 15, 5, 9, 0, 10, 14, 7, 6, 8, 2, 12},
    {1, 15, 13, 0, 5, 7, 10, 4, 9, 2, 3, 14, 6, 11, 8, 12}};

constexpr uint32_t Rotl11(uint32_t x) { return (x << 11) | (x >> 21); }

// f as four lookups: table k maps byte k of the sum through rows 2k and 2k+1, already shifted
// into place and rotated.
using Tables = std::array<std::array<uint32_t, 256>, 4>;
constexpr Tables MakeTables() {
  Tables t{};
  for (int k = 0; k < 4; ++k)
    for (int b = 0; b < 256; ++b) {
      const uint32_t sub = uint32_t(kSBox[2 * k + 1][b >> 4]) << 4 | kSBox[2 * k][b & 15];
      t[k][b] = Rotl11(sub << (8 * k));
    }
  return t;
}
constexpr Tables kTables = MakeTables();

inline uint32_t F(uint32_t x) {
  return kTables[0][x & 0xFF] ^ kTables[1][(x >> 8) & 0xFF] ^ kTables[2][(x >> 16) & 0xFF] ^
         kTables[3][x >> 24];
}

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Store32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Two steps with keys a and b.
#define SX_GOST_STEPS(a, b) \
  n2 ^= F(n1 + k[a]);       \
  n1 ^= F(n2 + k[b])

}  // namespace

void GostCipher::EncryptBlock(const uint8_t in[8], uint8_t out[8]) const {
  uint32_t n1 = Load32(in), n2 = Load32(in + 4);
  const uint32_t* k = key_;
  for (int pass = 0; pass < 3; ++pass) {
    SX_GOST_STEPS(0, 1);
    SX_GOST_STEPS(2, 3);
    SX_GOST_STEPS(4, 5);
    SX_GOST_STEPS(6, 7);
  }
  SX_GOST_STEPS(7, 6);
  SX_GOST_STEPS(5, 4);
  SX_GOST_STEPS(3, 2);
  SX_GOST_STEPS(1, 0);
  Store32(out, n2);
  Store32(out + 4, n1);
}

void GostCipher::DecryptBlock(const uint8_t in[8], uint8_t out[8]) const {
  uint32_t n1 = Load32(in), n2 = Load32(in + 4);
  const uint32_t* k = key_;
  SX_GOST_STEPS(0, 1);
  SX_GOST_STEPS(2, 3);
  SX_GOST_STEPS(4, 5);
  SX_GOST_STEPS(6, 7);
  for (int pass = 0; pass < 3; ++pass) {
    SX_GOST_STEPS(7, 6);
    SX_GOST_STEPS(5, 4);
    SX_GOST_STEPS(3, 2);
    SX_GOST_STEPS(1, 0);
  }
  Store32(out, n2);
  Store32(out + 4, n1);
}

bool GostCipher::Init(const uint8_t* key, size_t keyBits, const uint8_t* iv) {
  if (keyBits < 8 || keyBits > 256 || keyBits % 8 != 0) return false;
  uint8_t bytes[32] = {};
  std::memcpy(bytes, key, keyBits / 8);
  for (int i = 0; i < 8; ++i) key_[i] = Load32(bytes + 4 * i);
  std::memset(bytes, 0xFF, sizeof bytes);
  if (iv) {
    std::memcpy(iv_, iv, 8);
  } else {
    uint8_t ones[8];
    std::memset(ones, 0xFF, sizeof ones);
    EncryptBlock(ones, iv_);
  }
  std::memcpy(chain_, iv_, 8);
  return true;
}

void GostCipher::Decipher(const uint8_t* in, uint8_t* out, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint8_t block[8], plain[8];
    std::memcpy(block, in + i, 8);
    DecryptBlock(block, plain);
    for (int b = 0; b < 8; ++b) out[i + b] = plain[b] ^ chain_[b];
    std::memcpy(chain_, block, 8);
  }
  if (i < size) {
    uint8_t pad[8];
    EncryptBlock(chain_, pad);
    for (size_t b = 0; i + b < size; ++b) out[i + b] = in[i + b] ^ pad[b];
  }
}

void GostCipher::Encipher(const uint8_t* in, uint8_t* out, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint8_t block[8];
    for (int b = 0; b < 8; ++b) block[b] = in[i + b] ^ chain_[b];
    EncryptBlock(block, chain_);
    std::memcpy(out + i, chain_, 8);
  }
  if (i < size) {
    uint8_t pad[8];
    EncryptBlock(chain_, pad);
    for (size_t b = 0; i + b < size; ++b) out[i + b] = in[i + b] ^ pad[b];
  }
}

void GostCipher::Burn() {
  std::memset(key_, 0xFF, sizeof key_);
  std::memset(iv_, 0xFF, sizeof iv_);
  std::memset(chain_, 0xFF, sizeof chain_);
  // Keeps the compiler from dropping the stores of an object about to die.
  __asm__ __volatile__("" : : "r"(key_), "r"(iv_), "r"(chain_) : "memory");
}

}  // namespace sx
