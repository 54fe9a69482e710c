// The 26-byte package trailer and the size check of package files.
#include <gtest/gtest.h>

#include <string>

#include "packages/package_trailer.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

TEST(PackageTrailerTest, LayoutIsFiveLittleEndianNumbersAndMarker) {
  PackageTrailer t{0x01020304, 0x11121314, 0x21222324, 0x31323334, 0x00000005};
  const std::string bytes = EncodeTrailer(t);
  ASSERT_EQ(bytes.size(), kPackageTrailerSize);
  EXPECT_EQ(bytes, std::string("\x04\x03\x02\x01\x14\x13\x12\x11\x24\x23\x22\x21"
                               "\x34\x33\x32\x31\x05\x00\x00\x00SXPEND",
                               26));
  EXPECT_EQ(DecodeTrailer(bytes), t);
  EXPECT_FALSE(DecodeTrailer(bytes.substr(1)));
  EXPECT_FALSE(DecodeTrailer(bytes.substr(0, 20) + "sxpend"));
}

TEST(PackageTrailerTest, LastMarkerFromTheEndCounts) {
  EXPECT_EQ(FindMarkerEnd("xxSXPENDyySXPENDzz"), 16u);
  EXPECT_EQ(FindMarkerEnd("SXPEND"), 6u);
  EXPECT_FALSE(FindMarkerEnd("SXPEN"));
  EXPECT_FALSE(FindMarkerEnd("sxpend SXPEN XPEND"));
}

class PackageFileTest : public ::testing::Test {
 protected:
  // A package: `head` bytes, then the trailer for them, then `appended` bytes.
  std::string Package(const std::string& head, const std::string& appended, uint32_t flags = 0) {
    PackageTrailer t;
    t.stubSize = 100;
    t.packageFileSize = static_cast<uint32_t>(head.size() + kPackageTrailerSize);
    t.presetupSize = 5000;
    t.dataSize = 70000;
    t.flags = flags;
    return head + EncodeTrailer(t) + appended;
  }
  PackageCheck Check(const std::string& bytes) {
    test::WriteHostFile(machine_.HostPath("drive_c/pkg/p.sxp"), bytes);
    return ReadPackageTrailer("C:\\pkg\\p.sxp");
  }
  test::TempMachine machine_;
};

TEST_F(PackageFileTest, IntactPackageGivesItsFields) {
  const auto check = Check(Package(std::string(5000, 'c'), "", kPackageScrambled | kPackageQuiet));
  ASSERT_EQ(check.status, PackageStatus::kOk) << DescribePackageStatus(check);
  EXPECT_EQ(check.trailer.stubSize, 100u);
  EXPECT_EQ(check.trailer.presetupSize, 5000u);
  EXPECT_EQ(check.trailer.dataSize, 70000u);
  EXPECT_EQ(check.trailer.flags, 5u);
  EXPECT_EQ(check.appendedLength, 0u);
  EXPECT_EQ(check.fileSize, 5026u);
}

TEST_F(PackageFileTest, BytesAppendedAfterTrailerPassTheSizeCheck) {
  const auto check = Check(Package(std::string(3000, 'c'), std::string(777, 's')));
  ASSERT_EQ(check.status, PackageStatus::kOk) << DescribePackageStatus(check);
  EXPECT_EQ(check.appendedLength, 777u);
}

TEST_F(PackageFileTest, TruncatedOrGrownPackageFailsTheSizeCheck) {
  const std::string package = Package(std::string(3000, 'c'), "");
  auto check = Check(package.substr(100));  // head cut
  EXPECT_EQ(check.status, PackageStatus::kSizeMismatch);
  EXPECT_NE(DescribePackageStatus(check).find("truncated"), std::string::npos);
  check = Check("x" + package);
  EXPECT_EQ(check.status, PackageStatus::kSizeMismatch);
  check = Check(package.substr(0, package.size() - 1));  // marker cut
  EXPECT_EQ(check.status, PackageStatus::kNoTrailer);
}

TEST_F(PackageFileTest, MarkerFartherThan64KBFromTheEndIsNotFound) {
  // 65,530 bytes after the marker: its last byte is outside the last 65,536 bytes.
  EXPECT_EQ(Check(Package("head", std::string(65531, 'a'))).status, PackageStatus::kNoTrailer);
  // Its 6 bytes exactly at the start of the window: found.
  EXPECT_EQ(Check(Package("head", std::string(65530, 'a'))).status, PackageStatus::kOk);
}

TEST_F(PackageFileTest, MissingOrTinyFiles) {
  EXPECT_EQ(ReadPackageTrailer("C:\\pkg\\none.sxp").status, PackageStatus::kUnreadable);
  EXPECT_EQ(Check("").status, PackageStatus::kNoTrailer);
  EXPECT_EQ(Check("SXPEND").status, PackageStatus::kNoTrailer);
}

}  // namespace
}  // namespace sx
