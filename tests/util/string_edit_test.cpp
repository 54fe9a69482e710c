// Replacing, removing, searching, padding, splitting at a character and unquoting.
#include "util/str_utils.h"

#include <gtest/gtest.h>

namespace sx {
namespace {

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
  EXPECT_EQ(ReplaceAll("a-b-c", "-", "+"), "a+b+c");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "b", "bb"), "abbc");  // inserted text is not searched again
  EXPECT_EQ(ReplaceAll("x%%y", "%", "%%"), "x%%%%y");
  EXPECT_EQ(ReplaceAll("Abc", "a", "z"), "Abc");     // case-sensitive
  EXPECT_EQ(ReplaceAll("abc", "", "z"), "abc");      // empty old changes nothing
  EXPECT_EQ(ReplaceAll("abcabc", "abc", ""), "");
}

TEST(RemoveChar, DropsEveryOccurrence) {
  EXPECT_EQ(RemoveChar("a\r\nb\r\n", '\r'), "a\nb\n");
  EXPECT_EQ(RemoveChar(RemoveChar("a\r\nb\r\n", '\r'), '\n'), "ab");
  EXPECT_EQ(RemoveChar("xxx", 'x'), "");
  EXPECT_EQ(RemoveSpaces(" a b  c "), "abc");
  EXPECT_EQ(RemoveChar(std::string("a\0b", 3), '\0'), "ab");
}

TEST(NthPos, CountsOverlappingOccurrences) {
  EXPECT_EQ(NthPos("aa", "aaaa", 3), 3);
  EXPECT_EQ(NthPos("aa", "aaaa", 4), 0);
  EXPECT_EQ(NthPos("\\", "C:\\a\\b\\", 2), 5);
  EXPECT_EQ(NthPos("", "abc", 1), 0);
  EXPECT_EQ(NthPos("a", "", 1), 0);
  EXPECT_EQ(NthPos("a", "aaa", 0), 0);
}

TEST(PadLeft, FillsUpToLengthOnly) {
  EXPECT_EQ(PadLeft('0', "42", 5), "00042");
  EXPECT_EQ(PadLeft('0', "123456", 5), "123456");
  EXPECT_EQ(PadLeft(' ', "", 3), "   ");
  EXPECT_EQ(PadLeft('0', "7", 0), "7");
  EXPECT_EQ(PadLeft('0', "7", -10), "7");
}

TEST(TextBeforeAfter, SplitAtFirstCharacter) {
  EXPECT_EQ(TextBefore("a=b=c", '='), "a");
  EXPECT_EQ(TextAfter("a=b=c", '='), "b=c");
  EXPECT_EQ(TextBefore("abc", '='), "abc");
  EXPECT_EQ(TextAfter("abc", '='), "");
  EXPECT_EQ(TextBefore("", '='), "");
  EXPECT_EQ(TextAfter("", '='), "");
  EXPECT_EQ(NameOf("Path=C:\\x=y"), "Path");
  EXPECT_EQ(ValueOf("Path=C:\\x=y"), "C:\\x=y");
  EXPECT_EQ(ValueOf("NoValue"), "");
}

TEST(Unquote, TakesQuotedPartWithDoubledQuotes) {
  EXPECT_EQ(Unquote("'it''s' x", '\''), "it's");
  EXPECT_EQ(Unquote("\"a b\"", '"'), "a b");
  EXPECT_EQ(Unquote("'''a'''", '\''), "'a'");
  EXPECT_EQ(Unquote("''", '\''), "");
  EXPECT_EQ(Unquote("'''", '\''), "'");       // doubled quote, then no closing quote
  EXPECT_EQ(Unquote("'open end", '\''), "open end");
  EXPECT_EQ(Unquote("plain 'x'", '\''), "plain 'x'");  // does not begin with the quote
  EXPECT_EQ(Unquote("", '\''), "");
}

}  // namespace
}  // namespace sx
