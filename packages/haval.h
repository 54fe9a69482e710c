// HAVAL with 5 passes and a 256-bit result: the hash behind installation passwords, the keys of
// enciphered package data and the keys of ".pdb" files.
//
// The rounds, word orders and constants are those of the published HAVAL (Zheng, Pieprzyk,
// Seberry). The engine's final padding differs from the published one, and every stored password
// hash and key depends on it:
//   - the padding byte is 0x80 (published: 0x01);
//   - the tail block is compressed early only when the padding byte lands after position 118;
//     at exactly 118 the 0x80 byte is overwritten by the trailer byte 0x29 and no block is added.
// `HavalPadding::kPublished` switches to the published padding, so that the rounds can be checked
// against published digests; everything in the engine uses `kEngine`.
//
// The digest is the eight 32-bit state words as little-endian bytes. Not safe to share one
// `Haval256` between threads; separate objects are independent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

using HavalDigest = std::array<uint8_t, 32>;

enum class HavalPadding { kEngine, kPublished };

class Haval256 {
 public:
  explicit Haval256(HavalPadding padding = HavalPadding::kEngine);

  void Update(const void* data, size_t size);
  void Update(std::string_view text) { Update(text.data(), text.size()); }
  // Pads, compresses the last block and returns the digest. The object must be Reset before it
  // is used again.
  HavalDigest Final();
  void Reset();

 private:
  void Compress(const uint8_t* block);

  HavalPadding padding_;
  uint32_t state_[8];
  uint64_t bitCount_ = 0;
  uint8_t block_[128];
  size_t used_ = 0;
};

// The engine's digest of the 8-bit bytes of a text.
HavalDigest Digest(std::string_view text);
// The digest as 64 upper-case hexadecimal digits, byte by byte in order.
std::string HexDigest(std::string_view text);
std::string HexOf(const uint8_t* bytes, size_t size);

namespace detail {
// The compression function on its own and the initial state, for tests of the padding.
extern const uint32_t kHavalInitialState[8];
void HavalCompress(uint32_t state[8], const uint8_t* block);
}  // namespace detail

}  // namespace sx
