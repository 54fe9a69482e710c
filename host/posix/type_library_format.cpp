#include "host/posix/type_library_format.h"

#include <cstdio>

namespace sx::host {
namespace {

// The fixed header; its offsets and the segment numbers of the segment directory.
constexpr size_t kHeaderSize = 0x54;
constexpr uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr uint32_t kHelpDllFlag = 0x100;
constexpr size_t kTypeInfoSize = 0x64;
enum Segment { kTypeInfoTable = 0, kGuidTable = 5, kNameTable = 7, kStringTable = 8, kSegmentCount = 15 };

// Bounds-checked little-endian reads from a range of the file.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  std::optional<uint32_t> U32(uint64_t offset) const {
    if (offset > data_.size() || data_.size() - offset < 4) return std::nullopt;
    auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(data_[offset + i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
  }
  std::optional<uint16_t> U16(uint64_t offset) const {
    if (offset > data_.size() || data_.size() - offset < 2) return std::nullopt;
    return static_cast<uint16_t>(static_cast<unsigned char>(data_[offset]) |
                                 static_cast<unsigned char>(data_[offset + 1]) << 8);
  }
  std::optional<std::string_view> Span(uint64_t offset, uint64_t count) const {
    if (offset > data_.size() || data_.size() - offset < count) return std::nullopt;
    return data_.substr(offset, count);
  }
  size_t size() const { return data_.size(); }

 private:
  std::string_view data_;
};

class MsftReader {
 public:
  explicit MsftReader(std::string_view data) : file_(data) {}

  std::optional<TypeLibContents> Read() {
    auto magic = file_.U32(0), magic2 = file_.U32(4);
    if (!magic || *magic != kMagic || !magic2 || file_.size() < kHeaderSize) return std::nullopt;
    const uint32_t varFlags = *file_.U32(0x14);
    const uint32_t typeCount = *file_.U32(0x20);
    const uint64_t offsetsAt = kHeaderSize + ((varFlags & kHelpDllFlag) ? 4 : 0);
    if (typeCount > file_.size() / 4) return std::nullopt;
    if (!ReadSegments(offsetsAt + uint64_t{typeCount} * 4)) return std::nullopt;

    TypeLibContents contents;
    TypeLibInfo& library = contents.library;
    auto libid = Guid(*file_.U32(0x08));
    auto name = Name(*file_.U32(0x38));
    if (!libid || libid->empty() || !name) return std::nullopt;
    library.libid = *libid;
    library.name = *name;
    library.lcid = *file_.U32(0x0C);
    library.sysKind = static_cast<int>(varFlags & 0x0F);
    const uint32_t version = *file_.U32(0x18);
    library.major = static_cast<uint16_t>(version & 0xFFFF);
    library.minor = static_cast<uint16_t>(version >> 16);
    library.flags = static_cast<uint16_t>(*file_.U32(0x1C));
    auto docString = String(*file_.U32(0x24)), helpFile = String(*file_.U32(0x3C));
    if (!docString || !helpFile) return std::nullopt;
    library.docString = *docString;
    library.helpFile = *helpFile;

    for (uint32_t i = 0; i < typeCount; ++i) {
      auto offset = file_.U32(offsetsAt + uint64_t{i} * 4);
      if (!offset) return std::nullopt;
      auto type = TypeInfo(*offset);
      if (!type) return std::nullopt;
      contents.types.push_back(std::move(*type));
    }
    return contents;
  }

 private:
  struct Range {
    uint64_t offset = 0, length = 0;
  };

  // Each segment must lie inside the file; an unused one has the offset -1 and length 0.
  bool ReadSegments(uint64_t at) {
    for (int i = 0; i < kSegmentCount; ++i) {
      auto offset = file_.U32(at + i * 16), length = file_.U32(at + i * 16 + 4);
      if (!offset || !length) return false;
      if (*offset == 0xFFFFFFFF) {
        segments_[i] = {};
        continue;
      }
      if (*offset > file_.size() || file_.size() - *offset < *length) return false;
      segments_[i] = {*offset, *length};
    }
    return true;
  }

