// Helpers of the cabinet writer tests: a reader of cabinet headers and block records (also of
// the cabinets of a set), an in-memory CabStorage, and running the outside cabinet tools on
// files in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "packages/cab_writer.h"
#include "tests/support/temp_machine.h"

namespace sx::test {

struct ParsedCabinet {
  struct Folder {
    uint32_t dataOffset;
    uint16_t blocks;
    uint16_t compression;
  };
  struct File {
    uint32_t size, offset;
    uint16_t folder, date, time, attributes;
    std::string name;
  };
  struct Block {
    uint32_t checksum;
    uint16_t compressed, uncompressed;
    size_t dataOffset;  // in the cabinet
    size_t folder;      // index in this cabinet
  };
  uint32_t size = 0;
  uint16_t flags = 0, setId = 0, index = 0;
  std::string previousName, nextName;
  std::vector<Folder> folders;
  std::vector<File> files;
  std::vector<Block> blocks;  // folder by folder, in file order

  bool HasPrevious() const { return flags & 1; }
  bool HasNext() const { return flags & 2; }
};

inline uint16_t CabGet16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b.at(at)) | static_cast<uint8_t>(b.at(at + 1)) << 8);
}
inline uint32_t CabGet32(const std::string& b, size_t at) {
  return CabGet16(b, at) | static_cast<uint32_t>(CabGet16(b, at + 2)) << 16;
}

// The bytes of one cabinet (no leading or trailing bytes, not scrambled).
inline ParsedCabinet ParseCabinet(const std::string& cab) {
  ParsedCabinet p;
  EXPECT_EQ(cab.substr(0, 4), "MSCF");
  p.size = CabGet32(cab, 8);
  const uint32_t filesAt = CabGet32(cab, 16);
  const uint16_t folders = CabGet16(cab, 26), files = CabGet16(cab, 28);
  p.flags = CabGet16(cab, 30);
  p.setId = CabGet16(cab, 32);
  p.index = CabGet16(cab, 34);
  EXPECT_EQ(p.flags & 4, 0) << "no reserved areas expected";
  size_t at = 36;
  auto text = [&] {
    std::string s(cab.c_str() + at);
    at += s.size() + 1;
    return s;
  };
  if (p.HasPrevious()) {
    p.previousName = text();
    text();
  }
  if (p.HasNext()) {
    p.nextName = text();
    text();
  }
  for (uint16_t i = 0; i < folders; ++i, at += 8)
    p.folders.push_back({CabGet32(cab, at), CabGet16(cab, at + 4), CabGet16(cab, at + 6)});
  EXPECT_EQ(at, filesAt);
  at = filesAt;
  for (uint16_t i = 0; i < files; ++i) {
    ParsedCabinet::File f{CabGet32(cab, at), CabGet32(cab, at + 4), CabGet16(cab, at + 8),
                          CabGet16(cab, at + 10), CabGet16(cab, at + 12), CabGet16(cab, at + 14), ""};
    at += 16;
    f.name = text();
    p.files.push_back(f);
  }
  for (size_t f = 0; f < p.folders.size(); ++f) {
    size_t block = p.folders[f].dataOffset;
    for (uint16_t i = 0; i < p.folders[f].blocks; ++i) {
      ParsedCabinet::Block b{CabGet32(cab, block), CabGet16(cab, block + 4), CabGet16(cab, block + 6),
                             block + 8, f};
      p.blocks.push_back(b);
      block += 8 + b.compressed;
    }
  }
  return p;
}

// Cabinets and the scratch area in memory.
class MemoryCabStorage : public CabStorage {
 public:
  std::vector<std::string> cabinets;
  std::string scratch;

  void Write(int cabinet, const void* data, size_t size) override {
    Grow(cabinet);
    cabinets[static_cast<size_t>(cabinet)].append(static_cast<const char*>(data), size);
  }
  void WriteScratch(const void* data, size_t size) override {
    scratch.append(static_cast<const char*>(data), size);
  }
  void MoveScratch(int cabinet) override {
    Grow(cabinet);
    cabinets[static_cast<size_t>(cabinet)] += scratch;
    scratch.clear();
  }

 private:
  void Grow(int cabinet) {
    if (cabinets.size() <= static_cast<size_t>(cabinet)) cabinets.resize(static_cast<size_t>(cabinet) + 1);
  }
};

// A scratch folder on this computer, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sxcabtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "cannot create a scratch folder";
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

inline std::string ShellQuote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Every file below `folder` with its content, by relative path ("/" between folders).
inline std::map<std::string, std::string> FolderContent(const std::string& folder) {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
    if (it->is_regular_file())
      files[std::filesystem::relative(it->path(), folder).string()] = ReadHostFile(it->path().string());
  return files;
}

}  // namespace sx::test
