// The package file format: a cabinet, then the 26-byte trailer; for the main package the engine
// image comes first. Engine and builder both take the layout from here.
//
//   offset  size  field
//        0     4  StubSize         main package: length of the engine image at the file's head
//        4     4  PackageFileSize  length of the file up to and including the marker
//        8     4  PresetupSize     bytes extracted at preparation (everything outside "data\")
//       12     4  DataSize         bytes of the installable data
//       16     4  Flags            kPackageScrambled | kPackageNoWindow | kPackageQuiet
//       20     6  "SXPEND"
//
// All numbers little-endian. Bytes appended after the marker (a signature, say) are allowed: the
// trailer is searched backwards in the last 64 KB of the file, and the file must be exactly
// PackageFileSize plus the bytes after the marker long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sx {

inline constexpr size_t kPackageTrailerSize = 26;
inline constexpr std::string_view kPackageMarker = "SXPEND";
inline constexpr size_t kPackageMarkerSearch = 65536;

enum PackageFlag : uint32_t {
  kPackageScrambled = 1,  // every cabinet byte is XORed with kScrambleKey (unpack_api.h)
  kPackageNoWindow = 2,   // no preparing window for this package
  kPackageQuiet = 4,      // prepare quietly: no preparing window, no splash
};

struct PackageTrailer {
  uint32_t stubSize = 0;
  uint32_t packageFileSize = 0;
  uint32_t presetupSize = 0;
  uint32_t dataSize = 0;
  uint32_t flags = 0;
  friend bool operator==(const PackageTrailer&, const PackageTrailer&) = default;
};

// The 26 bytes of a trailer.
std::string EncodeTrailer(const PackageTrailer& trailer);
// The trailer in 26 bytes that end with the marker; std::nullopt when they do not.
std::optional<PackageTrailer> DecodeTrailer(std::string_view bytes);

// Where the marker ends in the tail of a file: the position just after the last "SXPEND" in
// `tail`, searching backwards; std::nullopt when there is none.
std::optional<size_t> FindMarkerEnd(std::string_view tail);

enum class PackageStatus {
  kOk,
  kUnreadable,    // cannot be opened or read (host LastError tells why)
  kNoTrailer,     // no marker in the last 64 KB, or too few bytes before it
  kSizeMismatch,  // the file is not PackageFileSize + appended bytes long
};

struct PackageCheck {
  PackageStatus status = PackageStatus::kUnreadable;
  PackageTrailer trailer;       // valid from kSizeMismatch on
  uint64_t fileSize = 0;        // valid from kNoTrailer on
  uint64_t appendedLength = 0;  // bytes after the marker
};

// Reads and checks the trailer of the package file at a Windows path, opened for reading while
// others may read but not write.
PackageCheck ReadPackageTrailer(std::string_view path);

// A one-line description of a failed check, for messages and tools.
std::string DescribePackageStatus(const PackageCheck& check);

}  // namespace sx
