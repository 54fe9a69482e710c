#include "packages/mszip_writer.h"

#include <zlib.h>

#include <new>
#include <stdexcept>
#include <string>

namespace sx {

struct MszipWriter::Stream {
  z_stream z = {};
};

MszipWriter::MszipWriter(int level) : stream_(std::make_unique<Stream>()), level_(level) {
  if (level < 1 || level > 9)
    throw std::invalid_argument("MSZIP compression level must be 1 to 9, not " + std::to_string(level));
  // Raw deflate (negative window bits: no zlib header or trailer), the full 32 KB window.
  if (deflateInit2(&stream_->z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  if (deflateBound(&stream_->z, kMszipBlockData) + 2 > kMszipMaxBlock) {
    deflateEnd(&stream_->z);
    throw std::logic_error("zlib's bound for one MSZIP block exceeds kMszipMaxBlock");
  }
}

MszipWriter::~MszipWriter() { deflateEnd(&stream_->z); }

size_t MszipWriter::Compress(const uint8_t* data, size_t size, uint8_t* out) {
  if (size > kMszipBlockData) throw std::invalid_argument("an MSZIP block holds at most 32768 bytes");
  z_stream& z = stream_->z;
  if (deflateReset(&z) != Z_OK) throw std::logic_error("deflateReset failed");
  out[0] = 'C';
  out[1] = 'K';
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out + 2;
  z.avail_out = static_cast<uInt>(kMszipMaxBlock - 2);
  // With the whole input and room for the bound, one call finishes the stream.
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::logic_error("deflate did not finish an MSZIP block");
  return 2 + (kMszipMaxBlock - 2 - z.avail_out);
}

}  // namespace sx
