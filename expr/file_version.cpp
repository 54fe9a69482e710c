#include "expr/file_version.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "host/host.h"

namespace sx {

namespace {

constexpr uint16_t kDosSignature = 0x5A4D;       // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;    // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr size_t kFixedInfoSize = 52;
constexpr uint16_t kMaxSections = 96;     // the loader's own limit
constexpr uint32_t kMaxVersionSize = 0x10000;  // wLength is 16 bits

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct Section {
  uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class ImageReader {
 public:
  explicit ImageReader(std::unique_ptr<host::File> file) : file_(std::move(file)) {
    size_ = file_->Size().value_or(0);
  }

  // Exactly `count` bytes at `offset`, or false.
  bool ReadAt(uint64_t offset, size_t count, std::vector<uint8_t>& out) {
    if (offset > size_ || count > size_ - offset) return false;
    out.resize(count);
    if (!file_->Seek(offset)) return false;
    size_t done = 0;
    while (done < count) {
      auto n = file_->Read(out.data() + done, count - done);
      if (!n || *n == 0) return false;
      done += *n;
    }
    return true;
  }

  std::optional<TFileVersion> Version() {
    std::vector<uint8_t> b;
    if (!ReadAt(0, 64, b) || U16(b.data()) != kDosSignature) return std::nullopt;
    const uint32_t peOffset = U32(b.data() + 0x3C);
    if (!ReadAt(peOffset, 24, b) || U32(b.data()) != kPeSignature) return std::nullopt;
    const uint16_t sectionCount = U16(b.data() + 6);
    const uint16_t optionalSize = U16(b.data() + 20);
    if (sectionCount == 0 || sectionCount > kMaxSections) return std::nullopt;
    const uint64_t optionalOffset = uint64_t{peOffset} + 24;

    std::vector<uint8_t> opt;
    if (optionalSize < 2 || !ReadAt(optionalOffset, optionalSize, opt)) return std::nullopt;
    const uint16_t magic = U16(opt.data());
    size_t countField, directories;
    if (magic == kPe32Magic) {
      countField = 92, directories = 96;
    } else if (magic == kPe32PlusMagic) {
      countField = 108, directories = 112;
    } else {
      return std::nullopt;
    }
    if (opt.size() < countField + 4) return std::nullopt;
    const uint32_t directoryCount = U32(opt.data() + countField);
    const size_t entry = directories + kResourceDirectoryIndex * 8;
    if (directoryCount <= kResourceDirectoryIndex || opt.size() < entry + 8) return std::nullopt;
    const uint32_t resourceRva = U32(opt.data() + entry);
    if (resourceRva == 0) return std::nullopt;

    std::vector<uint8_t> table;
    if (!ReadAt(optionalOffset + optionalSize, size_t{sectionCount} * 40, table)) return std::nullopt;
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const uint8_t* s = table.data() + size_t{i} * 40;
      sections_.push_back({U32(s + 12), U32(s + 8), U32(s + 16), U32(s + 20)});
    }
    resourceOffset_ = FileOffset(resourceRva);
    if (!resourceOffset_) return std::nullopt;

    // Type RT_VERSION, then its first name and first language.
    auto typeDir = FindEntry(0, kRtVersion, true);
    if (!typeDir || !(*typeDir & kSubdirectoryFlag)) return std::nullopt;
    auto nameDir = FindEntry(*typeDir & ~kSubdirectoryFlag, 0, false);
    if (!nameDir || !(*nameDir & kSubdirectoryFlag)) return std::nullopt;
    auto dataEntry = FindEntry(*nameDir & ~kSubdirectoryFlag, 0, false);
    if (!dataEntry || (*dataEntry & kSubdirectoryFlag)) return std::nullopt;

    if (!ReadAt(*resourceOffset_ + *dataEntry, 16, b)) return std::nullopt;
    const uint32_t dataRva = U32(b.data());
    uint32_t dataSize = U32(b.data() + 4);
    if (dataSize > kMaxVersionSize) dataSize = kMaxVersionSize;
    const auto dataOffset = FileOffset(dataRva);
    std::vector<uint8_t> info;
    if (!dataOffset || dataSize < 6 || !ReadAt(*dataOffset, dataSize, info)) return std::nullopt;
    return FixedInfo(info);
  }

 private:
  std::optional<uint64_t> FileOffset(uint32_t rva) const {
    for (const Section& s : sections_) {
      const uint32_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
      if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
        const uint32_t delta = rva - s.virtualAddress;
        if (delta >= s.rawSize) return std::nullopt;
        return uint64_t{s.rawOffset} + delta;
      }
    }
    return std::nullopt;
  }

  // The OffsetToData of an entry of the resource directory at `directory` (relative to the
  // resource section): the entry with that ID, or the first entry when `byId` is false.
  std::optional<uint32_t> FindEntry(uint32_t directory, uint32_t id, bool byId) {
    std::vector<uint8_t> header;
    if (!ReadAt(*resourceOffset_ + directory, 16, header)) return std::nullopt;
    const uint32_t named = U16(header.data() + 12);
    const uint32_t ids = U16(header.data() + 14);
    const uint32_t count = named + ids;
    if (count == 0) return std::nullopt;
    std::vector<uint8_t> entries;
    if (!ReadAt(*resourceOffset_ + directory + 16, size_t{count} * 8, entries)) return std::nullopt;
    if (!byId) return U32(entries.data() + 4);
    for (uint32_t i = named; i < count; ++i) {
      const uint8_t* e = entries.data() + size_t{i} * 8;
      if (U32(e) == id) return U32(e + 4);
    }
    return std::nullopt;
  }

  // VS_VERSIONINFO: wLength, wValueLength, wType, the key "VS_VERSION_INFO" in UTF-16 with its
  // terminating zero, padding to a 32-bit boundary, then VS_FIXEDFILEINFO.
  static std::optional<TFileVersion> FixedInfo(const std::vector<uint8_t>& info) {
    const size_t length = std::min<size_t>(U16(info.data()), info.size());
    const uint16_t valueLength = U16(info.data() + 2);
    if (valueLength < kFixedInfoSize) return std::nullopt;
    size_t i = 6;
    while (i + 1 < length && U16(info.data() + i) != 0) i += 2;
    i += 2;
    i = (i + 3) & ~size_t{3};
    if (i + kFixedInfoSize > length) return std::nullopt;
    const uint8_t* fixed = info.data() + i;
    if (U32(fixed) != kFixedInfoSignature) return std::nullopt;
    return TFileVersion{U32(fixed + 8), U32(fixed + 12)};
  }

  std::unique_ptr<host::File> file_;
  uint64_t size_ = 0;
  std::vector<Section> sections_;
  std::optional<uint64_t> resourceOffset_;
};

}  // namespace

std::optional<TFileVersion> ReadFileVersion(std::string_view path) {
  host::Host& host = host::CurrentHost();
  const auto info = host.GetFileInfo(path);
  if (!info || (info->attributes & host::kAttrDirectory)) return std::nullopt;
  auto file = host.OpenFile(path, {host::OpenMode::kRead, false});
  if (!file) return std::nullopt;
  return ImageReader(std::move(file)).Version();
}

std::string FileVersionText(std::string_view path) {
  const auto version = ReadFileVersion(path);
  if (!version) return "0";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", version->MostSignificant >> 16,
                version->MostSignificant & 0xFFFF, version->LeastSignificant >> 16,
                version->LeastSignificant & 0xFFFF);
  return buffer;
}

}  // namespace sx
