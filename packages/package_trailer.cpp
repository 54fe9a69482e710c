#include "packages/package_trailer.h"

#include <algorithm>
#include <cstring>

#include "host/host.h"

namespace sx {
namespace {

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

uint32_t Get32(std::string_view bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

bool ReadAt(host::File& file, uint64_t position, size_t count, std::string& out) {
  out.assign(count, '\0');
  if (!file.Seek(position)) return false;
  size_t done = 0;
  while (done < count) {
    auto n = file.Read(out.data() + done, count - done);
    if (!n || *n == 0) return false;
    done += *n;
  }
  return true;
}

}  // namespace

std::string EncodeTrailer(const PackageTrailer& trailer) {
  std::string out;
  out.reserve(kPackageTrailerSize);
  Put32(out, trailer.stubSize);
  Put32(out, trailer.packageFileSize);
  Put32(out, trailer.presetupSize);
  Put32(out, trailer.dataSize);
  Put32(out, trailer.flags);
  out.append(kPackageMarker);
  return out;
}

std::optional<PackageTrailer> DecodeTrailer(std::string_view bytes) {
  if (bytes.size() != kPackageTrailerSize || bytes.substr(20) != kPackageMarker)
    return std::nullopt;
  PackageTrailer t;
  t.stubSize = Get32(bytes, 0);
  t.packageFileSize = Get32(bytes, 4);
  t.presetupSize = Get32(bytes, 8);
  t.dataSize = Get32(bytes, 12);
  t.flags = Get32(bytes, 16);
  return t;
}

std::optional<size_t> FindMarkerEnd(std::string_view tail) {
  const size_t n = kPackageMarker.size();
  if (tail.size() < n) return std::nullopt;
  for (size_t p = tail.size() - n + 1; p-- > 0;)
    if (std::memcmp(tail.data() + p, kPackageMarker.data(), n) == 0) return p + n;
  return std::nullopt;
}

PackageCheck ReadPackageTrailer(std::string_view path) {
  PackageCheck check;
  auto file = host::CurrentHost().OpenFile(path, {host::OpenMode::kRead, true});
  if (!file) return check;
  auto size = file->Size();
  if (!size) return check;
  check.fileSize = *size;
  const size_t tailSize = static_cast<size_t>(std::min<uint64_t>(*size, kPackageMarkerSearch));
  const uint64_t tailStart = *size - tailSize;
  std::string tail;
  if (!ReadAt(*file, tailStart, tailSize, tail)) return check;
  check.status = PackageStatus::kNoTrailer;
  auto end = FindMarkerEnd(tail);
  if (!end) return check;
  const uint64_t markerEnd = tailStart + *end;
  if (markerEnd < kPackageTrailerSize) return check;
  std::string bytes;
  if (!ReadAt(*file, markerEnd - kPackageTrailerSize, kPackageTrailerSize, bytes)) {
    check.status = PackageStatus::kUnreadable;
    return check;
  }
  check.trailer = *DecodeTrailer(bytes);
  check.appendedLength = *size - markerEnd;
  check.status = check.trailer.packageFileSize + check.appendedLength == *size
                     ? PackageStatus::kOk
                     : PackageStatus::kSizeMismatch;
  return check;
}

std::string DescribePackageStatus(const PackageCheck& check) {
  switch (check.status) {
    case PackageStatus::kOk:
      return "package is intact";
    case PackageStatus::kUnreadable:
      return "package file cannot be read";
    case PackageStatus::kNoTrailer:
      return "no package trailer (\"SXPEND\") in the last 64 KB: not a package or truncated";
    case PackageStatus::kSizeMismatch:
      return "package size is " + std::to_string(check.fileSize) + " bytes, the trailer says " +
             std::to_string(uint64_t(check.trailer.packageFileSize) + check.appendedLength) +
             ": truncated or damaged";
  }
  return "";
}

}  // namespace sx
