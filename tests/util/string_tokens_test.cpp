// Tokens (runs between delimiters) and fields (every delimiter counts, quotes protect).
#include "util/tokens.h"

#include <gtest/gtest.h>

namespace sx {
namespace {

TEST(Tokens, RepeatedAndOuterDelimitersGiveNoEmptyTokens) {
  EXPECT_EQ(CountTokens("1..2.", "."), 2);
  EXPECT_EQ(GetToken(1, "1..2.", "."), "1");
  EXPECT_EQ(GetToken(2, "1..2.", "."), "2");
  EXPECT_EQ(TokenStart(2, "1..2.", "."), 4);
  EXPECT_EQ(CountTokens(",,a,,b,,", ","), 2);
  EXPECT_EQ(GetToken(2, ",,a,,b,,", ","), "b");
}

TEST(Tokens, SeveralDelimitersAndSetOverloadsAgree) {
  const CharSet set = MakeCharSet(" ,;");
  EXPECT_EQ(CountTokens("one, two;three  four", set), 4);
  EXPECT_EQ(GetToken(3, "one, two;three  four", set), "three");
  EXPECT_EQ(TokenStart(4, "one, two;three  four", set), 17);
  EXPECT_EQ(GetToken(3, "one, two;three  four", " ,;"), "three");
  // High bytes are delimiters like any other byte.
  EXPECT_EQ(CountTokens("a\xA8" "b\xA8\xA8" "c", "\xA8"), 3);
  EXPECT_TRUE(Contains(MakeCharSet("\xFF"), '\xFF'));
  EXPECT_FALSE(Contains(MakeCharSet("\xFF"), '\xFE'));
}

TEST(Tokens, MissingTokensAndBadNumbersGiveNothing) {
  EXPECT_EQ(CountTokens("", "."), 0);
  EXPECT_EQ(CountTokens("...", "."), 0);
  EXPECT_EQ(CountTokens("abc", ""), 1);
  EXPECT_EQ(GetToken(1, "abc", ""), "abc");
  for (int n : {-1, 0, 3, 1000}) {
    EXPECT_EQ(TokenStart(n, "1..2.", "."), 0) << n;
    EXPECT_EQ(GetToken(n, "1..2.", "."), "") << n;
  }
  EXPECT_EQ(TokenStart(1, "...", "."), 0);
}

TEST(GetField, EveryDelimiterStartsAField) {
  EXPECT_EQ(GetField(1, "1..2.", "."), "1");
  EXPECT_EQ(GetField(2, "1..2.", "."), "");
  EXPECT_EQ(GetField(3, "1..2.", "."), "2");
  EXPECT_EQ(GetField(4, "1..2.", "."), "");
  EXPECT_EQ(GetField(0, "1..2.", "."), "");
  EXPECT_EQ(GetField(1, "", "."), "");
  EXPECT_EQ(GetField(1, "abc", ""), "abc");
  EXPECT_EQ(GetField(2, "a;b", MakeCharSet(";")), "b");
}

TEST(GetField, QuotesProtectDelimitersAndDoubleQuotesAreKept) {
  EXPECT_EQ(GetField(1, "\"a,b\",c", ","), "\"a,b\"");
  EXPECT_EQ(GetField(2, "\"a,b\",c", ","), "c");
  // A quoted part may start inside a field.
  EXPECT_EQ(GetField(1, "x=\"a,b\",c", ","), "x=\"a,b\"");
  EXPECT_EQ(GetField(2, "x=\"a,b\",c", ","), "c");
  // The other kind of quotation mark does not close the quoted part.
  EXPECT_EQ(GetField(1, "\"it's,ok\",z", ","), "\"it's,ok\"");
  EXPECT_EQ(GetField(2, "\"it's,ok\",z", ","), "z");
  // A quotation mark without partner quotes the rest of the text.
  EXPECT_EQ(GetField(1, "\"a,b,c", ","), "\"a,b,c");
  EXPECT_EQ(GetField(2, "\"a,b,c", ","), "");
  // Outside quotes a delimiter wins even when it is a quotation mark.
  EXPECT_EQ(GetField(2, "a\"b\"c", "\""), "b");
}

TEST(GetField, FieldStartingWithApostropheIsUnquoted) {
  EXPECT_EQ(GetField(1, "'a,b',c", ","), "a,b");
  EXPECT_EQ(GetField(1, "'it''s',c", ","), "it's");
  EXPECT_EQ(GetField(2, "x,'y z' tail,w", ","), "y z");
  EXPECT_EQ(GetField(3, "x,'y z' tail,w", ","), "w");
  EXPECT_EQ(GetField(2, "x,'open,rest", ","), "open,rest");
  EXPECT_EQ(GetField(2, "x,'", ","), "");
}

}  // namespace
}  // namespace sx