  // `count` bytes at `offset` inside the segment.
  std::optional<std::string_view> InSegment(Segment segment, uint32_t offset, uint64_t count) const {
    const Range& range = segments_[segment];
    if (offset > range.length || range.length - offset < count) return std::nullopt;
    return file_.Span(range.offset + offset, count);
  }

  static uint32_t LittleEndian(std::string_view bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
  }

  // A GUID of the GUID table as "{...}"; "" for the offset -1 (no GUID).
  std::optional<std::string> Guid(uint32_t offset) const {
    if (offset == 0xFFFFFFFF) return std::string();
    auto bytes = InSegment(kGuidTable, offset, 16);
    if (!bytes) return std::nullopt;
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  LittleEndian(*bytes, 0, 4), LittleEndian(*bytes, 4, 2), LittleEndian(*bytes, 6, 2),
                  LittleEndian(*bytes, 8, 1), LittleEndian(*bytes, 9, 1), LittleEndian(*bytes, 10, 1),
                  LittleEndian(*bytes, 11, 1), LittleEndian(*bytes, 12, 1), LittleEndian(*bytes, 13, 1),
                  LittleEndian(*bytes, 14, 1), LittleEndian(*bytes, 15, 1));
    return std::string(text);
  }

  // A name of the name table: a 12-byte introduction whose third word holds the length in its
  // low byte, then the characters.
  std::optional<std::string> Name(uint32_t offset) const {
    if (offset == 0xFFFFFFFF) return std::string();
    auto intro = InSegment(kNameTable, offset, 12);
    if (!intro || offset > 0xFFFFFFFF - 12) return std::nullopt;
    auto text = InSegment(kNameTable, offset + 12, LittleEndian(*intro, 8, 1));
    if (!text) return std::nullopt;
    return std::string(*text);
  }

  // A string of the string table: a 16-bit length, then the characters.
  std::optional<std::string> String(uint32_t offset) const {
    if (offset == 0xFFFFFFFF) return std::string();
    auto length = InSegment(kStringTable, offset, 2);
    if (!length || offset > 0xFFFFFFFF - 2) return std::nullopt;
    auto text = InSegment(kStringTable, offset + 2, LittleEndian(*length, 0, 2));
    if (!text) return std::nullopt;
    return std::string(*text);
  }

  std::optional<TypeLibTypeInfo> TypeInfo(uint32_t offset) const {
    auto base = InSegment(kTypeInfoTable, offset, kTypeInfoSize);
    if (!base) return std::nullopt;
    // The member records (functions and variables): a length, the records, then a member id, a
    // name and a record offset per member. Not read here, but they must be there.
    const uint32_t elements = LittleEndian(*base, 24, 4);
    const uint64_t members = (elements & 0xFFFF) + (elements >> 16);
    if (members > 0) {
      const uint64_t at = LittleEndian(*base, 4, 4);
      auto length = file_.U32(at);
      if (!length || !file_.Span(at + 4, uint64_t{*length} + 12 * members)) return std::nullopt;
    }
    TypeLibTypeInfo type;
    type.kind = static_cast<int>(LittleEndian(*base, 0, 4) & 0x0F);
    type.flags = LittleEndian(*base, 48, 4);
    auto guid = Guid(LittleEndian(*base, 44, 4));
    auto name = Name(LittleEndian(*base, 52, 4));
    if (!guid || !name) return std::nullopt;
    type.guid = std::move(*guid);
    type.name = std::move(*name);
    return type;
  }

  Bytes file_;
  Range segments_[kSegmentCount];
};

}  // namespace

std::optional<TypeLibContents> ParseMsftTypeLibrary(std::string_view data) {
  return MsftReader(data).Read();
}

}  // namespace sx::host
