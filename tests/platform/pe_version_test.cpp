// The builder's reading of file versions from PE images: the version of a Windows library with a
// version resource, none for one without, and none (never a read outside the image) for
// truncated, damaged or foreign files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/pe_version.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

const std::string kFixtures = std::string(SX_FIXTURES_DIR) + "/pe/";

// Reads from `image`, failing the test on any read outside it.
std::optional<PeVersion> VersionOf(const std::string& image) {
  return ReadPeVersion(image.size(), [&](uint64_t offset, size_t count, uint8_t* out) {
    EXPECT_LE(offset + count, image.size()) << "read outside the image";
    if (offset + count > image.size()) return false;
    std::memcpy(out, image.data() + offset, count);
    return true;
  });
}

TEST(PeVersion, ReadsTheFixedFileVersionOfALibrary) {
  const std::string lz32 = ReadHostFile(kFixtures + "lz32.dll");
  ASSERT_FALSE(lz32.empty());
  const auto version = VersionOf(lz32);
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(PeVersionText(*version), "5.1.2600.2180");
  EXPECT_EQ(version->mostSignificant, (5u << 16) | 1u);
  EXPECT_EQ(version->leastSignificant, (2600u << 16) | 2180u);
}

TEST(PeVersion, ALibraryWithoutVersionResourceHasNone) {
  const std::string icmp = ReadHostFile(kFixtures + "icmp.dll");
  ASSERT_FALSE(icmp.empty());
  EXPECT_FALSE(VersionOf(icmp).has_value());
}

TEST(PeVersion, TruncatedDamagedAndForeignFilesHaveNoneAndAreNeverOverread) {
  const std::string lz32 = ReadHostFile(kFixtures + "lz32.dll");
  for (size_t length = 0; length < lz32.size(); length += 97) {
    const auto version = VersionOf(lz32.substr(0, length));
    if (version) {
      EXPECT_EQ(PeVersionText(*version), "5.1.2600.2180") << length;
    }
  }
  EXPECT_FALSE(VersionOf("MZ").has_value());
  EXPECT_FALSE(VersionOf("#!/bin/sh\necho hello\n").has_value());
  std::string damaged = lz32;
  damaged[0x3C] = '\xFF';  // the PE header lies outside the file
  damaged[0x3D] = '\xFF';
  EXPECT_FALSE(VersionOf(damaged).has_value());
  // Every byte of the headers garbled in turn: an answer or none, never a read outside.
  for (size_t at = 0x3C; at < 0x400 && at < lz32.size(); ++at) {
    std::string garbled = lz32;
    garbled[at] = static_cast<char>(garbled[at] ^ 0xA5);
    VersionOf(garbled);
  }
}

}  // namespace
}  // namespace sx::test
