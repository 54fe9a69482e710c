// The file version of a PE image (a Windows program or library) from its version resource: the
// fixed file information (VS_FIXEDFILEINFO) of the first RT_VERSION resource, 32-bit or 64-bit
// images alike. The package builder records it for every packed file; the installer compares
// versions of installed files with it.
//
// The image is read through a callback, piece by piece, with every offset and size checked
// against the image's length: a damaged or hostile image gives "no version", never a read outside
// it. Stateless and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sx {

struct PeVersion {
  uint32_t mostSignificant = 0;   // major (high word), minor (low word)
  uint32_t leastSignificant = 0;  // release (high word), build (low word)
  friend bool operator==(const PeVersion&, const PeVersion&) = default;
};

// Reads exactly `count` bytes at `offset` into `out`; false when it cannot.
using PeReadAt = std::function<bool(uint64_t offset, size_t count, uint8_t* out)>;

// The version of the image of `imageSize` bytes; std::nullopt when it is no PE image or has no
// version resource with fixed file information.
std::optional<PeVersion> ReadPeVersion(uint64_t imageSize, const PeReadAt& readAt);

// "major.minor.release.build".
std::string PeVersionText(const PeVersion& version);

}  // namespace sx
