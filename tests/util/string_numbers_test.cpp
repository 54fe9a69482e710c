// Numbers read from text and written as text.
#include "util/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sx {
namespace {

TEST(TextToNumber, ReadsExtendedRealsWithDecimalPoint) {
  EXPECT_EQ(TextToNumber("  -1.5", 0), -1.5L);
  EXPECT_EQ(TextToNumber("+.25", 0), 0.25L);
  EXPECT_EQ(TextToNumber("5.", 0), 5.0L);
  EXPECT_EQ(TextToNumber("1.5E-2", 0), 0.015L);
  EXPECT_EQ(TextToNumber("2e+2", 0), 200.0L);
  // Extended precision: 2^63 + 1 is exact in a long double, not in a double.
  EXPECT_EQ(TextToNumber("9223372036854775809", 0), 9223372036854775809.0L);
  EXPECT_GT(TextToNumber("1e400", 0), 1e300L);   // beyond a double
  EXPECT_EQ(TextToNumber("1e-6000", 7), 0.0L);   // too small to hold: zero
  for (const char* text : {"", " ", "abc", "1,5", "1.5x", "1.5 ", "e5", ".", "-", "+-1", "1e",
                           "1e+", "0x10", "inf", "nan", "1..2", "- 1", "1e5000"}) {
    EXPECT_EQ(TextToNumber(text, 7.5L), 7.5L) << text;
  }
}

TEST(ParseUInt, ReadsSignedAndUnsignedThirtyTwoBitRange) {
  EXPECT_EQ(ParseUInt("  +77", 0), 77u);
  EXPECT_EQ(ParseUInt("2147483647", 0), 0x7FFFFFFFu);
  EXPECT_EQ(ParseUInt("2147483648", 0), 0x80000000u);
  EXPECT_EQ(ParseUInt("4294967295", 0), 0xFFFFFFFFu);
  EXPECT_EQ(ParseUInt("004294967295", 0), 0xFFFFFFFFu);
  EXPECT_EQ(ParseUInt("-1", 0), 0xFFFFFFFFu);
  EXPECT_EQ(ParseUInt("-2147483648", 0), 0x80000000u);
  EXPECT_EQ(ParseUInt("abc", 7), 7u);
  EXPECT_EQ(UIntToStr(0), "0");
  EXPECT_EQ(UIntToStr(0xFFFFFFFFu), "4294967295");
  EXPECT_EQ(ParseUInt(UIntToStr(0x80000001u), 0), 0x80000001u);
}

TEST(ParseUInt, ValuesBeyondThirtyTwoBitsGiveDefaultInsteadOfWrapping) {
  for (const char* text : {"4294967296", "9999999999", "99999999999999999999999", "-2147483649",
                           "-4294967295", "", " ", "-", "1 ", "1.0", "12a", "$10", "--1"}) {
    EXPECT_EQ(ParseUInt(text, 7), 7u) << text;
  }
}

TEST(HexToInt, ReadsHexWithOrWithoutDollar) {
  EXPECT_EQ(HexToInt("ff"), 255);
  EXPECT_EQ(HexToInt("$1A"), 26);
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexToInt("000000000010"), 16);
  EXPECT_EQ(HexToInt("-$10"), -16);
  EXPECT_EQ(HexToInt(" $10"), 16);
  for (const char* text : {"", "$", "G1", "1 ", " 10", "-10", "$-10", "1$0", "$$1", "0x10",
                           "100000000"}) {
    EXPECT_EQ(HexToInt(text), 0) << text;
  }
}

TEST(IntToHex, UpperCaseWithMinimumDigits) {
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(0xABCDEF01u, 2), "ABCDEF01");
  EXPECT_EQ(IntToHex(static_cast<uint32_t>(-1), 0), "FFFFFFFF");
  EXPECT_EQ(IntToHex(1, -5), "1");
  EXPECT_EQ(HexToInt(IntToHex(0x1234ABCDu, 8)), 0x1234ABCD);
}

TEST(IntToBase, DigitsOfPositiveValuesAndNothingForBadBases) {
  EXPECT_EQ(IntToBase(255, 4, 16), "00FF");
  EXPECT_EQ(IntToBase(255, 0, 2), "11111111");
  EXPECT_EQ(IntToBase(71, 0, 36), "1Z");
  EXPECT_EQ(IntToBase(0, 0, 10), "0");
  EXPECT_EQ(IntToBase(0, 3, 10), "000");
  EXPECT_EQ(IntToBase(std::numeric_limits<int64_t>::max(), 0, 16), "7FFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToBase(-1, 4, 16), "");
  // Base 0 would divide by zero, base 1 would never end, bases above 36 have no digits.
  for (int base : {-16, 0, 1, 37}) EXPECT_EQ(IntToBase(255, 4, base), "") << base;
}

TEST(Sign, NegativeZeroOrPositive) {
  EXPECT_EQ(Sign(-3.5L), -1);
  EXPECT_EQ(Sign(-0.0L), 0);
  EXPECT_EQ(Sign(1e-4000L), 1);
  EXPECT_EQ(Sign(std::nanl("")), 0);
}

}  // namespace
}  // namespace sx
