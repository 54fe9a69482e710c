// The version of a program file from its version resource: the fixed file information
// (VS_FIXEDFILEINFO) of the RT_VERSION resource of a PE image, 32-bit or 64-bit.
//
// The file is read through the host, piece by piece, with every offset and size checked against
// the file: a damaged or hostile image gives "no version", never a read outside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sx {

struct TFileVersion {
  uint32_t MostSignificant = 0;   // major (high word) and minor (low word)
  uint32_t LeastSignificant = 0;  // release (high word) and build (low word)
};

// std::nullopt when the file is missing, is no PE image or has no version resource with fixed
// file information.
std::optional<TFileVersion> ReadFileVersion(std::string_view path);

// "major.minor.release.build", or "0" when the file has no version.
std::string FileVersionText(std::string_view path);

}  // namespace sx
