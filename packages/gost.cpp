// GOST 28147-89 with the conventions in gost.h.
#include "packages/gost.h"

#include <array>
#include <cstring>

// The AVX2 path is chosen at run time. Not on Windows: MinGW-w64's GCC does not align the stack
// to 32 bytes, and spilled AVX registers would fault.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#include <immintrin.h>
#define SX_GOST_AVX2 1
#endif

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

// Deciphers kLanes consecutive blocks at once. In CBC a block's plaintext is its decryption
// XORed with the ciphertext before it, so the blocks' decryptions do not depend on each other:
// interleaving their rounds lets the processor overlap the table lookups of several blocks
// instead of waiting on one block's chain of lookups. `previous` is the ciphertext before the
// first block; the ciphertext is read before anything is written, so `in` may equal `out`.
template <size_t kLanes>
inline void DecipherLanes(const uint32_t* k, const uint8_t* in, uint8_t* out,
                          const uint8_t previous[8]) {
  uint32_t n1[kLanes], n2[kLanes], c1[kLanes + 1], c2[kLanes + 1];
  c1[0] = Load32(previous);
  c2[0] = Load32(previous + 4);
  for (size_t l = 0; l < kLanes; ++l) {
    n1[l] = c1[l + 1] = Load32(in + 8 * l);
    n2[l] = c2[l + 1] = Load32(in + 8 * l + 4);
  }
  auto steps = [&](int a, int b) {
    for (size_t l = 0; l < kLanes; ++l) n2[l] ^= F(n1[l] + k[a]);
    for (size_t l = 0; l < kLanes; ++l) n1[l] ^= F(n2[l] + k[b]);
  };
  steps(0, 1);
  steps(2, 3);
  steps(4, 5);
  steps(6, 7);
  for (int pass = 0; pass < 3; ++pass) {
    steps(7, 6);
    steps(5, 4);
    steps(3, 2);
    steps(1, 0);
  }
  for (size_t l = 0; l < kLanes; ++l) {
    Store32(out + 8 * l, n2[l] ^ c1[l]);
    Store32(out + 8 * l + 4, n1[l] ^ c2[l]);
  }
}

#ifdef SX_GOST_AVX2
// Sixteen blocks at once with AVX2: eight blocks per register, two registers for two
// independent chains. The S-boxes are 4-bit, so each row is a 16-byte table for VPSHUFB: the
// low nibble of byte k goes through row 2k, the high nibble through row 2k+1 (pre-shifted by 4);
// masks keep byte k of the lookups through the tables of byte k.
struct WideTables {
  __m256i low[4], high[4], byte[4], nibbles;
};

__attribute__((target("avx2"))) inline __m256i WideF(__m256i x, const WideTables& t) {
  const __m256i low = _mm256_and_si256(x, t.nibbles);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi16(x, 4), t.nibbles);
  __m256i s = _mm256_setzero_si256();
  for (int k = 0; k < 4; ++k) {
    const __m256i sub = _mm256_or_si256(_mm256_shuffle_epi8(t.low[k], low),
                                        _mm256_shuffle_epi8(t.high[k], high));
    s = _mm256_or_si256(s, _mm256_and_si256(sub, t.byte[k]));
  }
  return _mm256_or_si256(_mm256_slli_epi32(s, 11), _mm256_srli_epi32(s, 21));
}

// Two steps with the keys a and b on both registers' blocks.
__attribute__((target("avx2"))) inline void WideSteps(__m256i n1[2], __m256i n2[2], __m256i a,
                                                      __m256i b, const WideTables& t) {
  for (int r = 0; r < 2; ++r) n2[r] = _mm256_xor_si256(n2[r], WideF(_mm256_add_epi32(n1[r], a), t));
  for (int r = 0; r < 2; ++r) n1[r] = _mm256_xor_si256(n1[r], WideF(_mm256_add_epi32(n2[r], b), t));
}

