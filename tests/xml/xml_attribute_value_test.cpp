// Attribute values: blanks, trimming, the "&#xHH;" reference both ways, and quoting.
#include <gtest/gtest.h>

#include <string>

#include "xml/xml_escape.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"

namespace sx {
namespace {

std::string FirstAttribute(std::string_view text) {
  TXMLTag tag;
  tag.Parse(text);
  return tag.Attributes.empty() ? std::string("<none>") : tag.Attributes.front();
}

TEST(XmlAttributeValue, BlankRunsCollapseUnlessPreserved) {
  {
    TXMLSettingsScope settings;
    settings->PreserveAttributeWhitespace = true;
    EXPECT_EQ(FirstAttribute("<a x=\"  one   two  \"/>"), "x=one   two");
    EXPECT_EQ(FirstAttribute("<a x=\"one\t\r\ntwo\"/>"), "x=one   two");
  }
  EXPECT_EQ(FirstAttribute("<a x=\"  one   two  \"/>"), "x=one two");
  EXPECT_EQ(FirstAttribute("<a x=\"one\t\r\ntwo\"/>"), "x=one two");
}

TEST(XmlAttributeValue, OtherQuoteAndAngleBracketsStandLiterally) {
  EXPECT_EQ(FirstAttribute("<a><b x='say \"hi\"'/></a>"), "<none>");
  TXMLTag tag;
  tag.Parse("<a><b x='say \"hi\"'/></a>");
  EXPECT_EQ(tag.Children[1].Attributes, std::vector<std::string>{"x=say \"hi\""});
  EXPECT_EQ(FirstAttribute("<a x=\"<b> 'q' =\"/>"), "x=<b> 'q' =");
}

TEST(XmlAttributeValue, ReferencesAreDecodedAndTheResultTrimmed) {
  EXPECT_EQ(FirstAttribute("<a x=\"&#x0D;&#x0A;line\"/>"), "x=line");
  EXPECT_EQ(FirstAttribute("<a x=\"a&#x0D;&#x0A;b\"/>"), "x=a\r\nb");
  EXPECT_EQ(FirstAttribute("<a x=\"a&#x4G;b\"/>"), std::string("x=a\0b", 5));
  EXPECT_EQ(FirstAttribute("<a x=\"&#x4G;\"/>"), "x=");
  EXPECT_EQ(FirstAttribute("<a x=\"&#x26;&#x22;&#x27;\"/>"), "x=&\"'");
}

TEST(XmlAttributeValue, DecodingRules) {
  EXPECT_EQ(DecodeAttributeValue("&#x4a;&#x4A;"), "JJ");          // either letter case
  EXPECT_EQ(DecodeAttributeValue("&#x41Z"), "A");                 // sixth character dropped
  EXPECT_EQ(DecodeAttributeValue("x&#x41"), "x&#x41");            // too short
  EXPECT_EQ(DecodeAttributeValue("&#X41;"), "&#X41;");            // upper-case X is no reference
  EXPECT_EQ(DecodeAttributeValue("&#x26;#x41;"), "&#x41;");       // a decoded & is not decoded again
  EXPECT_EQ(DecodeAttributeValue("&#x&#x41;;"), "&#xA;");         // scanned from the end
  EXPECT_EQ(DecodeAttributeValue("  &#x09;pad&#x20;  "), "pad");  // decoded blanks trimmed too
  EXPECT_EQ(DecodeAttributeValue("&amp;"), "&amp;");              // no named entities
  EXPECT_EQ(DecodeAttributeValue(""), "");
}

TEST(XmlAttributeValue, EncodingRules) {
  EXPECT_EQ(EncodeAttributeValue("a&b\r\n", '"'), "a&#x26;b&#x0D;&#x0A;");
  EXPECT_EQ(EncodeAttributeValue("<x> 'q' \"d\"", '"'), "<x> 'q' &#x22;d&#x22;");
  EXPECT_EQ(EncodeAttributeValue("'q' \"d\"", '\''), "&#x27;q&#x27; \"d\"");
  EXPECT_EQ(EncodeAttributeValue("\x7F\x80\xA8\xBF\xC0\xFF", '"'), "&#x7F;&#x80;&#xA8;&#xBF;\xC0\xFF");
  EXPECT_EQ(EncodeAttributeValue(std::string("\0\x1F", 2), '"'), "&#x00;&#x1F;");
}

TEST(XmlAttributeValue, EveryByteSurvivesWritingAndReading) {
  std::string value = "<";
  for (int c = 0; c < 256; ++c) value += static_cast<char>(c);
  value += ">";
  for (bool preserve : {false, true}) {
    TXMLSettingsScope settings;
    settings->PreserveAttributeWhitespace = preserve;
    TXMLTag written("a");
    written.Attributes.push_back("v=" + value);
    TXMLTag read;
    read.Parse(written.GetXML(0));
    ASSERT_EQ(read.Attributes.size(), 1u);
    EXPECT_EQ(read.Attributes[0], "v=" + value) << "preserve " << preserve;
  }
}

TEST(XmlAttributeValue, ValueWithBothQuotesIsWrittenInApostrophes) {
  TXMLTag tag("a");
  tag.Attributes.push_back("x=it's \"so\"");
  EXPECT_EQ(tag.AttributesText(), "x='it&#x27;s \"so\"'");
  TXMLTag read;
  read.Parse(tag.GetXML(0));
  EXPECT_EQ(read.Attributes, std::vector<std::string>{"x=it's \"so\""});
}

}  // namespace
}  // namespace sx
