// Helpers of the package tests: a machine with the unpack library in its temp folder, cabinets
// made by gcab, and in-place edits of cabinet bytes (entry names, attributes, enciphered data).
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "packages/embedded_resource.h"
#include "packages/gost.h"
#include "packages/haval.h"
#include "packages/sx_unpacker.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_machine.h"

namespace sx::test {

using Files = std::vector<std::pair<std::string, std::string>>;  // archive name, content

// Text that MSZIP compresses well, different for each seed.
inline std::string TextBytes(size_t size, uint32_t seed) {
  std::string text;
  for (uint32_t line = 0; text.size() < size; ++line)
    text += "line " + std::to_string(line * 7 + seed) + " of file " + std::to_string(seed) + "\r\n";
  text.resize(size);
  return text;
}

// A cabinet made by `gcab -c` (with `-z`: MSZIP) from the files in this order. Names use "/"
// for folders; gcab stores them with backslashes.
inline std::string MakeCabinet(const Files& files, bool compress) {
  namespace fs = std::filesystem;
  fs::path work = fs::temp_directory_path() / ("sxcab-" + std::to_string(::getpid()) + "-" +
                                               std::to_string(reinterpret_cast<uintptr_t>(&files)));
  fs::remove_all(work);
  std::string names;
  for (const auto& [name, content] : files) {
    WriteHostFile((work / "in" / name).string(), content);
    names += " '" + name + "'";
  }
  const std::string cab = (work / "out.cab").string();
  const std::string command = "cd '" + (work / "in").string() + "' && gcab -c " +
                              (compress ? "-z " : "") + "'" + cab + "'" + names;
  EXPECT_EQ(RunCommand(command), 0) << command;
  std::string bytes = ReadHostFile(cab);
  fs::remove_all(work);
  return bytes;
}

inline uint16_t Get16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
inline uint32_t Get32(const std::string& b, size_t at) {
  return Get16(b, at) | static_cast<uint32_t>(Get16(b, at + 2)) << 16;
}
inline void Put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}

// The layout of a single cabinet without reserved areas or neighbours (as gcab writes it).
struct CabinetLayout {
  struct Block {
    size_t dataOffset;  // where the compressed bytes start
    size_t size;        // compressed bytes
  };
  struct Entry {
    size_t offset;  // of the CFFILE record
    std::string name;
  };
  std::vector<Block> blocks;  // in file order
  std::vector<Entry> entries;
};

inline CabinetLayout ReadLayout(const std::string& cab) {
  CabinetLayout layout;
  const uint16_t folders = Get16(cab, 26), files = Get16(cab, 28);
  EXPECT_EQ(Get16(cab, 30), 0) << "helpers read plain single cabinets only";
  std::vector<std::pair<size_t, size_t>> starts;  // data offset, block count
  for (size_t f = 0; f < folders; ++f)
    starts.emplace_back(Get32(cab, 36 + 8 * f), Get16(cab, 36 + 8 * f + 4));
  std::sort(starts.begin(), starts.end());
  for (auto [offset, count] : starts)
    for (size_t i = 0; i < count; ++i) {
      const size_t size = Get16(cab, offset + 4);
      layout.blocks.push_back({offset + 8, size});
      offset += 8 + size;
    }
  size_t at = Get32(cab, 16);
  for (size_t i = 0; i < files; ++i) {
    std::string name(cab.c_str() + at + 16);
    layout.entries.push_back({at, name});
    at += 16 + name.size() + 1;
  }
  return layout;
}

// Enciphers every data block in one GOST chain under the digest of `password`, as a builder
// does; checksums stay those of the plain compressed bytes.
inline std::string EncipherCabinet(std::string cab, const std::string& password) {
  const HavalDigest key = Digest(password);
  GostCipher cipher;
  cipher.Init(key.data(), 256);
  for (const auto& block : ReadLayout(cab).blocks) {
    auto* p = reinterpret_cast<uint8_t*>(cab.data() + block.dataOffset);
    cipher.Encipher(p, p, block.size);
  }
  return cab;
}

inline std::string Scramble(std::string bytes) {
  for (auto& c : bytes) c = static_cast<char>(c ^ 0xD2);
  return bytes;
}

// Replaces the name of entry `index` by one of the same length.
inline void RenameEntry(std::string& cab, size_t index, const std::string& name) {
  const auto entry = ReadLayout(cab).entries.at(index);
  ASSERT_EQ(entry.name.size(), name.size());
  std::memcpy(cab.data() + entry.offset + 16, name.data(), name.size());
}

inline void SetEntryAttributes(std::string& cab, size_t index, uint16_t attributes) {
  Put16(cab, ReadLayout(cab).entries.at(index).offset + 14, attributes);
}
inline void SetEntryDosDateTime(std::string& cab, size_t index, uint32_t dosDateTime) {
  const size_t at = ReadLayout(cab).entries.at(index).offset;
  Put16(cab, at + 10, static_cast<uint16_t>(dosDateTime >> 16));
  Put16(cab, at + 12, static_cast<uint16_t>(dosDateTime));
}