// Deciphers `count` groups of 16 blocks (128 bytes each) continuing the chain in `chain`.
__attribute__((target("avx2"))) void DecipherWide(const uint32_t* k, const uint8_t* in,
                                                  uint8_t* out, size_t count, uint8_t chain[8]) {
  WideTables t;
  for (int b = 0; b < 4; ++b) {
    alignas(32) uint8_t low[32], high[32], byte[32];
    for (int j = 0; j < 32; ++j) {
      low[j] = kSBox[2 * b][j % 16];
      high[j] = static_cast<uint8_t>(kSBox[2 * b + 1][j % 16] << 4);
      byte[j] = j % 4 == b ? 0xFF : 0;
    }
    t.low[b] = _mm256_load_si256(reinterpret_cast<const __m256i*>(low));
    t.high[b] = _mm256_load_si256(reinterpret_cast<const __m256i*>(high));
    t.byte[b] = _mm256_load_si256(reinterpret_cast<const __m256i*>(byte));
  }
  t.nibbles = _mm256_set1_epi8(0x0F);
  __m256i key[8];
  for (int i = 0; i < 8; ++i) key[i] = _mm256_set1_epi32(static_cast<int>(k[i]));
  for (size_t g = 0; g < count; ++g, in += 128, out += 128) {
    // The ciphertext of the group and the block before each of its blocks, read before any
    // output is written (in and out may be the same).
    alignas(32) uint8_t previous[128];
    std::memcpy(previous, chain, 8);
    std::memcpy(previous + 8, in, 120);
    std::memcpy(chain, in + 120, 8);
    __m256i n1[2], n2[2];
    for (int r = 0; r < 2; ++r) {
      // Eight blocks: N1 words into n1, N2 words into n2 (lanes in the order 0 1 4 5 2 3 6 7).
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 64 * r));
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 64 * r + 32));
      n1[r] = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(a),
                                                    _mm256_castsi256_ps(b), 0x88));
      n2[r] = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(a),
                                                    _mm256_castsi256_ps(b), 0xDD));
    }
    WideSteps(n1, n2, key[0], key[1], t);
    WideSteps(n1, n2, key[2], key[3], t);
    WideSteps(n1, n2, key[4], key[5], t);
    WideSteps(n1, n2, key[6], key[7], t);
    for (int pass = 0; pass < 3; ++pass) {
      WideSteps(n1, n2, key[7], key[6], t);
      WideSteps(n1, n2, key[5], key[4], t);
      WideSteps(n1, n2, key[3], key[2], t);
      WideSteps(n1, n2, key[1], key[0], t);
    }
    for (int r = 0; r < 2; ++r) {
      // Blocks are N2 then N1; unpacking restores the block order 0-3 and 4-7.
      const __m256i first = _mm256_unpacklo_epi32(n2[r], n1[r]);
      const __m256i second = _mm256_unpackhi_epi32(n2[r], n1[r]);
      const auto* p = reinterpret_cast<const __m256i*>(previous + 64 * r);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64 * r),
                          _mm256_xor_si256(first, _mm256_load_si256(p)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64 * r + 32),
                          _mm256_xor_si256(second, _mm256_load_si256(p + 1)));
    }
  }
  // The broadcast key schedule does not outlive the call.
  for (auto& word : key) word = _mm256_setzero_si256();
  __asm__ __volatile__("" : : "r"(key) : "memory");
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

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
  constexpr size_t kLanes = 4;
  size_t i = 0;
#ifdef SX_GOST_AVX2
  if (size >= 128 && HasAvx2()) {
    DecipherWide(key_, in, out, size / 128, chain_);
    i = size / 128 * 128;
  }
#endif
  for (; i + 8 * kLanes <= size; i += 8 * kLanes) {
    uint8_t last[8];
    std::memcpy(last, in + i + 8 * (kLanes - 1), 8);
    DecipherLanes<kLanes>(key_, in + i, out + i, chain_);
    std::memcpy(chain_, last, 8);
  }
  for (; i + 8 <= size; i += 8) {
    uint8_t last[8];
    std::memcpy(last, in + i, 8);
    DecipherLanes<1>(key_, in + i, out + i, chain_);
    std::memcpy(chain_, last, 8);
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
