// The payloads the benchmarks install and unpack: files of mixed kinds, some text that compresses
// well, some pseudo-random bytes that do not, from a fixed seed so every run sees the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace sx::bench {

// Writes `bytes` to `path`, making its folders first.
inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// `files` files of about `totalBytes` together, "file<i>.dat" in the folder `folderOf(i)` names
// below `folder`; every `incompressibleEvery`-th file (the last of each group) is random bytes.
inline void MakePayload(const std::string& folder, size_t totalBytes, size_t files, size_t incompressibleEvery,
                        const std::function<std::string(size_t)>& folderOf) {
  uint32_t x = 2463534242u;
  auto next = [&] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  const size_t average = files ? totalBytes / files : 0;
  for (size_t i = 0; i < files; ++i) {
    const size_t size = average / 2 + (average ? next() % (average + 1) : 0);
    std::string bytes;
    bytes.reserve(size);
    if (i % incompressibleEvery == incompressibleEvery - 1) {
      while (bytes.size() < size) bytes.push_back(static_cast<char>(next()));
    } else {
      for (uint32_t line = 0; bytes.size() < size; ++line)
        bytes += "record " + std::to_string(next() % 100000) + " of file " + std::to_string(i) +
                 " value=" + std::to_string(line * 31) + "\r\n";
      bytes.resize(size);
    }
    WriteAll(folder + "/" + folderOf(i) + "/file" + std::to_string(i) + ".dat", bytes);
  }
}

// Fifty flat folders "dir<i % 50>".
inline std::string FlatFolder(size_t i) { return "dir" + std::to_string(i % 50); }

}  // namespace sx::bench