// A fresh machine whose temp folder holds the unpack library, loaded by every unpacker.
class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dll_ = WriteUnpackLibrary(machine_.host().TempPath());
    ASSERT_FALSE(dll_.empty());
    SetUnpackDllPath(dll_);
  }
  void TearDown() override { SetUnpackDllPath(""); }

  host::Host& host() { return machine_.host(); }
  // The host path of a path on drive C ("C:\pkg\x.cab" -> <machine>/drive_c/pkg/x.cab).
  std::string HostPathOf(const std::string& windowsPath) {
    std::string relative = windowsPath.substr(3);
    for (auto& c : relative)
      if (c == '\\') c = '/';
    return machine_.HostPath("drive_c/" + relative);
  }
  void WriteFile(const std::string& windowsPath, const std::string& bytes) {
    WriteHostFile(HostPathOf(windowsPath), bytes);
  }
  std::string ReadFile(const std::string& windowsPath) {
    return ReadHostFile(HostPathOf(windowsPath));
  }
  void MakeFolder(const std::string& windowsPath) {
    std::filesystem::create_directories(HostPathOf(windowsPath));
  }
  bool Exists(const std::string& windowsPath) {
    return std::filesystem::exists(HostPathOf(windowsPath));
  }

  // Extracts every file of a package below `folder` (with trailing backslash); the names seen.
  std::vector<std::string> ExtractAll(TsxUnpacker& unpacker, const std::string& folder,
                                      bool* ok = nullptr) {
    std::vector<std::string> names;
    const bool result = unpacker.Enumerate([&](const UnpackEntry& entry, std::string& dest) {
      names.push_back(entry.name);
      dest = folder + entry.name;
      const size_t cut = dest.find_last_of('\\');
      std::filesystem::create_directories(HostPathOf(dest.substr(0, cut + 1)));
      return kUnpackExtract;
    });
    if (ok) *ok = result;
    return names;
  }

  TempMachine machine_;
  std::string dll_;
};

}  // namespace sx::test

namespace sx::test {

// A set of two stored cabinets, "one.cab" and "two.cab". one.cab holds `first` in a folder of
// its own and the start of `spanning` in a folder that goes on in two.cab; the block at the seam
// is split after `seamSplit` bytes, as cabinet sets are written. two.cab holds the rest of that
// folder and `last` in a new folder.
struct SpannedSet {
  std::string one, two;
};

namespace detail {

struct CabData {
  std::string bytes;
  uint16_t uncompressed;  // 0: the block goes on in the next cabinet
};
struct CabEntry {
  std::string name;
  uint32_t size, offset;
  uint16_t folder;
};

inline std::vector<CabData> StoredBlocks(const std::string& stream) {
  std::vector<CabData> blocks;
  for (size_t at = 0; at < stream.size(); at += 32768) {
    const std::string piece = stream.substr(at, 32768);
    blocks.push_back({piece, static_cast<uint16_t>(piece.size())});
  }
  return blocks;
}

inline std::string StoredCabinet(bool hasNext, const std::vector<std::vector<CabData>>& folders,
                                 const std::vector<CabEntry>& entries) {
  auto put16 = [](std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
  };
  auto put32 = [&](std::string& s, uint32_t v) {
    put16(s, static_cast<uint16_t>(v));
    put16(s, static_cast<uint16_t>(v >> 16));
  };
  const std::string names = hasNext ? std::string("two.cab\0disk 2\0", 15)
                                    : std::string("one.cab\0disk 1\0", 15);
  std::string files;
  for (const auto& e : entries) {
    put32(files, e.size);
    put32(files, e.offset);
    put16(files, e.folder);
    put16(files, 0x5A21);  // 2025-01-01
    put16(files, 0x6000);  // 12:00:00
    put16(files, 0x20);
    files += e.name;
    files.push_back('\0');
  }
  const uint32_t filesAt = 36 + static_cast<uint32_t>(names.size() + 8 * folders.size());
  uint32_t dataAt = filesAt + static_cast<uint32_t>(files.size());
  std::string folderTable, body;
  for (const auto& blocks : folders) {
    put32(folderTable, dataAt + static_cast<uint32_t>(body.size()));
    put16(folderTable, static_cast<uint16_t>(blocks.size()));
    put16(folderTable, 0);  // stored
    for (const auto& d : blocks) {
      put32(body, 0);  // no checksum
      put16(body, static_cast<uint16_t>(d.bytes.size()));
      put16(body, d.uncompressed);
      body += d.bytes;
    }
  }
  std::string cab;
  put32(cab, 0x4643534D);
  put32(cab, 0);
  put32(cab, dataAt + static_cast<uint32_t>(body.size()));
  put32(cab, 0);
  put32(cab, filesAt);
  put32(cab, 0);
  cab.push_back(3);
  cab.push_back(1);
  put16(cab, static_cast<uint16_t>(folders.size()));
  put16(cab, static_cast<uint16_t>(entries.size()));
  put16(cab, hasNext ? 0x0002 : 0x0001);  // next / previous cabinet
  put16(cab, 0x5358);                     // set ID
  put16(cab, hasNext ? 0 : 1);
  return cab + names + folderTable + files + body;
}

}  // namespace detail

inline SpannedSet MakeSpannedSet(const std::string& first, const std::string& spanning,
                                 const std::string& last, size_t seamSplit) {
  using detail::CabData;
  std::vector<CabData> spanned = detail::StoredBlocks(spanning);
  // The last block of the spanning file is split between the cabinets.
  std::vector<CabData> before(spanned.begin(), spanned.end() - 1);
  const CabData seam = spanned.back();
  before.push_back({seam.bytes.substr(0, seamSplit), 0});
  const std::vector<CabData> after = {{seam.bytes.substr(seamSplit), seam.uncompressed}};
  const uint32_t a = static_cast<uint32_t>(first.size());
  const uint32_t b = static_cast<uint32_t>(spanning.size());
  const uint32_t c = static_cast<uint32_t>(last.size());
  SpannedSet set;
  set.one = detail::StoredCabinet(true, {detail::StoredBlocks(first), before},
                                  {{"first.bin", a, 0, 0}, {"spanning.bin", b, 0, 0xFFFE}});
  set.two = detail::StoredCabinet(false, {after, detail::StoredBlocks(last)},
                                  {{"spanning.bin", b, 0, 0xFFFD}, {"last.bin", c, 0, 1}});
  return set;
}

}  // namespace sx::test
