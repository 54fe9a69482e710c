// HAVAL-256 with 5 passes; see haval.h for the engine's padding.
#include "packages/haval.h"

#include <algorithm>
#include <cstring>

namespace sx {
namespace {

// Trailer bytes of the last block: (256 mod 4) * 64 + 5 passes * 8 + version 1, and 256 / 4.
constexpr uint8_t kTrailerPassesVersion = 0x29;
constexpr uint8_t kTrailerLength = 0x40;

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The five Boolean functions.
inline uint32_t F1(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                   uint32_t x0) {
  return (x1 & (x0 ^ x4)) ^ (x2 & x5) ^ (x3 & x6) ^ x0;
}
inline uint32_t F2(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                   uint32_t x0) {
  return (x2 & ((x1 & ~x3) ^ (x4 & x5) ^ x6 ^ x0)) ^ (x4 & (x1 ^ x5)) ^ (x3 & x5) ^ x0;
}
inline uint32_t F3(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                   uint32_t x0) {
  return (x3 & ((x1 & x2) ^ x6 ^ x0)) ^ (x1 & x4) ^ (x2 & x5) ^ x0;
}
inline uint32_t F4(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                   uint32_t x0) {
  return (x4 & ((x5 & ~x2) ^ (x3 & ~x6) ^ x1 ^ x6 ^ x0)) ^ (x3 & ((x1 & x2) ^ x5 ^ x6)) ^
         (x2 & x6) ^ x0;
}
inline uint32_t F5(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                   uint32_t x0) {
  return (x0 & ((x1 & x2 & x3) ^ ~x5)) ^ (x1 & x4) ^ (x2 & x5) ^ (x3 & x6);
}

// The input permutations of the five passes for 5-pass HAVAL.
inline uint32_t Phi1(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                     uint32_t x0) {
  return F1(x3, x4, x1, x0, x5, x2, x6);
}
inline uint32_t Phi2(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                     uint32_t x0) {
  return F2(x6, x2, x1, x0, x3, x4, x5);
}
inline uint32_t Phi3(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                     uint32_t x0) {
  return F3(x2, x6, x0, x4, x3, x1, x5);
}
inline uint32_t Phi4(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                     uint32_t x0) {
  return F4(x1, x5, x3, x2, x0, x4, x6);
}
inline uint32_t Phi5(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
                     uint32_t x0) {
  return F5(x2, x5, x0, x6, x4, x3, x1);
}

// Word orders of passes 2 to 5 (pass 1 takes the words in order).
constexpr uint8_t kOrder[4][32] = {
    {5, 14, 26, 18, 11, 28, 7, 16, 0, 23, 20, 22, 1, 10, 4, 8,
     30, 3, 21, 9, 17, 24, 29, 6, 19, 12, 15, 13, 2, 25, 31, 27},
    {19, 9, 4, 20, 28, 17, 8, 22, 29, 14, 25, 12, 24, 30, 16, 26,
     31, 15, 7, 3, 1, 0, 18, 27, 13, 6, 21, 10, 23, 11, 5, 2},
    {24, 4, 0, 14, 2, 7, 28, 23, 26, 6, 30, 20, 18, 25, 19, 3,
     22, 11, 31, 21, 8, 27, 12, 9, 1, 29, 5, 15, 17, 10, 16, 13},
    {27, 3, 21, 26, 17, 11, 20, 29, 19, 0, 12, 7, 13, 8, 31, 10,
     5, 9, 14, 30, 18, 6, 28, 24, 2, 23, 16, 22, 4, 1, 25, 15}};

// Constants of passes 2 to 5: the fraction of pi, continuing after the initial state.
constexpr uint32_t kConstants[4][32] = {
    {0x452821E6, 0x38D01377, 0xBE5466CF, 0x34E90C6C, 0xC0AC29B7, 0xC97C50DD, 0x3F84D5B5,
     0xB5470917, 0x9216D5D9, 0x8979FB1B, 0xD1310BA6, 0x98DFB5AC, 0x2FFD72DB, 0xD01ADFB7,
     0xB8E1AFED, 0x6A267E96, 0xBA7C9045, 0xF12C7F99, 0x24A19947, 0xB3916CF7, 0x0801F2E2,
     0x858EFC16, 0x636920D8, 0x71574E69, 0xA458FEA3, 0xF4933D7E, 0x0D95748F, 0x728EB658,
     0x718BCD58, 0x82154AEE, 0x7B54A41D, 0xC25A59B5},
    {0x9C30D539, 0x2AF26013, 0xC5D1B023, 0x286085F0, 0xCA417918, 0xB8DB38EF, 0x8E79DCB0,
     0x603A180E, 0x6C9E0E8B, 0xB01E8A3E, 0xD71577C1, 0xBD314B27, 0x78AF2FDA, 0x55605C60,
     0xE65525F3, 0xAA55AB94, 0x57489862, 0x63E81440, 0x55CA396A, 0x2AAB10B6, 0xB4CC5C34,
     0x1141E8CE, 0xA15486AF, 0x7C72E993, 0xB3EE1411, 0x636FBC2A, 0x2BA9C55D, 0x741831F6,
     0xCE5C3E16, 0x9B87931E, 0xAFD6BA33, 0x6C24CF5C},
    {0x7A325381, 0x28958677, 0x3B8F4898, 0x6B4BB9AF, 0xC4BFE81B, 0x66282193, 0x61D809CC,
     0xFB21A991, 0x487CAC60, 0x5DEC8032, 0xEF845D5D, 0xE98575B1, 0xDC262302, 0xEB651B88,
     0x23893E81, 0xD396ACC5, 0x0F6D6FF3, 0x83F44239, 0x2E0B4482, 0xA4842004, 0x69C8F04A,
     0x9E1F9B5E, 0x21C66842, 0xF6E96C9A, 0x670C9C61, 0xABD388F0, 0x6A51A0D2, 0xD8542F68,
     0x960FA728, 0xAB5133A3, 0x6EEF0B6C, 0x137A3BE4},
    {0xBA3BF050, 0x7EFB2A98, 0xA1F1651D, 0x39AF0176, 0x66CA593E, 0x82430E88, 0x8CEE8619,
     0x456F9FB4, 0x7D84A5C3, 0x3B8B5EBE, 0xE06F75D8, 0x85C12073, 0x401A449F, 0x56C16AA6,
     0x4ED3AA62, 0x363F7706, 0x1BFEDF72, 0x429B023D, 0x37D0D724, 0xD00A1248, 0xDB0FEAD3,
     0x49F1C09B, 0x075372C9, 0x80991B7B, 0x25D479D8, 0xF6E8DEF7, 0xE3FE501A, 0xB6794C3B,
     0x976CE0BD, 0x04C006BA, 0xC1A94FB6, 0x409F60C4}};

// One step: the register x7 takes the permuted function of the other seven, rotated, plus a
// message word and a constant. The eight steps of a round name the registers rotated by one each
// time, so that after eight steps every register was the target once.
#define SX_HAVAL_STEP(PHI, x7, x6, x5, x4, x3, x2, x1, x0, w, c) \
  x7 = Rotr(PHI(x6, x5, x4, x3, x2, x1, x0), 7) + Rotr(x7, 11) + (w) + (c)

#define SX_HAVAL_EIGHT(PHI, W, C, base)                                      \
  SX_HAVAL_STEP(PHI, t7, t6, t5, t4, t3, t2, t1, t0, W(base + 0), C(base + 0)); \
  SX_HAVAL_STEP(PHI, t6, t5, t4, t3, t2, t1, t0, t7, W(base + 1), C(base + 1)); \
  SX_HAVAL_STEP(PHI, t5, t4, t3, t2, t1, t0, t7, t6, W(base + 2), C(base + 2)); \
  SX_HAVAL_STEP(PHI, t4, t3, t2, t1, t0, t7, t6, t5, W(base + 3), C(base + 3)); \
  SX_HAVAL_STEP(PHI, t3, t2, t1, t0, t7, t6, t5, t4, W(base + 4), C(base + 4)); \
  SX_HAVAL_STEP(PHI, t2, t1, t0, t7, t6, t5, t4, t3, W(base + 5), C(base + 5)); \
  SX_HAVAL_STEP(PHI, t1, t0, t7, t6, t5, t4, t3, t2, W(base + 6), C(base + 6)); \
  SX_HAVAL_STEP(PHI, t0, t7, t6, t5, t4, t3, t2, t1, W(base + 7), C(base + 7))

#define SX_HAVAL_PASS(PHI, W, C) \
  SX_HAVAL_EIGHT(PHI, W, C, 0);  \
  SX_HAVAL_EIGHT(PHI, W, C, 8);  \
  SX_HAVAL_EIGHT(PHI, W, C, 16); \
  SX_HAVAL_EIGHT(PHI, W, C, 24)

}  // namespace

Haval256::Haval256(HavalPadding padding) : padding_(padding) { Reset(); }

void Haval256::Reset() {
  std::memcpy(state_, detail::kHavalInitialState, sizeof state_);
  bitCount_ = 0;
  used_ = 0;
  std::memset(block_, 0, sizeof block_);
}

namespace detail {

const uint32_t kHavalInitialState[8] = {0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344,
                                        0xA4093822, 0x299F31D0, 0x082EFA98, 0xEC4E6C89};

void HavalCompress(uint32_t state[8], const uint8_t* block) {
  uint32_t w[32];
  for (int i = 0; i < 32; ++i) w[i] = Load32(block + 4 * i);
  uint32_t t0 = state[0], t1 = state[1], t2 = state[2], t3 = state[3];
  uint32_t t4 = state[4], t5 = state[5], t6 = state[6], t7 = state[7];

#define W1(i) w[i]
#define C1(i) 0u
  SX_HAVAL_PASS(Phi1, W1, C1);
#define W2(i) w[kOrder[0][i]]
#define C2(i) kConstants[0][i]
  SX_HAVAL_PASS(Phi2, W2, C2);
#define W3(i) w[kOrder[1][i]]
#define C3(i) kConstants[1][i]
  SX_HAVAL_PASS(Phi3, W3, C3);
#define W4(i) w[kOrder[2][i]]
#define C4(i) kConstants[2][i]
  SX_HAVAL_PASS(Phi4, W4, C4);
#define W5(i) w[kOrder[3][i]]
#define C5(i) kConstants[3][i]
  SX_HAVAL_PASS(Phi5, W5, C5);
#undef W1
#undef C1
#undef W2
#undef C2
#undef W3
#undef C3
#undef W4
#undef C4
#undef W5
#undef C5

  state[0] += t0;
  state[1] += t1;
  state[2] += t2;
  state[3] += t3;
  state[4] += t4;
  state[5] += t5;
  state[6] += t6;
  state[7] += t7;
}

}  // namespace detail

void Haval256::Compress(const uint8_t* block) { detail::HavalCompress(state_, block); }

void Haval256::Update(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bitCount_ += static_cast<uint64_t>(size) * 8;
  if (used_ > 0) {
    const size_t take = std::min(size, sizeof block_ - used_);
    std::memcpy(block_ + used_, p, take);
    used_ += take;
    p += take;
    size -= take;
    if (used_ < sizeof block_) return;
    Compress(block_);
    used_ = 0;
  }
  for (; size >= sizeof block_; p += sizeof block_, size -= sizeof block_) Compress(p);
  std::memcpy(block_, p, size);
  used_ = size;
}

HavalDigest Haval256::Final() {
  const bool engine = padding_ == HavalPadding::kEngine;
  // The padding byte, then zeros. The engine keeps a padding byte at 118 in its own block (the
  // trailer overwrites it); the published padding needs a new block from 118 on.
  const size_t lastKept = engine ? 118 : 117;
  std::memset(block_ + used_, 0, sizeof block_ - used_);
  block_[used_] = engine ? 0x80 : 0x01;
  if (used_ > lastKept) {
    Compress(block_);
    std::memset(block_, 0, sizeof block_);
  }
  block_[118] = kTrailerPassesVersion;
  block_[119] = kTrailerLength;
  for (int i = 0; i < 8; ++i) block_[120 + i] = static_cast<uint8_t>(bitCount_ >> (8 * i));
  Compress(block_);

  HavalDigest digest;
  for (int i = 0; i < 8; ++i)
    for (int b = 0; b < 4; ++b) digest[4 * i + b] = static_cast<uint8_t>(state_[i] >> (8 * b));
  std::memset(block_, 0, sizeof block_);
  used_ = 0;
  return digest;
}

HavalDigest Digest(std::string_view text) {
  Haval256 haval;
  haval.Update(text);
  return haval.Final();
}

std::string HexOf(const uint8_t* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex(size * 2, '0');
  for (size_t i = 0; i < size; ++i) {
    hex[2 * i] = kDigits[bytes[i] >> 4];
    hex[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return hex;
}

std::string HexDigest(std::string_view text) {
  const HavalDigest digest = Digest(text);
  return HexOf(digest.data(), digest.size());
}

}  // namespace sx
