#include "tools/sxbuild/engine_image.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "tools/sxbuild/local_files.h"
#include "util/engine_image_marker.h"

namespace sx::build {
namespace {

// Little- or big-endian unsigned numbers of 1 to 8 bytes.
uint64_t Number(const uint8_t* bytes, size_t size, bool bigEndian) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) value |= uint64_t{bytes[bigEndian ? size - 1 - i : i]} << (8 * i);
  return value;
}

// A section of the image: where its bytes are in the file.
struct Section {
  std::string name;
  uint64_t offset = 0;
  uint64_t size = 0;
};

// The sections of an ELF file; std::nullopt when the header is no ELF header or is damaged.
std::optional<std::vector<Section>> ElfSections(InputFile& file) {
  uint8_t header[64];
  if (!file.ReadAt(0, sizeof header, header) || std::memcmp(header, "\x7F" "ELF", 4) != 0) return std::nullopt;
  const bool wide = header[4] == 2, bigEndian = header[5] == 2;
  if ((header[4] != 1 && !wide) || (header[5] != 1 && !bigEndian)) return std::nullopt;
  auto at = [&](size_t offset32, size_t offset64, size_t size32, size_t size64) {
    return Number(header + (wide ? offset64 : offset32), wide ? size64 : size32, bigEndian);
  };
  const uint64_t type = Number(header + 16, 2, bigEndian);
  if (type != 2 && type != 3) return std::nullopt;  // an executable (position-independent or not)
  const uint64_t tableOffset = at(0x20, 0x28, 4, 8);
  const uint64_t entrySize = at(0x2E, 0x3A, 2, 2);
  const uint64_t count = at(0x30, 0x3C, 2, 2);
  const uint64_t namesIndex = at(0x32, 0x3E, 2, 2);
  // Section headers have one size per class; anything else is a damaged file.
  if (entrySize != (wide ? 0x40u : 0x28u) || count == 0 || namesIndex >= count) return std::vector<Section>{};
  std::vector<uint8_t> table(entrySize * count);
  if (!file.ReadAt(tableOffset, table.size(), table.data())) return std::vector<Section>{};
  std::vector<Section> sections(count);
  std::vector<uint64_t> nameOffsets(count);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* entry = table.data() + i * entrySize;
    nameOffsets[i] = Number(entry, 4, bigEndian);
    sections[i].offset = Number(entry + (wide ? 0x18 : 0x10), wide ? 8 : 4, bigEndian);
    sections[i].size = Number(entry + (wide ? 0x20 : 0x14), wide ? 8 : 4, bigEndian);
  }
  const Section& names = sections[namesIndex];
  std::vector<char> text(std::min<uint64_t>(names.size, 1 << 20));
  if (!file.ReadAt(names.offset, text.size(), text.data())) return std::vector<Section>{};
  for (uint64_t i = 0; i < count; ++i)
    if (nameOffsets[i] < text.size())
      sections[i].name = std::string(text.data() + nameOffsets[i], strnlen(text.data() + nameOffsets[i], text.size() - nameOffsets[i]));
  return sections;
}

// The sections of a PE program (not a library); std::nullopt when it is none.
std::optional<std::vector<Section>> PeSections(InputFile& file) {
  uint8_t dos[64];
  if (!file.ReadAt(0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  const uint64_t pe = Number(dos + 0x3C, 4, false);
  uint8_t coff[24];
  if (!file.ReadAt(pe, sizeof coff, coff) || std::memcmp(coff, "PE\0\0", 4) != 0) return std::nullopt;
  const uint64_t count = Number(coff + 6, 2, false);
  const uint64_t optionalSize = Number(coff + 20, 2, false);
  const uint64_t characteristics = Number(coff + 22, 2, false);
  if (!(characteristics & 0x0002) || (characteristics & 0x2000)) return std::nullopt;  // executable, no DLL
  std::vector<uint8_t> table(count * 40);
  if (!file.ReadAt(pe + 24 + optionalSize, table.size(), table.data())) return std::vector<Section>{};
  std::vector<Section> sections(count);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* entry = table.data() + i * 40;
    sections[i].name = std::string(reinterpret_cast<const char*>(entry), strnlen(reinterpret_cast<const char*>(entry), 8));
    sections[i].size = Number(entry + 16, 4, false);
    sections[i].offset = Number(entry + 20, 4, false);
  }
  return sections;
}

}  // namespace

uint64_t CheckEngineImage(const std::string& path) {
  InputFile file(path);
  const std::string quoted = "\"" + path + "\"";
  if (file.Size() == 0) throw BuildError("the engine image " + quoted + " is empty");
  std::optional<std::vector<Section>> sections = ElfSections(file);
  if (!sections) sections = PeSections(file);
  if (!sections)
    throw BuildError("the engine image " + quoted + " is no program (neither an ELF nor a PE executable); "
                     "--engine names the sxengine program");
  for (const Section& section : *sections) {
    if (section.name != kEngineImageSection || section.size < kEngineImageMarker.size()) continue;
    std::array<char, kEngineImageMarker.size()> mark;
    if (file.ReadAt(section.offset, mark.size(), mark.data()) && mark == kEngineImageMarker) return file.Size();
  }
  throw BuildError("the engine image " + quoted + " is an executable, but not the setup engine (it lacks the engine's " +
                   std::string(kEngineImageSection) + " section); --engine names the sxengine program");
}

ImageFormat ImageFormatOf(const std::string& path) {
  InputFile file(path);
  char magic[4] = {};
  if (!file.ReadAt(0, sizeof magic, magic)) return ImageFormat::kOther;
  if (std::memcmp(magic, "\x7F" "ELF", 4) == 0) return ImageFormat::kElf;
  if (magic[0] == 'M' && magic[1] == 'Z') return ImageFormat::kPe;
  return ImageFormat::kOther;
}

const char* SystemName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kElf: return "Linux";
    case ImageFormat::kPe: return "Windows";
    case ImageFormat::kOther: break;
  }
  return "no known system";
}

void CheckSameSystem(const std::string& enginePath, const std::string& path, const char* what) {
  const ImageFormat engine = ImageFormatOf(enginePath), other = ImageFormatOf(path);
  if (engine == other || other == ImageFormat::kOther) return;
  throw BuildError(std::string(what) + " \"" + path + "\" is built for " + SystemName(other) +
                   ", the engine image \"" + enginePath + "\" for " + SystemName(engine) +
                   "; --target windows takes all of them from the Windows build");
}

}  // namespace sx::build
