// Properties as text: the written form of every kind and how text reads back.
#include <gtest/gtest.h>

#include "tests/xml/test_classes.h"
#include "xml/xml_prop_text.h"

namespace sx::test {
namespace {

TEST(XmlPropText, StringsAndIntegers) {
  TTestItem item;
  SetPropText(item, "name", "Some Name", "");
  EXPECT_EQ(item.Name, "Some Name");
  SetPropText(item, "COUNT", "-42", "");
  EXPECT_EQ(item.Count, -42);
  EXPECT_EQ(GetPropText(item, "Count", ""), "-42");
  for (const char* bad : {"12x", "", "0x10", "2147483648", "1.5"}) {
    item.Count = 7;
    SetPropText(item, "Count", bad, "");
    EXPECT_EQ(item.Count, 0) << bad;
  }
  SetPropText(item, "Count", "2147483647", "");
  EXPECT_EQ(item.Count, 2147483647);
  SetPropText(item, "Count", "-2147483648", "");
  EXPECT_EQ(item.Count, -2147483647 - 1);
}

TEST(XmlPropText, BooleansReadTrueOnlyFromOne) {
  TTestItem item;
  EXPECT_EQ(GetPropText(item, "Log", ""), "1");
  for (const char* text : {"0", "true", "True", "yes", "", "2"}) {
    item.Log = true;
    SetPropText(item, "Log", text, "");
    EXPECT_FALSE(item.Log) << text;
  }
  SetPropText(item, "Log", "1", "");
  EXPECT_TRUE(item.Log);
  item.Log = false;
  EXPECT_EQ(GetPropText(item, "Log", ""), "0");
}

TEST(XmlPropText, EnumerationsWithPrefix) {
  TTestItem item;
  item.Color = TTestColor::tcMax;
  EXPECT_EQ(GetPropText(item, "Color", "tc"), "Max");
  EXPECT_EQ(GetPropText(item, "Color", ""), "tcMax");
  for (const char* text : {"max", "MAX", "Max"}) {
    item.Color = TTestColor::tcRed;
    SetPropText(item, "Color", text, "tc");
    EXPECT_EQ(item.Color, TTestColor::tcMax) << text;
  }
  item.Color = TTestColor::tcBlue;
  SetPropText(item, "Color", "maximum", "tc");
  EXPECT_EQ(item.Color, TTestColor::tcRed);
  SetPropText(item, "Color", "tcGreen", "");
  EXPECT_EQ(item.Color, TTestColor::tcGreen);
}

TEST(XmlPropText, SetsSplitAtCommasAndIgnoreUnknownPieces) {
  TTestItem item;
  item.Colors = {TTestColor::tcGreen, TTestColor::tcMax};
  EXPECT_EQ(GetPropText(item, "Colors", "tc"), "Green,Max");
  item.Colors = {};
  SetPropText(item, "Colors", " green , , max ", "tc");
  EXPECT_EQ(item.Colors, (TTestColors{TTestColor::tcGreen, TTestColor::tcMax}));
  SetPropText(item, "Colors", "red,purple,BLUE", "tc");
  EXPECT_EQ(item.Colors, (TTestColors{TTestColor::tcRed, TTestColor::tcBlue}));
  SetPropText(item, "Colors", "", "tc");
  EXPECT_TRUE(item.Colors.Empty());
  EXPECT_EQ(GetPropText(item, "Colors", "tc"), "");
}

TEST(XmlPropText, SetMembersAboveOrdinal31AreIgnored) {
  TTestItem item;
  SetPropText(item, "Wide", "w0,w31,w32,w33", "");
  EXPECT_EQ(item.Wide.Bits(), 0x80000001u);
  EXPECT_EQ(GetPropText(item, "Wide", ""), "w0,w31");
}

TEST(XmlPropText, CharactersAndFloats) {
  TTestItem item;
  SetPropText(item, "Letter", "xyz", "");
  EXPECT_EQ(item.Letter, 'x');
  EXPECT_EQ(GetPropText(item, "Letter", ""), "x");
  SetPropText(item, "Letter", "", "");
  EXPECT_EQ(item.Letter, 0);
  SetPropText(item, "Ratio", "2.5e3", "");
  EXPECT_DOUBLE_EQ(item.Ratio, 2500.0);
  EXPECT_EQ(GetPropText(item, "Ratio", ""), "2500");
  item.Ratio = 0.1;
  EXPECT_EQ(GetPropText(item, "Ratio", ""), "0.1");
  SetPropText(item, "Ratio", "1,5", "");
  EXPECT_DOUBLE_EQ(item.Ratio, 0.0);
}

TEST(XmlPropText, UnknownAndReadOnlyPropertiesAreLeftAlone) {
  TTestItem item;
  EXPECT_EQ(GetPropText(item, "NoSuchProperty", ""), "");
  SetPropText(item, "NoSuchProperty", "x", "");
  SetPropText(item, "Fixed", "changed", "");
  EXPECT_EQ(item.Fixed, "fixed");
  EXPECT_EQ(GetPropText(item, "fixed", ""), "fixed");
  TTestDocument document;
  SetPropText(document, "Items", "text", "");  // object properties have no text form
  EXPECT_EQ(GetPropText(document, "Items", ""), "");
  EXPECT_EQ(document.Items->Count(), 0);
}

}  // namespace
}  // namespace sx::test
