// MSZIP blocks as the builder writes them: "CK" and one complete raw deflate stream, each block
// readable on its own by a plain inflater, within the room reserved for a block, at every level.
#include <gtest/gtest.h>

#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "packages/mszip_writer.h"
#include "tests/packages/package_fixture.h"

namespace sx::test {
namespace {

// Inflates the deflate stream after "CK" on its own; the stream must end within the block.
std::string InflateBlock(const std::vector<uint8_t>& block) {
  z_stream z = {};
  EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
  std::string out(kMszipBlockData + 1, '\0');
  z.next_in = const_cast<Bytef*>(block.data() + 2);
  z.avail_in = static_cast<uInt>(block.size() - 2);
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u) << "the block ends with its stream";
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return out;
}

std::vector<uint8_t> CompressBlock(MszipWriter& writer, const std::string& data) {
  std::vector<uint8_t> block(kMszipMaxBlock);
  block.resize(writer.Compress(reinterpret_cast<const uint8_t*>(data.data()), data.size(), block.data()));
  return block;
}

TEST(MszipWriter, EveryBlockIsCkAndAStreamThatInflatesOnItsOwn) {
  MszipWriter writer;
  const std::string inputs[] = {"a", TextBytes(1000, 1), TextBytes(kMszipBlockData, 2),
                                RandomBytes(kMszipBlockData, 3), std::string(kMszipBlockData, '\0')};
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.size());
    const std::vector<uint8_t> block = CompressBlock(writer, input);
    ASSERT_GE(block.size(), 3u);
    EXPECT_EQ(block[0], 'C');
    EXPECT_EQ(block[1], 'K');
    EXPECT_LE(block.size(), kMszipMaxBlock);
    EXPECT_EQ(InflateBlock(block), input);
  }
}

TEST(MszipWriter, IncompressibleDataStaysWithinTheReservedRoomAndTextShrinks) {
  MszipWriter writer(9);
  const std::vector<uint8_t> noise = CompressBlock(writer, RandomBytes(kMszipBlockData, 7));
  EXPECT_LE(noise.size(), kMszipMaxBlock);
  EXPECT_GT(noise.size(), kMszipBlockData);
  const std::vector<uint8_t> text = CompressBlock(writer, TextBytes(kMszipBlockData, 7));
  EXPECT_LT(text.size(), kMszipBlockData / 4);
}

TEST(MszipWriter, HigherLevelsNeverGrowTextAndAllLevelsRoundTrip) {
  const std::string input = TextBytes(kMszipBlockData, 11);
  size_t previous = SIZE_MAX;
  for (int level = 1; level <= 9; ++level) {
    MszipWriter writer(level);
    EXPECT_EQ(writer.Level(), level);
    const std::vector<uint8_t> block = CompressBlock(writer, input);
    EXPECT_EQ(InflateBlock(block), input) << "level " << level;
    if (level == 1 || level == 9) {
      EXPECT_LE(block.size(), previous);
      previous = block.size();
    }
  }
}

TEST(MszipWriter, RefusesBadLevelsAndOversizedBlocks) {
  EXPECT_THROW(MszipWriter(0), std::invalid_argument);
  EXPECT_THROW(MszipWriter(10), std::invalid_argument);
  MszipWriter writer;
  std::vector<uint8_t> out(kMszipMaxBlock);
  const std::string tooLong(kMszipBlockData + 1, 'x');
  EXPECT_THROW(writer.Compress(reinterpret_cast<const uint8_t*>(tooLong.data()), tooLong.size(), out.data()),
               std::invalid_argument);
}

}  // namespace
}  // namespace sx::test
