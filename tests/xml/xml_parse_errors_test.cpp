// Every syntax error: its message, and the line and position it names.
#include <gtest/gtest.h>

#include <string>

#include "xml/xml_parser_error.h"
#include "xml/xml_tag.h"

namespace sx {
namespace {

// The message of the error that parsing `text` raises ("" when none is raised).
std::string ErrorOf(std::string_view text) {
  TXMLTag tag;
  try {
    tag.Parse(text);
  } catch (const TXMLParserError& e) {
    return e.what();
  }
  return "";
}

TEST(XmlParseErrors, InvalidTagNameCharacters) {
  EXPECT_EQ(ErrorOf("<a.b>"), "Invalid character in the tag name. Line 1, position 3.");
  EXPECT_EQ(ErrorOf("< a>"), "Invalid character in the tag name. Line 1, position 2.");
  EXPECT_EQ(ErrorOf("<a:b/>"), "Invalid character in the tag name. Line 1, position 3.");
  EXPECT_EQ(ErrorOf("<\xE9t\xE9/>"), "Invalid character in the tag name. Line 1, position 2.");
}

TEST(XmlParseErrors, MismatchedEndTagNamesBothTagsAtTheEndTagName) {
  EXPECT_EQ(ErrorOf("<a></b>"),
            "End tag \"b\" does not match the start tag \"a\". Line 1, position 6.");
  EXPECT_EQ(ErrorOf("<root>\r\n  <item></ITEMS>"),
            "End tag \"ITEMS\" does not match the start tag \"item\". Line 2, position 11.");
}

TEST(XmlParseErrors, EndTagBeforeAnyElementIsRejected) {
  EXPECT_EQ(ErrorOf("</a>"), "End tag \"a\" found before any start tag. Line 1, position 3.");
  EXPECT_EQ(ErrorOf("text </>"), "End tag \"\" found before any start tag. Line 1, position 8.");
}

TEST(XmlParseErrors, RightAngleBracketExpected) {
  EXPECT_EQ(ErrorOf("<a></a x>"), "Right angle bracket (\">\") expected. Line 1, position 8.");
  EXPECT_EQ(ErrorOf("<a/ >"), "Right angle bracket (\">\") expected. Line 1, position 4.");
  EXPECT_EQ(ErrorOf("<a><!-- a -- b --></a>"),
            "Right angle bracket (\">\") expected. Line 1, position 13.");
  EXPECT_EQ(ErrorOf("<?xml ?x><a/>"), "Right angle bracket (\">\") expected. Line 1, position 8.");
}

TEST(XmlParseErrors, AttributeSyntax) {
  EXPECT_EQ(ErrorOf("<a =\"1\">"), "Attribute name expected. Line 1, position 4.");
  EXPECT_EQ(ErrorOf("<a x.y=\"1\">"), "Invalid character in the attribute name. Line 1, position 5.");
  EXPECT_EQ(ErrorOf("<a x y=\"1\">"),
            "Equals sign (\"=\") expected between attribute name and value. Line 1, position 6.");
  EXPECT_EQ(ErrorOf("<a x=1>"),
            "Opening quote character (single or double) expected. Line 1, position 6.");
  EXPECT_EQ(ErrorOf("<a x=\"1\"y=\"2\">"),
            "White space or tag closing expected. Line 1, position 9.");
}

TEST(XmlParseErrors, DeclarationsAndCommentsThatAreNotComments) {
  EXPECT_EQ(ErrorOf("<!DOCTYPE x>"), "Syntax error. Line 1, position 2.");
  EXPECT_EQ(ErrorOf("<a><![CDATA[x]]></a>"), "Syntax error. Line 1, position 5.");
  EXPECT_EQ(ErrorOf("<a><!-x--></a>"), "Double-hyphen (\"--\") expected. Line 1, position 6.");
}

TEST(XmlParseErrors, LineAndPositionIgnoreCarriageReturns) {
  EXPECT_EQ(ErrorOf("<a>\r\n< b>"), "Invalid character in the tag name. Line 2, position 2.");
  // An error at "b" after "a", CR, LF stands at line 2, position 1.
  EXPECT_EQ(PlaceInDocument("a\r\nb", 4).Line, 2);
  EXPECT_EQ(PlaceInDocument("a\r\nb", 4).Position, 1);
  EXPECT_EQ(PlaceInDocument("ab\r\r", 5).Position, 3);
  EXPECT_EQ(PlaceInDocument("x\n\ny", 4).Line, 3);
}

TEST(XmlParseErrors, ErrorCarriesLineAndPositionFields) {
  TXMLTag tag;
  try {
    tag.Parse("<a>\n\n   <b x=y/>");
    FAIL() << "no error raised";
  } catch (const TXMLParserError& e) {
    EXPECT_EQ(e.Line(), 3);
    EXPECT_EQ(e.Position(), 9);
  }
}

TEST(XmlParseErrors, TreeReadBeforeTheErrorStaysWithTheTag) {
  TXMLTag tag;
  EXPECT_THROW(tag.Parse("<a k='v'><b/><c></d>"), TXMLParserError);
  EXPECT_EQ(tag.Name(), "a");
  EXPECT_EQ(tag.Attributes, std::vector<std::string>{"k=v"});
  ASSERT_EQ(tag.Children.Count(), 4);
  EXPECT_EQ(tag.Children[3].Name(), "c");
}

TEST(XmlParseErrors, ParserErrorIsAnEngineError) {
  TXMLTag tag;
  EXPECT_THROW(tag.Parse("<a></b>"), EEngineError);
}

}  // namespace
}  // namespace sx
