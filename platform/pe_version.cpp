#include "platform/pe_version.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace sx {
namespace {

constexpr uint16_t kDosSignature = 0x5A4D;     // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kSubdirectory = 0x80000000;
constexpr size_t kFixedInfoSize = 52;
constexpr uint16_t kMaxSections = 96;          // the loader's own limit
constexpr uint32_t kMaxVersionSize = 0x10000;  // wLength is 16 bits
constexpr uint32_t kMaxDirectoryEntries = 4096;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

class Image {
 public:
  Image(uint64_t size, const PeReadAt& readAt) : size_(size), readAt_(readAt) {}

  std::optional<PeVersion> Version() {
    std::vector<uint8_t> b;
    if (!Read(0, 64, b) || U16(b.data()) != kDosSignature) return std::nullopt;
    const uint32_t peOffset = U32(b.data() + 0x3C);
    if (!Read(peOffset, 24, b) || U32(b.data()) != kPeSignature) return std::nullopt;
    const uint16_t sectionCount = U16(b.data() + 6);
    const uint16_t optionalSize = U16(b.data() + 20);
    if (sectionCount == 0 || sectionCount > kMaxSections) return std::nullopt;
    const uint64_t optionalOffset = uint64_t{peOffset} + 24;

    std::vector<uint8_t> opt;
    if (optionalSize < 2 || !Read(optionalOffset, optionalSize, opt)) return std::nullopt;
    size_t countField, directories;
    switch (U16(opt.data())) {
      case kPe32Magic:
        countField = 92, directories = 96;
        break;
      case kPe32PlusMagic:
        countField = 108, directories = 112;
        break;
      default:
        return std::nullopt;
    }
    if (opt.size() < countField + 4) return std::nullopt;
    const size_t entry = directories + kResourceDirectory * 8;
    if (U32(opt.data() + countField) <= kResourceDirectory || opt.size() < entry + 8) return std::nullopt;
    const uint32_t resourceRva = U32(opt.data() + entry);
    if (resourceRva == 0) return std::nullopt;

    std::vector<uint8_t> table;
    if (!Read(optionalOffset + optionalSize, size_t{sectionCount} * 40, table)) return std::nullopt;
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const uint8_t* s = table.data() + size_t{i} * 40;
      sections_.push_back({U32(s + 12), U32(s + 8), U32(s + 16), U32(s + 20)});
    }
    const auto resources = FileOffset(resourceRva);
    if (!resources) return std::nullopt;
    resources_ = *resources;

    // Type RT_VERSION, then its first name and its first language.
    const auto typeDirectory = FindEntry(0, kRtVersion, true);
    if (!typeDirectory || !(*typeDirectory & kSubdirectory)) return std::nullopt;
    const auto nameDirectory = FindEntry(*typeDirectory & ~kSubdirectory, 0, false);
    if (!nameDirectory || !(*nameDirectory & kSubdirectory)) return std::nullopt;
    const auto dataEntry = FindEntry(*nameDirectory & ~kSubdirectory, 0, false);
    if (!dataEntry || (*dataEntry & kSubdirectory)) return std::nullopt;

    if (!Read(resources_ + *dataEntry, 16, b)) return std::nullopt;
    const uint32_t dataRva = U32(b.data());
    const uint32_t dataSize = std::min(U32(b.data() + 4), kMaxVersionSize);
    const auto dataOffset = FileOffset(dataRva);
    std::vector<uint8_t> info;
    if (!dataOffset || dataSize < 6 || !Read(*dataOffset, dataSize, info)) return std::nullopt;
    return FixedInfo(info);
  }

 private:
  struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
  };

  bool Read(uint64_t offset, size_t count, std::vector<uint8_t>& out) {
    if (offset > size_ || count > size_ - offset) return false;
    out.resize(count);
    return readAt_(offset, count, out.data());
  }

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
  // resources): the entry with that ID, or the first entry when `byId` is false.
  std::optional<uint32_t> FindEntry(uint32_t directory, uint32_t id, bool byId) {
    std::vector<uint8_t> header;
    if (!Read(resources_ + directory, 16, header)) return std::nullopt;
    const uint32_t named = U16(header.data() + 12);
    const uint32_t count = named + U16(header.data() + 14);
    if (count == 0 || count > kMaxDirectoryEntries) return std::nullopt;
    std::vector<uint8_t> entries;
    if (!Read(resources_ + directory + 16, size_t{count} * 8, entries)) return std::nullopt;
    if (!byId) return U32(entries.data() + 4);
    for (uint32_t i = named; i < count; ++i) {
      const uint8_t* e = entries.data() + size_t{i} * 8;
      if (U32(e) == id) return U32(e + 4);
    }
    return std::nullopt;
  }

  // VS_VERSIONINFO: wLength, wValueLength, wType, the key "VS_VERSION_INFO" in UTF-16 with its
  // terminating zero, padding to a 32-bit boundary, then VS_FIXEDFILEINFO.
  static std::optional<PeVersion> FixedInfo(const std::vector<uint8_t>& info) {
    const size_t length = std::min<size_t>(U16(info.data()), info.size());
    if (U16(info.data() + 2) < kFixedInfoSize) return std::nullopt;
    size_t i = 6;
    while (i + 1 < length && U16(info.data() + i) != 0) i += 2;
    i += 2;
    i = (i + 3) & ~size_t{3};
    if (i + kFixedInfoSize > length) return std::nullopt;
    const uint8_t* fixed = info.data() + i;
    if (U32(fixed) != kFixedInfoSignature) return std::nullopt;
    return PeVersion{U32(fixed + 8), U32(fixed + 12)};
  }

  uint64_t size_;
  const PeReadAt& readAt_;
  std::vector<Section> sections_;
  uint64_t resources_ = 0;
};

}  // namespace

std::optional<PeVersion> ReadPeVersion(uint64_t imageSize, const PeReadAt& readAt) {
  return Image(imageSize, readAt).Version();
}

std::string PeVersionText(const PeVersion& version) {
  char text[48];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", version.mostSignificant >> 16,
                version.mostSignificant & 0xFFFF, version.leastSignificant >> 16,
                version.leastSignificant & 0xFFFF);
  return text;
}

}  // namespace sx
