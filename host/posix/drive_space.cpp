#include "host/posix/drive_space.h"

#include <ftw.h>

#include <cctype>
#include <charconv>

namespace sx::host {

std::optional<uint64_t> ParseDriveSize(std::string_view text) {
  uint64_t number = 0;
  const char* end = text.data() + text.size();
  auto [rest, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || rest == text.data()) return std::nullopt;
  int shift = 0;
  if (rest != end) {
    switch (std::toupper(static_cast<unsigned char>(*rest))) {
      case 'K': shift = 10; break;
      case 'M': shift = 20; break;
      case 'G': shift = 30; break;
      default: return std::nullopt;
    }
    if (++rest != end) return std::nullopt;
  }
  if (number > (UINT64_MAX >> shift)) return std::nullopt;
  return number << shift;
}

namespace {
thread_local uint64_t walkedBytes = 0;
int AddFileSize(const char*, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_F) walkedBytes += static_cast<uint64_t>(st->st_size);
  return 0;
}
}  // namespace

uint64_t BytesBelow(const std::string& hostFolder) {
  walkedBytes = 0;
  nftw(hostFolder.c_str(), AddFileSize, 16, FTW_PHYS);
  return walkedBytes;
}

DriveSizes::DriveSizes(const MachineSettings& settings, std::vector<std::string>* warnings) {
  const auto* section = settings.Section("DiskSpace");
  if (!section) return;
  for (const auto& [key, value] : *section) {
    std::string_view letter = key;
    if (letter.size() == 2 && letter[1] == ':') letter.remove_suffix(1);
    const auto size = ParseDriveSize(value);
    if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])) || !size) {
      if (warnings) warnings->push_back("[DiskSpace] " + key + "=" + value + ": not a drive letter and a size");
      continue;
    }
    sizes_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])))] = *size;
  }
}

std::optional<uint64_t> DriveSizes::SizeOf(char letter) const {
  auto found = sizes_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
  if (found == sizes_.end()) return std::nullopt;
  return found->second;
}

}  // namespace sx::host
