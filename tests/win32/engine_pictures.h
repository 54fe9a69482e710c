// Pictures for the engine's windows in the Windows tests: a splash bitmap file (24 bits, with
// the engine's 8 trailing bytes: minimum display time and opacity) and a region data block with
// rounded corners, as the build of a setup would put them into its main package.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace sx::test {

inline void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

struct Rgb {
  uint8_t r, g, b;
};

// A width x height bitmap file, each pixel from `paint(x, y)` (y from the top), followed by the
// splash look: minimum display seconds and opacity percent.
template <typename Paint>
std::string SplashBitmap(int width, int height, uint32_t seconds, uint32_t opacity, Paint paint) {
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t size = 54 + row * static_cast<uint32_t>(height);
  std::string bytes(size, '\0');
  bytes[0] = 'B';
  bytes[1] = 'M';
  Put32(bytes, 2, size);
  Put32(bytes, 10, 54);
  Put32(bytes, 14, 40);
  Put32(bytes, 18, static_cast<uint32_t>(width));
  Put32(bytes, 22, static_cast<uint32_t>(height));
  bytes[26] = 1;
  bytes[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = paint(x, y);
      const size_t at = 54 + row * static_cast<uint32_t>(height - 1 - y) + 3 * static_cast<uint32_t>(x);
      bytes[at] = static_cast<char>(c.b);
      bytes[at + 1] = static_cast<char>(c.g);
      bytes[at + 2] = static_cast<char>(c.r);
    }
  std::string look(8, '\0');
  Put32(look, 0, seconds);
  Put32(look, 4, opacity);
  return bytes + look;
}

// A region data block for a width x height rectangle with corners rounded by `radius`: one
// rectangle per distinct row span.
inline std::string RoundedRegion(int width, int height, int radius) {
  struct Span {
    int top, bottom, inset;
  };
  std::vector<Span> spans;
  for (int y = 0; y < height; ++y) {
    const int fromEdge = y < radius ? radius - y : y >= height - radius ? y - (height - radius) + 1 : 0;
    const int inset = fromEdge
        ? radius - static_cast<int>(std::sqrt(double(radius) * radius - double(fromEdge) * fromEdge))
        : 0;
    if (!spans.empty() && spans.back().inset == inset) spans.back().bottom = y + 1;
    else spans.push_back({y, y + 1, inset});
  }
  std::string bytes(32 + 16 * spans.size(), '\0');
  Put32(bytes, 0, 32);
  Put32(bytes, 4, 1);  // RDH_RECTANGLES
  Put32(bytes, 8, static_cast<uint32_t>(spans.size()));
  Put32(bytes, 12, static_cast<uint32_t>(16 * spans.size()));
  Put32(bytes, 24, static_cast<uint32_t>(width));
  Put32(bytes, 28, static_cast<uint32_t>(height));
  for (size_t i = 0; i < spans.size(); ++i) {
    const size_t at = 32 + 16 * i;
    Put32(bytes, at, static_cast<uint32_t>(spans[i].inset));
    Put32(bytes, at + 4, static_cast<uint32_t>(spans[i].top));
    Put32(bytes, at + 8, static_cast<uint32_t>(width - spans[i].inset));
    Put32(bytes, at + 12, static_cast<uint32_t>(spans[i].bottom));
  }
  return bytes;
}

}  // namespace sx::test
