// The written form: indentation, line ends, empty elements, text and comments, attribute part.
#include <gtest/gtest.h>

#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace sx {
namespace {

std::string Reformat(std::string_view text) {
  TXMLTag tag;
  tag.Parse(text);
  return tag.GetXML(0);
}

TEST(XmlWrite, NestedElementsAreIndentedWithTabsAndEndInCrLf) {
  EXPECT_EQ(Reformat("<a><b/></a>"), "<a>\r\n\t<b/>\r\n</a>\r\n");
  EXPECT_EQ(Reformat("<a><b x='say \"hi\"'/></a>"), "<a>\r\n\t<b x='say \"hi\"'/>\r\n</a>\r\n");
  EXPECT_EQ(Reformat("<r><c><d k=\"v\" l=\"w\"></d></c></r>"),
            "<r>\r\n\t<c>\r\n\t\t<d k=\"v\" l=\"w\">\r\n\t\t</d>\r\n\t</c>\r\n</r>\r\n");
}

TEST(XmlWrite, TextAndCommentsAreWrittenWithoutIndentAndOnlyWhenNotBlank) {
  EXPECT_EQ(Reformat("<a> hi <b>x</b><!-- c --><!----></a>"),
            "<a>\r\nhi\r\n\t<b>\r\nx\r\n\t</b>\r\n<!-- c -->\r\n</a>\r\n");
}

TEST(XmlWrite, LevelIndentsTheWholeSubtree) {
  TXMLTag tag;
  tag.Parse("<a><b/></a>");
  EXPECT_EQ(tag.GetXML(2), "\t\t<a>\r\n\t\t\t<b/>\r\n\t\t</a>\r\n");
  EXPECT_EQ(tag.Children[1].GetXML(0), "<b/>\r\n");
}

TEST(XmlWrite, IndentModesSpacesAndNone) {
  TXMLSettingsScope settings;
  settings->IndentMode = TXMLIndentMode::imSpaces;
  settings->IndentSize = 2;
  EXPECT_EQ(Reformat("<a><b><c/></b></a>"), "<a>\r\n  <b>\r\n    <c/>\r\n  </b>\r\n</a>\r\n");
  settings->IndentMode = TXMLIndentMode::imNone;
  EXPECT_EQ(Reformat("<a><b/></a>"), "<a>\r\n<b/>\r\n</a>\r\n");
}

TEST(XmlWrite, IndentStopsGrowingAt128Levels) {
  std::string text;
  for (int i = 0; i < 132; ++i) text += "<e>";
  TXMLTag tag;
  tag.Parse(text);
  std::string xml = tag.GetXML(0);
  EXPECT_NE(xml.find("\r\n" + std::string(127, '\t') + "<e>"), std::string::npos);
  EXPECT_EQ(xml.find(std::string(129, '\t')), std::string::npos);
  // Levels 128, 129 and 130 share the same indent.
  std::string deepest = std::string(128, '\t') + "<e>\r\n";
  std::size_t first = xml.find("\r\n" + deepest);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(xml.substr(first + 2, 3 * deepest.size()), deepest + deepest + deepest);
}

TEST(XmlWrite, UnnamedElementsWriteNothingNotEvenTheirChildren) {
  TXMLTag tag;
  EXPECT_EQ(tag.GetXML(0), "");
  tag.Children.AddNew().SetName("child");
  EXPECT_EQ(tag.GetXML(0), "");
  TXMLTag named("root");
  named.Children.AddNew();
  EXPECT_EQ(named.GetXML(0), "<root>\r\n</root>\r\n");
}

TEST(XmlWrite, AttributesTextPairsNamesAndEncodedValues) {
  TXMLTag tag("a");
  tag.Attributes = {"x=1", "flag", "y=a&b", "empty="};
  EXPECT_EQ(tag.AttributesText(), "x=\"1\" flag=\"\" y=\"a&#x26;b\" empty=\"\"");
  EXPECT_EQ(tag.GetXML(0), "<a x=\"1\" flag=\"\" y=\"a&#x26;b\" empty=\"\"/>\r\n");
  TXMLTag none("b");
  EXPECT_EQ(none.AttributesText(), "");
}

TEST(XmlWrite, SettingTheNameAppliesTheCaseRule) {
  TXMLTag tag("MiXed");
  EXPECT_EQ(tag.Name(), "mixed");
  TXMLSettingsScope settings;
  settings->LowerCaseNames = false;
  tag.SetName("MiXed");
  EXPECT_EQ(tag.Name(), "MiXed");
}

TEST(XmlWrite, WrittenDocumentReadsBackToTheSameText) {
  const char* source =
      "<?xml version=\"1.0\"?>\r\n<Project v='2'>\r\n <Items>\r\n  <Item name=\"a&#x26;b\" "
      "q='\"'/>\r\n  <!-- note -->\r\n  <Item>text</Item>\r\n </Items>\r\n</Project>";
  std::string once = Reformat(source);
  EXPECT_EQ(Reformat(once), once);
  EXPECT_EQ(once,
            "<project v=\"2\">\r\n\t<items>\r\n\t\t<item name=\"a&#x26;b\" q='\"'/>\r\n"
            "<!-- note -->\r\n\t\t<item>\r\ntext\r\n\t\t</item>\r\n\t</items>\r\n</project>\r\n");
}

}  // namespace
}  // namespace sx
