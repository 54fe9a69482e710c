// Wildcard search and whole-text matching (case-sensitive; ignoring case needs a machine and is
// tested with the locale-dependent routines).
#include "util/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace sx {
namespace {

TEST(HasWildcards, StarOrQuestionMark) {
  EXPECT_TRUE(HasWildcards("*.dll"));
  EXPECT_TRUE(HasWildcards("a?c"));
  EXPECT_FALSE(HasWildcards("C:\\a.dll"));
  EXPECT_FALSE(HasWildcards(""));
}

TEST(WildPos, QuestionMarkMatchesAnyOneByte) {
  EXPECT_EQ(WildPos("b?d", "abcde"), 2);
  EXPECT_EQ(WildPos("?", "xyz"), 1);
  EXPECT_EQ(WildPos("???", "xyz"), 1);
  EXPECT_EQ(WildPos("????", "xyz"), 0);
  EXPECT_EQ(WildPos("c?", "abc"), 0);  // would run past the end
  EXPECT_EQ(WildPos("?c", "abcac"), 2);
  EXPECT_EQ(WildPos("a?a", "abxaya"), 4);  // first candidate fails, second matches
  EXPECT_EQ(WildPos("cd", "abcde"), 3);    // no "?": plain search
  EXPECT_EQ(WildPos("a*", "xa*"), 2);       // "*" is an ordinary byte here
  EXPECT_EQ(WildPos("", "abc"), 0);
  EXPECT_EQ(WildPos("a", ""), 0);
}

TEST(WildPos, FindsMatchAtEveryPlaceOfLongerTexts) {
  // Places inside and after the block-wise candidate scan. Each pattern has a fixed byte between
  // its first and last fixed byte; a decoy that differs only there stands before the match.
  for (const std::string pattern : {"ab?d", "?x?z?y?", "k?????????n?????????????m"}) {
    std::string match = pattern;
    for (char& c : match) {
      if (c == '?') c = '_';
    }
    std::string decoy = match;
    decoy[pattern.find_first_not_of('?', pattern.find_first_not_of('?') + 1)] = '#';
    for (size_t length = match.size(); length <= 70; ++length) {
      for (size_t at = 0; at + match.size() <= length; ++at) {
        std::string text(length, '.');
        if (at >= decoy.size()) text.replace(at - decoy.size(), decoy.size(), decoy);
        text.replace(at, match.size(), match);
        ASSERT_EQ(WildPos(pattern, text), static_cast<int>(at) + 1)
            << pattern << " length " << length << " at " << at;
      }
    }
  }
}

TEST(MatchesWildcard, WholeTextAgainstPattern) {
  EXPECT_TRUE(MatchesWildcard("abc", "a?c", false));
  EXPECT_FALSE(MatchesWildcard("abc", "*d", false));
  EXPECT_TRUE(MatchesWildcard("resume:C:\\x", "resume:*", false));
  EXPECT_FALSE(MatchesWildcard("setup.exe", "*.EXE", false));
  EXPECT_FALSE(MatchesWildcard("abc", "ab", false));
  EXPECT_TRUE(MatchesWildcard("abc", "a**c", false));
  EXPECT_TRUE(MatchesWildcard("abc", "***", false));
  // Empty texts match only themselves and "*".
  EXPECT_TRUE(MatchesWildcard("", "", false));
  EXPECT_TRUE(MatchesWildcard("", "**", false));
  EXPECT_FALSE(MatchesWildcard("", "?", false));
  EXPECT_FALSE(MatchesWildcard("abc", "", false));
}

TEST(MatchesWildcard, SegmentsBetweenStarsFindTheirPlace) {
  EXPECT_TRUE(MatchesWildcard("abcbc", "*bc", false));  // last segment at the very end
  EXPECT_TRUE(MatchesWildcard("mississippi", "m*s?s*i", false));
  EXPECT_TRUE(MatchesWildcard("abab", "*ab*ab", false));
  EXPECT_TRUE(MatchesWildcard("xaybzc", "*a?b*c", false));
  EXPECT_FALSE(MatchesWildcard("xaybzc", "*a?b*d", false));
  EXPECT_TRUE(MatchesWildcard("C:\\Program Files\\App\\x.dll", "C:\\*\\*.dll", false));
  EXPECT_TRUE(MatchesWildcard("abc", "???*", false));
  EXPECT_FALSE(MatchesWildcard("abc", "????*", false));
  std::string longText(100000, 'a');  // no backtracking blow-up
  EXPECT_TRUE(MatchesWildcard(longText + "b", "*a*a*a*a*a*b", false));
  EXPECT_FALSE(MatchesWildcard(longText + "b", "*a*a*a*a*a*c", false));
}

TEST(MatchesWildcard, NeverMatchesMoreThanTheTextHolds) {
  // The last segment may not reuse bytes already matched: "ab*bc" needs four bytes.
  EXPECT_FALSE(MatchesWildcard("abc", "ab*bc", false));
  EXPECT_TRUE(MatchesWildcard("abbc", "ab*bc", false));
  EXPECT_FALSE(MatchesWildcard("ab", "*abc", false));  // longer than the text: no read before it
  // What remains of the pattern when the text is used up must be stars only.
  EXPECT_FALSE(MatchesWildcard("ab", "abc*", false));
  EXPECT_FALSE(MatchesWildcard("ab", "ab?*", false));
  EXPECT_FALSE(MatchesWildcard("xa", "*a*b*", false));
  EXPECT_TRUE(MatchesWildcard("xab", "*a*b*", false));
}

TEST(MatchesWildcard, StarInPatternIsWildEvenOverStarInText) {
  EXPECT_TRUE(MatchesWildcard("a*bc", "a*c", false));
  EXPECT_TRUE(MatchesWildcard("a*c", "a*c", false));
  EXPECT_FALSE(MatchesWildcard("*x*", "*x", false));
}

}  // namespace
}  // namespace sx
