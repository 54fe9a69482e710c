// A minimal Windows program image (PE32) whose version resource carries a chosen file version,
// for tests of the version rules. `padding` bytes of filler follow, so that two images of one
// version can differ in size.
#pragma once

#include <cstdint>
#include <string>

namespace sx::test {

inline std::string MakeVersionedPe(uint16_t major, uint16_t minor, uint16_t release, uint16_t build,
                                   size_t padding = 0) {
  std::string image(0x400, '\0');
  auto put16 = [&](size_t at, uint32_t v) {
    image[at] = static_cast<char>(v & 0xFF);
    image[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  constexpr size_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 224, kRaw = 0x200;
  constexpr uint32_t kRva = 0x1000;
  image[0] = 'M';
  image[1] = 'Z';
  put32(0x3C, kPe);
  image.replace(kPe, 4, std::string("PE\0\0", 4));
  put16(kPe + 4, 0x14C);      // i386
  put16(kPe + 6, 1);          // one section
  put16(kPe + 20, 224);       // optional header size
  put16(kOptional, 0x10B);    // PE32
  put32(kOptional + 92, 16);  // data directories
  put32(kOptional + 96 + 2 * 8, kRva);
  put32(kOptional + 96 + 2 * 8 + 4, 0x100);
  image.replace(kSections, 5, ".rsrc");
  put32(kSections + 8, 0x200);
  put32(kSections + 12, kRva);
  put32(kSections + 16, 0x200);
  put32(kSections + 20, kRaw);
  // Resource tree: type 16 (RT_VERSION) -> name 1 -> language 0x409 -> data.
  put16(kRaw + 14, 1);
  put32(kRaw + 16, 16);
  put32(kRaw + 20, 0x80000000u | 0x18);
  put16(kRaw + 0x18 + 14, 1);
  put32(kRaw + 0x18 + 16, 1);
  put32(kRaw + 0x18 + 20, 0x80000000u | 0x30);
  put16(kRaw + 0x30 + 14, 1);
  put32(kRaw + 0x30 + 16, 0x409);
  put32(kRaw + 0x30 + 20, 0x48);
  put32(kRaw + 0x48, kRva + 0x58);
  put32(kRaw + 0x48 + 4, 92);
  // VS_VERSIONINFO: lengths, the key "VS_VERSION_INFO", then VS_FIXEDFILEINFO at offset 40.
  const size_t info = kRaw + 0x58;
  put16(info, 92);
  put16(info + 2, 52);
  const std::string key = "VS_VERSION_INFO";
  for (size_t i = 0; i < key.size(); ++i) put16(info + 6 + 2 * i, static_cast<uint8_t>(key[i]));
  put32(info + 40, 0xFEEF04BDu);
  put32(info + 44, 0x10000);
  put32(info + 48, static_cast<uint32_t>(major) << 16 | minor);
  put32(info + 52, static_cast<uint32_t>(release) << 16 | build);
  put32(info + 56, static_cast<uint32_t>(major) << 16 | minor);
  put32(info + 60, static_cast<uint32_t>(release) << 16 | build);
  return image + std::string(padding, 'p');
}

}  // namespace sx::test
