// Throughput of the content protection: the HAVAL-256/5 digest, GOST-CBC deciphering and
// enciphering (as the unpacker deciphers archive data), and the cost of one password check and
// of one ".pdb" key. Prints one table.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "packages/gost.h"
#include "packages/haval.h"
#include "packages/password.h"
#include "packages/pdb_file.h"

namespace {

using Clock = std::chrono::steady_clock;
volatile uint64_t g_sink;

// Seconds per call of `run`, repeating it for at least 400 ms.
double SecondsPerCall(const std::function<uint64_t()>& run) {
  uint64_t sink = 0;
  long calls = 0;
  const auto start = Clock::now();
  std::chrono::duration<double> elapsed{};
  do {
    sink += run();
    ++calls;
    elapsed = Clock::now() - start;
  } while (elapsed.count() < 0.4);
  g_sink = sink;
  return elapsed.count() / static_cast<double>(calls);
}

}  // namespace

int main() {
  constexpr size_t kSize = 8 << 20;
  std::vector<uint8_t> data(kSize);
  for (size_t i = 0; i < kSize; ++i) data[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
  const sx::HavalDigest key = sx::Digest("benchmark password");
  const double mb = static_cast<double>(kSize) / (1024.0 * 1024.0);

  const double haval = SecondsPerCall([&] {
    sx::Haval256 h;
    h.Update(data.data(), data.size());
    return uint64_t(h.Final()[0]);
  });
  std::vector<uint8_t> out(kSize);
  const double decipher = SecondsPerCall([&] {
    sx::GostCipher c;
    c.Init(key.data(), 256);
    c.Decipher(data.data(), out.data(), kSize);
    return uint64_t(out[kSize - 1]);
  });
  const double encipher = SecondsPerCall([&] {
    sx::GostCipher c;
    c.Init(key.data(), 256);
    c.Encipher(data.data(), out.data(), kSize);
    return uint64_t(out[kSize - 1]);
  });
  // Deciphering 32 KB blocks in place, one call per block, as archive data arrives.
  const double blocks = SecondsPerCall([&] {
    sx::GostCipher c;
    c.Init(key.data(), 256);
    for (size_t at = 0; at < kSize; at += 32768) c.Decipher(data.data() + at, out.data() + at, 32768);
    return uint64_t(out[0]);
  });
  const std::string hash = sx::PasswordCheckHash("secret");
  const double check = SecondsPerCall([&] { return uint64_t(sx::PasswordMatches("secret", hash)); });
  const std::string pdb = sx::EncodePdb(std::string(64 * 1024, 'x'));
  const double pdbRead = SecondsPerCall([&] { return uint64_t(sx::DecodePdb(pdb).size()); });

  std::printf("%-40s %14s\n", "operation", "result");
  std::printf("%-40s %10.1f MB/s   (aim >= 150)\n", "HAVAL-256/5 digest, 8 MB", mb / haval);
  std::printf("%-40s %10.1f MB/s   (aim >= 50)\n", "GOST-CBC decipher, 8 MB in one call", mb / decipher);
  std::printf("%-40s %10.1f MB/s\n", "GOST-CBC decipher, 32 KB per call", mb / blocks);
  std::printf("%-40s %10.1f MB/s\n", "GOST-CBC encipher, 8 MB", mb / encipher);
  std::printf("%-40s %10.2f us\n", "password check (digest + compare)", check * 1e6);
  std::printf("%-40s %10.2f us\n", "decode a 64 KB .pdb file", pdbRead * 1e6);
  return 0;
}
