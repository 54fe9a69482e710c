// The fixed Windows-1251 case tables and the fast comparison and search built on them.
#include "util/case_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace sx {
namespace {

// Letter pairs (capital, small) of Windows-1251 outside ASCII and 0xC0-0xFF, read off the code
// chart (checked with iconv -f CP1251).
constexpr unsigned char kPairs[][2] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D},
    {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4},
    {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(CaseTables, MapEveryLetterPairOfCodePage1251AndNothingElse) {
  std::set<int> letters;
  auto expectPair = [&](int upper, int lower) {
    EXPECT_EQ(UpperTable[lower], upper) << std::hex << lower;
    EXPECT_EQ(UpperTable[upper], upper) << std::hex << upper;
    EXPECT_EQ(LowerTable[upper], lower) << std::hex << upper;
    EXPECT_EQ(LowerTable[lower], lower) << std::hex << lower;
    letters.insert(upper);
    letters.insert(lower);
  };
  for (int c = 'A'; c <= 'Z'; ++c) expectPair(c, c + 32);
  for (int c = 0xC0; c <= 0xDF; ++c) expectPair(c, c + 32);
  for (const auto& pair : kPairs) expectPair(pair[0], pair[1]);
  EXPECT_EQ(letters.size(), 2u * (26 + 32 + 15));
  for (int c = 0; c < 256; ++c) {
    if (letters.count(c)) continue;
    EXPECT_EQ(UpperTable[c], c) << std::hex << c;
    EXPECT_EQ(LowerTable[c], c) << std::hex << c;
  }
}

TEST(CaseTables, EachByteHasAtMostTwoCaseForms) {
  // The search relies on this: the bytes equal to c ignoring case are exactly UpperTable[c] and
  // LowerTable[UpperTable[c]].
  for (int c = 0; c < 256; ++c) {
    const int upper = UpperTable[c];
    const int lower = LowerTable[upper];
    for (int other = 0; other < 256; ++other) {
      const bool same = UpperTable[other] == upper;
      EXPECT_EQ(same, other == upper || other == lower) << std::hex << c << " " << other;
    }
  }
}

TEST(SameTextFast, ComparesWholeTextsIgnoringCaseByFixedTable) {
  EXPECT_TRUE(SameTextFast("Iif", "IIF"));
  EXPECT_TRUE(SameTextFast("", ""));
  EXPECT_TRUE(SameTextFast(Bytes({0xC0, 0xA8, 0x80}), Bytes({0xE0, 0xB8, 0x90})));  // АЁЂ / аёђ
  EXPECT_FALSE(SameTextFast("abc", "abcd"));
  EXPECT_FALSE(SameTextFast("", "a"));
  EXPECT_FALSE(SameTextFast(Bytes({0xB5}), "M"));  // the micro sign has no capital here
  EXPECT_FALSE(SameTextFast(std::string("a\0b", 3), std::string("a\0c", 3)));
  EXPECT_EQ(LowerCaseFast("Hello, WORLD 1!"), "hello, world 1!");
  EXPECT_EQ(LowerCaseFast(Bytes({0xC0, 0xDF, 0xA8, 0x81, 0xB5})),
            Bytes({0xE0, 0xFF, 0xB8, 0x83, 0xB5}));
}

// Plants `planted` (a form of `needle`) at every place of texts of many lengths, behind a decoy
// that shares the needle's first and last byte, and checks that the search finds exactly that
// place from every start. Covers the block-wise candidate scan, its edges and the rest after it.
template <typename Search>
void ExpectFindsPlantedNeedle(std::string_view needle, std::string_view planted, Search search) {
  std::string decoy(needle);
  if (decoy.size() > 2) decoy[1] = '#';
  for (size_t length = needle.size(); length <= 70; ++length) {
    for (size_t at = 0; at + needle.size() <= length; ++at) {
      std::string text(length, '.');
      if (decoy.size() > 2 && at >= decoy.size()) {
        text.replace(at - decoy.size(), decoy.size(), decoy);
      }
      text.replace(at, planted.size(), planted);
      for (int start = 1; start <= static_cast<int>(length) + 1; ++start) {
        const int expected = start <= static_cast<int>(at) + 1 ? static_cast<int>(at) + 1 : 0;
        ASSERT_EQ(search(needle, text, start), expected)
            << "length " << length << " at " << at << " start " << start;
      }
    }
  }
}

TEST(PosTextFrom, FindsIgnoringCaseAtEveryPlaceAndStart) {
  EXPECT_EQ(PosTextFrom("LL", "Hello", 1), 3);
  EXPECT_EQ(PosTextFrom("l", "Hello", 4), 4);
  ExpectFindsPlantedNeedle("abc", "AbC", PosTextFrom);
  ExpectFindsPlantedNeedle("q", "Q", PosTextFrom);
  ExpectFindsPlantedNeedle(Bytes({0xB8, 'z', 0xE0}), Bytes({0xA8, 'Z', 0xC0}), PosTextFrom);
  ExpectFindsPlantedNeedle("0123456789abcdefghij", "0123456789ABCDEFGHIJ", PosTextFrom);
}

TEST(PosFrom, FindsCaseSensitiveAtEveryPlaceAndStart) {
  EXPECT_EQ(PosFrom("LL", "Hello", 1), 0);
  ExpectFindsPlantedNeedle("abc", "abc", PosFrom);
  ExpectFindsPlantedNeedle("q", "q", PosFrom);
  ExpectFindsPlantedNeedle("0123456789abcdefghij", "0123456789abcdefghij", PosFrom);
}

TEST(PosTextFrom, OutOfRangeStartsAndEmptyTextsFindNothingSafely) {
  for (auto search : {PosTextFrom, PosFrom}) {
    EXPECT_EQ(search("", "Hello", 1), 0);
    EXPECT_EQ(search("a", "", 1), 0);
    EXPECT_EQ(search("", "", 1), 0);
    EXPECT_EQ(search("H", "Hello", 0), 1);  // below 1 counts as 1
    EXPECT_EQ(search("H", "Hello", -100), 1);
    EXPECT_EQ(search("o", "Hello", 1000000), 0);
    EXPECT_EQ(search("Hello!", "Hello", 1), 0);
    // The match must lie wholly inside the view, even when the bytes beyond it would match.
    EXPECT_EQ(search("cX", std::string_view("abcXY").substr(0, 3), 1), 0);
  }
}

}  // namespace
}  // namespace sx
