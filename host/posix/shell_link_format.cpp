#include "host/posix/shell_link_format.h"

#include <cctype>
#include <cstring>

namespace sx::host {
namespace {

// {00021401-0000-0000-C000-000000000046}, the shell link class, as stored (little-endian fields).
constexpr unsigned char kShellLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}, My Computer.
constexpr unsigned char kMyComputerClsid[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                                0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

enum LinkFlags : uint32_t {
  kHasLinkTargetIdList = 0x01,
  kHasLinkInfo = 0x02,
  kHasName = 0x04,
  kHasRelativePath = 0x08,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
};

constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kVolumeIdAndLocalBasePath = 1;

class Bytes {
 public:
  void U8(uint8_t v) { data_ += static_cast<char>(v); }
  void U16(uint16_t v) { U8(v & 0xFF), U8(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void U64(uint64_t v) { U32(v & 0xFFFFFFFF), U32(v >> 32); }
  void Raw(const void* p, size_t n) { data_.append(static_cast<const char*>(p), n); }
  void Text(const std::string& s) { data_ += s; }
  void Zeros(size_t n) { data_.append(n, '\0'); }
  std::string& data() { return data_; }

 private:
  std::string data_;
};

std::string ItemIdList(const ShellLinkImage& image) {
  Bytes list;
  // My Computer.
  list.U16(20);
  list.U8(0x1F);
  list.U8(0x50);
  list.Raw(kMyComputerClsid, 16);
  // The volume, "C:\" padded as the shell pads it.
  list.U16(25);
  list.U8(0x2F);
  std::string drive = image.drive;
  drive.resize(22, '\0');
  list.Text(drive);
  // One file-system item per component: 8.3 name, padded to an even size.
  for (const ShellLinkPathItem& item : image.items) {
    Bytes entry;
    entry.U8(item.folder ? 0x31 : 0x32);
    entry.U8(0);
    entry.U32(item.folder ? 0 : item.size);
    entry.U16(static_cast<uint16_t>(item.dosDateTime >> 16));  // FAT date, then time
    entry.U16(static_cast<uint16_t>(item.dosDateTime & 0xFFFF));
    entry.U16(item.attributes);
    entry.Text(item.shortName);
    entry.U8(0);
    if (entry.data().size() % 2) entry.U8(0);
    list.U16(static_cast<uint16_t>(entry.data().size() + 2));
    list.Text(entry.data());
  }
  list.U16(0);
  return list.data();
}

std::string LinkInfo(const ShellLinkImage& image) {
  constexpr uint32_t kHeaderSize = 0x1C;
  Bytes volume;
  volume.U32(0x11);  // size: four fields and an empty label
  volume.U32(kDriveFixed);
  volume.U32(image.volumeSerial);
  volume.U32(0x10);  // the label's offset
  volume.U8(0);
  const uint32_t volumeOffset = kHeaderSize;
  const uint32_t basePathOffset = volumeOffset + static_cast<uint32_t>(volume.data().size());
  const uint32_t suffixOffset = basePathOffset + static_cast<uint32_t>(image.localBasePath.size() + 1);
  const uint32_t size = suffixOffset + 1;
  Bytes info;
  info.U32(size);
  info.U32(kHeaderSize);
  info.U32(kVolumeIdAndLocalBasePath);
  info.U32(volumeOffset);
  info.U32(basePathOffset);
  info.U32(0);  // no network location
  info.U32(suffixOffset);
  info.Text(volume.data());
  info.Text(image.localBasePath);
  info.U8(0);
  info.U8(0);  // empty common path suffix
  return info.data();
}

bool AppendCounted(Bytes& out, const std::u16string& text) {
  if (text.size() > 0xFFFF) return false;
  out.U16(static_cast<uint16_t>(text.size()));
  for (char16_t c : text) out.U16(static_cast<uint16_t>(c));
  return true;
}

bool IsShortNameChar(unsigned char c) {
  if (c >= 0x80) return true;
  if (std::isalnum(c)) return true;
  return std::strchr("$%'-_@~`!(){}^#&", c) != nullptr;
}

}  // namespace

std::string ShortNameOf(std::string_view name) {
  std::string base(name), extension;
  if (auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) {
    extension = base.substr(dot + 1);
    base.resize(dot);
  }
  auto clean = [](const std::string& text, bool& lossy) {
    std::string out;
    for (unsigned char c : text) {
      if (c == ' ' || c == '.') {
        lossy = true;
        continue;
      }
      if (!IsShortNameChar(c)) {
        lossy = true;
        out += '_';
        continue;
      }
      out += static_cast<char>(c < 0x80 ? std::toupper(c) : c);
    }
    return out;
  };
  bool lossy = false;
  std::string shortBase = clean(base, lossy);
  std::string shortExtension = clean(extension, lossy);
  if (shortBase.size() > 8 || shortExtension.size() > 3 || lossy) {
    if (shortBase.size() > 6) shortBase.resize(6);
    shortBase += "~1";
    if (shortExtension.size() > 3) shortExtension.resize(3);
  }
  return shortExtension.empty() ? shortBase : shortBase + "." + shortExtension;
}

std::optional<std::string> EncodeShellLink(const ShellLinkImage& image) {
  const bool local = !image.drive.empty();
  uint32_t flags = kIsUnicode;
  if (local) flags |= kHasLinkTargetIdList | kHasLinkInfo;
  if (!image.description.empty()) flags |= kHasName;
  if (!image.relativePath.empty()) flags |= kHasRelativePath;
  if (!image.workingDir.empty()) flags |= kHasWorkingDir;
  if (!image.arguments.empty()) flags |= kHasArguments;
  if (!image.iconFile.empty()) flags |= kHasIconLocation;

  Bytes out;
  out.U32(0x4C);
  out.Raw(kShellLinkClsid, 16);
  out.U32(flags);
  out.U32(image.targetInfo.attributes);
  out.U64(image.targetInfo.creationTime.ticks);
  out.U64(image.targetInfo.lastAccessTime.ticks);
  out.U64(image.targetInfo.lastWriteTime.ticks);
  out.U32(static_cast<uint32_t>(image.targetInfo.size));
  out.U32(static_cast<uint32_t>(image.link.iconIndex));
  out.U32(static_cast<uint32_t>(image.link.showCommand));
  out.U16(image.link.hotKey);
  out.Zeros(10);
  if (local) {
    std::string list = ItemIdList(image);
    if (list.size() > 0xFFFF) return std::nullopt;
    out.U16(static_cast<uint16_t>(list.size()));
    out.Text(list);
    out.Text(LinkInfo(image));
  }
  // The string data, in the format's order.
  for (const std::u16string* text : {&image.description, &image.relativePath, &image.workingDir,
                                     &image.arguments, &image.iconFile})
    if (!text->empty() && !AppendCounted(out, *text)) return std::nullopt;
  out.U32(0);  // no extra data blocks
  return std::move(out.data());
}

}  // namespace sx::host
