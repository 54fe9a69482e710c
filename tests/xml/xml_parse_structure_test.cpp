// The tree the reader builds: names, text and comment nodes, what is skipped and where reading
// stops.
#include <gtest/gtest.h>

#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace sx {
namespace {

std::vector<TXMLTagKind> KindsOf(const TXMLTag& tag) {
  std::vector<TXMLTagKind> kinds;
  for (const TXMLTag& child : tag.Children) kinds.push_back(child.Kind);
  return kinds;
}

TEST(XmlParseStructure, ElementNamesAreFoldedAndEndTagsCompareIgnoringCase) {
  TXMLTag root;
  root.Parse("<A><B></b></A>");
  EXPECT_EQ(root.Name(), "a");
  ASSERT_EQ(root.Children.Count(), 3);
  EXPECT_EQ(root.Children[1].Name(), "b");
  EXPECT_EQ(root.Children[1].Parent(), &root);
  EXPECT_EQ(root.Parent(), nullptr);
}

TEST(XmlParseStructure, NamesKeepTheirCaseWhenFoldingIsOff) {
  TXMLSettingsScope settings;
  settings->LowerCaseNames = false;
  TXMLTag root;
  root.Parse("<Root Attr='1'><Child/></ROOT>");
  EXPECT_EQ(root.Name(), "Root");
  EXPECT_EQ(root.Children[1].Name(), "Child");
  EXPECT_EQ(root.Attributes, std::vector<std::string>{"Attr=1"});
}

TEST(XmlParseStructure, EveryLessThanInsideAnElementAppendsATextNode) {
  TXMLTag root;
  root.Parse("<a><b/></a>");
  EXPECT_EQ(KindsOf(root), (std::vector<TXMLTagKind>{xkText, xkElement, xkText}));
  EXPECT_EQ(root.Children[0].Text, "");
  EXPECT_EQ(root.Children[2].Text, "");
}

TEST(XmlParseStructure, TextIsTrimmedAndItsBlankRunsCollapse) {
  TXMLTag root;
  root.Parse("<a>\r\n\t  hello \t\r\n  world  </a>");
  ASSERT_EQ(root.Children.Count(), 1);
  EXPECT_EQ(root.Children[0].Kind, xkText);
  EXPECT_EQ(root.Children[0].Text, "hello world");
}

TEST(XmlParseStructure, PreservedTextKeepsRawCharacters) {
  TXMLSettingsScope settings;
  settings->PreserveTextWhitespace = true;
  TXMLTag root;
  root.Parse("<a>x \t\r\n  y</a>");
  EXPECT_EQ(root.Children[0].Text, "x \t\r\n  y");
}

TEST(XmlParseStructure, TextIsNotDecoded) {
  TXMLTag root;
  root.Parse("<a>1 &amp; 2 &#x41; > \"q\"</a>");
  EXPECT_EQ(root.Children[0].Text, "1 &amp; 2 &#x41; > \"q\"");
}

TEST(XmlParseStructure, CommentsBecomeCommentNodesWithTheirRawText) {
  TXMLTag root;
  root.Parse("<a><!-- one\ttwo  - three --><!----></a>");
  EXPECT_EQ(KindsOf(root),
            (std::vector<TXMLTagKind>{xkText, xkComment, xkText, xkComment, xkText}));
  EXPECT_EQ(root.Children[1].Text, " one\ttwo  - three ");
  EXPECT_EQ(root.Children[3].Text, "");
}

TEST(XmlParseStructure, SkipSettingsDropTextAndCommentNodes) {
  TXMLSettingsScope settings;
  settings->SkipTextNodes = true;
  settings->SkipCommentNodes = true;
  TXMLTag root;
  root.Parse("<a> x <!-- c --><b/> y </a>");
  ASSERT_EQ(root.Children.Count(), 1);
  EXPECT_EQ(root.Children[0].Name(), "b");
}

TEST(XmlParseStructure, InstructionsAreSkippedWhereverTheyStand) {
  TXMLTag root;
  root.Parse("<?xml version=\"1.0\" encoding='x'?><a><?pi stuff > here?><b/></a>");
  EXPECT_EQ(root.Name(), "a");
  EXPECT_EQ(KindsOf(root), (std::vector<TXMLTagKind>{xkText, xkText, xkElement, xkText}));
}

TEST(XmlParseStructure, TextAndCommentsBeforeTheRootAreDiscarded) {
  TXMLTag root;
  root.Parse("junk text <!-- note --> <root/>");
  EXPECT_EQ(root.Name(), "root");
  EXPECT_EQ(root.Children.Count(), 0);
}

TEST(XmlParseStructure, ReadingStopsAtTheEndOfTheRoot) {
  TXMLTag root;
  root.Parse("<a/><b/>");
  EXPECT_EQ(root.Name(), "a");
  EXPECT_EQ(root.Children.Count(), 0);
  TXMLTag second;
  second.Parse("<a></a> <<< not xml at all");
  EXPECT_EQ(second.Name(), "a");
}

TEST(XmlParseStructure, EmptyElementsCloseLikeEndTags) {
  TXMLTag root;
  root.Parse("<r><a/><b x=\"1\" /><c x='2'/></r>");
  ASSERT_EQ(root.Children.Count(), 7);
  EXPECT_EQ(root.Children[3].Name(), "b");
  EXPECT_EQ(root.Children[3].Attributes, std::vector<std::string>{"x=1"});
  EXPECT_EQ(root.Children[5].Attributes, std::vector<std::string>{"x=2"});
}

TEST(XmlParseStructure, BlanksAroundNamesAndEqualsSignsAreAccepted) {
  TXMLTag root;
  root.Parse("<a  x = \"1\"\r\n\ty\t=\t'2' ></a >");
  EXPECT_EQ(root.Attributes, (std::vector<std::string>{"x=1", "y=2"}));
}

TEST(XmlParseStructure, AttributeWithoutValueIsDropped) {
  TXMLTag root;
  root.Parse("<a x></a>");
  EXPECT_TRUE(root.Attributes.empty());
  TXMLTag closed;
  closed.Parse("<a x/>");
  EXPECT_TRUE(closed.Attributes.empty());
}

TEST(XmlParseStructure, AttributeNamesKeepCaseAndDuplicatesStay) {
  TXMLTag root;
  root.Parse("<a Key='1' key='2' KEY='3'/>");
  EXPECT_EQ(root.Attributes, (std::vector<std::string>{"Key=1", "key=2", "KEY=3"}));
}

TEST(XmlParseStructure, NamesMayStartWithDigitsOrHyphens) {
  TXMLTag root;
  root.Parse("<1-a_B -x='1' 9='2'/>");
  EXPECT_EQ(root.Name(), "1-a_b");
  EXPECT_EQ(root.Attributes, (std::vector<std::string>{"-x=1", "9=2"}));
}

TEST(XmlParseStructure, UnquotedValuesNeedTheirSetting) {
  TXMLSettingsScope settings;
  settings->AllowUnquotedValues = true;
  TXMLTag root;
  root.Parse("<a x=1 y=two z='3'/>");
  EXPECT_EQ(root.Attributes, (std::vector<std::string>{"x=1", "y=two", "z=3"}));
  TXMLTag closing;
  closing.Parse("<a x=abc>t</a>");
  EXPECT_EQ(closing.Attributes, std::vector<std::string>{"x=abc"});
  EXPECT_EQ(closing.Children[0].Text, "t");
}

TEST(XmlParseStructure, TruncatedDocumentsKeepWhatWasRead) {
  TXMLTag open;
  open.Parse("<a><b>");
  EXPECT_EQ(open.Name(), "a");
  ASSERT_EQ(open.Children.Count(), 2);
  EXPECT_EQ(open.Children[1].Name(), "b");

  // A partly read attribute, text or comment is dropped.
  for (const char* text : {"<a x=\"unfinished", "<a x='1' y", "<a>text", "<a><!-- note", "<a><?pi"}) {
    TXMLTag tag;
    tag.Parse(text);
    EXPECT_EQ(tag.Name(), "a") << text;
  }
  TXMLTag partial;
  partial.Parse("<a x='1' y='2");
  EXPECT_EQ(partial.Attributes, std::vector<std::string>{"x=1"});
  TXMLTag noText;
  noText.Parse("<a>text");
  EXPECT_EQ(noText.Children.Count(), 0);
}

TEST(XmlParseStructure, EmptyDocumentLeavesAnUnnamedTag) {
  for (const char* text : {"", "   ", "just text", "<?xml?>"}) {
    TXMLTag tag;
    tag.Parse(text);
    EXPECT_EQ(tag.Name(), "") << text;
    EXPECT_EQ(tag.Children.Count(), 0);
  }
}

TEST(XmlParseStructure, ParsingAgainReplacesEverything) {
  TXMLTag tag;
  tag.Parse("<old a='1'><x/></old>");
  tag.Parse("<new b='2'/>");
  EXPECT_EQ(tag.Name(), "new");
  EXPECT_EQ(tag.Attributes, std::vector<std::string>{"b=2"});
  EXPECT_EQ(tag.Children.Count(), 0);
}

}  // namespace
}  // namespace sx
