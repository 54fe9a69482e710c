// MSZIP, the deflate flavour of cabinet data blocks, on the writing side.
//
// A block holds at most 32 KB of uncompressed data and is stored as the two bytes "CK" followed
// by one complete raw deflate stream of that data. zlib does the deflating. Every block is
// compressed on its own (no history from the block before), so any MSZIP reader takes it: those
// that carry the window over from block to block simply never find a reference into it.
//
// One writer belongs to one thread; separate writers are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sx {

// Uncompressed bytes of a full block.
inline constexpr size_t kMszipBlockData = 32768;
// Room that one compressed block may need: "CK" and a deflate stream of 32 KB that did not
// compress (stored deflate blocks cost 5 bytes per 64 KB), with slack.
inline constexpr size_t kMszipMaxBlock = 2 + kMszipBlockData + 64;

class MszipWriter {
 public:
  // `level`: zlib's compression level, 1 (fastest) to 9 (smallest). Throws std::invalid_argument
  // for any other level and std::bad_alloc when zlib cannot start.
  explicit MszipWriter(int level = 6);
  ~MszipWriter();
  MszipWriter(const MszipWriter&) = delete;
  MszipWriter& operator=(const MszipWriter&) = delete;

  // Compresses `size` bytes (at most kMszipBlockData) into `out`, which has room for
  // kMszipMaxBlock bytes; returns the length of the block written there.
  size_t Compress(const uint8_t* data, size_t size, uint8_t* out);

  int Level() const { return level_; }

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
  int level_;
};

}  // namespace sx
