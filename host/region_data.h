// The region data blocks windows take as their shape (RGNDATA: a 32-byte header whose third
// 32-bit little-endian field counts the rectangles that follow it).
#pragma once

#include <cstdint>
#include <string_view>

namespace sx::host {

// The number of rectangles a region data block names; 0 when the block is too short to say.
inline uint32_t RegionRectangleCount(std::string_view regionData) {
  if (regionData.size() < 12) return 0;
  uint32_t count = 0;
  for (int i = 11; i >= 8; --i) count = count << 8 | static_cast<unsigned char>(regionData[i]);
  return count;
}

}  // namespace sx::host
