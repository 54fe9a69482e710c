// Writes Atlas's world map tiles (maps\world.tiles): SIZE bytes of deterministic noise standing
// in for compressed map data. Being incompressible, they make the data package large enough to
// span two cabinets without keeping a large file in the repository.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_tiles FILE SIZE\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  std::uint64_t state = 0x9E3779B97F4A7C15ull;  // xorshift64*
  const long size = std::atol(argv[2]);
  for (long i = 0; i < size; ++i) {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    out.put(static_cast<char>((state * 0x2545F4914F6CDD1Dull) >> 56));
  }
  out.close();
  return out ? 0 : 1;
}
