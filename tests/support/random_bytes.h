// Bytes that do not compress (a seeded xorshift): fill cabinets, force stored blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sx::test {

inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (auto& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

}  // namespace sx::test
