// Reading objects: plain loads clear, merges keep; unknown names are ignored; copies travel
// through XML.
#include <gtest/gtest.h>

#include "tests/xml/test_classes.h"
#include "xml/xml_parser_error.h"

namespace sx::test {
namespace {

std::unique_ptr<TXMLTag> Parsed(std::string_view text) {
  auto tag = std::make_unique<TXMLTag>();
  tag->Parse(text);
  return tag;
}

TEST(XmlObjectLoad, AttributesSetPropertiesByNameIgnoringCase) {
  TTestItem item;
  item.LoadFromString("<item NAME='n' Value='v' count='3' color='blue' colors='red,max' type='green'/>", "");
  EXPECT_EQ(item.Name, "n");
  EXPECT_EQ(item.Value, "v");
  EXPECT_EQ(item.Count, 3);
  EXPECT_EQ(item.Color, TTestColor::tcBlue);
  EXPECT_EQ(item.Colors, (TTestColors{TTestColor::tcRed, TTestColor::tcMax}));
  EXPECT_EQ(item.Kind, TTestColor::tcGreen);
}

TEST(XmlObjectLoad, RenamedPropertyAlsoReadsUnderItsOwnName) {
  TTestItem item;
  item.LoadFromString("<item kind='max'/>", "");
  EXPECT_EQ(item.Kind, TTestColor::tcMax);
}

TEST(XmlObjectLoad, UnknownAttributesAndElementsAreIgnored) {
  TTestDocument document;
  document.LoadFromString("<doc title='t' bogus='1' fixed='x'><nothing a='1'/><title/><items><thing/><item name='i'/></items></doc>", "");
  EXPECT_EQ(document.Title, "t");
  ASSERT_EQ(document.Items->Count(), 1);
  EXPECT_EQ(document.Items->Items(0).Name, "i");
}

TEST(XmlObjectLoad, ReadOnlyPropertiesAreNeverSetFromXml) {
  TTestItem item;
  item.LoadFromString("<item fixed='other'/>", "");
  EXPECT_EQ(item.Fixed, "fixed");
}

TEST(XmlObjectLoad, PlainLoadClearsFirstSoConstructorValuesAreLost) {
  TTestItem fresh;
  EXPECT_TRUE(fresh.Log);
  fresh.Assign(*Parsed("<item name='n'/>"));
  EXPECT_FALSE(fresh.Log);  // cleared before loading
  fresh.Assign(*Parsed("<item log='1'/>"));
  EXPECT_TRUE(fresh.Log);
  EXPECT_EQ(fresh.Name, "");
}

TEST(XmlObjectLoad, MergeKeepsWhatTheElementDoesNotMention) {
  TTestItem item;
  item.Name = "kept";
  item.Count = 5;
  item.MergeFrom(*Parsed("<item value='new' count='6'/>"));
  EXPECT_EQ(item.Name, "kept");
  EXPECT_EQ(item.Value, "new");
  EXPECT_EQ(item.Count, 6);
  EXPECT_TRUE(item.Log);
  EXPECT_FALSE(item.Merging);
  item.MergeFrom(*Parsed("<item log='0'/>"));
  EXPECT_FALSE(item.Log);
}

TEST(XmlObjectLoad, ConstructorBooleanRoundTrips) {
  // Written only when false; a plain load reads false either way, a merge into a fresh item
  // reads true unless "0" is present.
  TTestDocument document;
  document.Items->AddNew().Name = "true";
  TTestItem& off = document.Items->AddNew();
  off.Name = "false";
  off.Log = false;
  std::string xml = document.SaveToString("doc");
  EXPECT_NE(xml.find("<item fixed=\"fixed\" log=\"0\" name=\"false\"/>"), std::string::npos);
  TTestDocument plain;
  plain.LoadFromString(xml, "doc");
  EXPECT_FALSE(plain.Items->Items(0).Log);
  EXPECT_FALSE(plain.Items->Items(1).Log);
  TTestDocument merged;
  merged.MergeFrom(*Parsed(xml));
  EXPECT_TRUE(merged.Items->Items(0).Log);
  EXPECT_FALSE(merged.Items->Items(1).Log);
}

TEST(XmlObjectLoad, PlainLoadReplacesListsMergeAppends) {
  TTestDocument document;
  document.LoadFromString("<doc><items><item name='a'/></items><items><item name='b'/></items></doc>", "");
  ASSERT_EQ(document.Items->Count(), 1);
  EXPECT_EQ(document.Items->Items(0).Name, "b");
  document.MergeFrom(*Parsed("<doc><items><item name='c'/></items></doc>"));
  ASSERT_EQ(document.Items->Count(), 2);
  EXPECT_EQ(document.Items->Items(1).Name, "c");
  document.Assign(*Parsed("<doc title='x'/>"));
  EXPECT_EQ(document.Items->Count(), 0);
}

TEST(XmlObjectLoad, ListWithoutDuplicatesReplacesEqualItems) {
  TTestDocument document;
  document.LoadFromString(
      "<doc><unique><item name='v' value='1' count='1'/><item name='w' value='x'/>"
      "<item name='V' value='2'/></unique></doc>", "");
  ASSERT_EQ(document.Unique->Count(), 2);
  EXPECT_EQ(document.Unique->Items(0).Name, "V");
  EXPECT_EQ(document.Unique->Items(0).Value, "2");
  EXPECT_EQ(document.Unique->Items(0).Count, 0);  // replaced through XML, not merged
  document.MergeFrom(*Parsed("<doc><unique><item name='w' value='y'/><item name='z'/></unique></doc>"));
  ASSERT_EQ(document.Unique->Count(), 3);
  EXPECT_EQ(document.Unique->Items(1).Value, "y");
}

TEST(XmlObjectLoad, EmptyElementCreatesAPlainObjectProperty) {
  TTestDocument document;
  EXPECT_EQ(document.Extra, nullptr);
  document.LoadFromString("<doc><extra/></doc>", "");
  ASSERT_NE(document.Extra, nullptr);
  EXPECT_EQ(document.Extra->Owner, &document);
  document.LoadFromString("<doc/>", "");
  EXPECT_EQ(document.Extra, nullptr);
}

TEST(XmlObjectLoad, RawTagPropertyKeepsTheElement) {
  TTestDocument document;
  document.LoadFromString("<doc><raw a='1'><x y='2'/></raw></doc>", "");
  ASSERT_NE(document.Raw, nullptr);
  EXPECT_EQ(document.Raw->GetXML(0), "<raw a=\"1\">\r\n\t<x y=\"2\"/>\r\n</raw>\r\n");
  EXPECT_EQ(document.SaveToString("doc"), "<doc>\r\n\t<raw a=\"1\">\r\n\t\t<x y=\"2\"/>\r\n\t</raw>\r\n</doc>\r\n");
}

TEST(XmlObjectLoad, LoadFromStringChecksTheRootName) {
  TTestDocument document;
  document.Title = "before";
  document.LoadFromString("<other title='x'/>", "doc");
  EXPECT_EQ(document.Title, "before");
  document.LoadFromString("<DOC title='x'/>", "Doc");
  EXPECT_EQ(document.Title, "x");
  EXPECT_THROW(document.LoadFromString("<doc></other>", "doc"), TXMLParserError);
}

TEST(XmlObjectLoad, CopyTravelsThroughXml) {
  TTestDocument source;
  source.Title = "T";
  TTestItem& item = source.Items->AddNew();
  item.Name = "n";
  item.Log = true;
  item.Transient = true;  // not saved, so not copied
  source.Items->AddNew().Name = "m";
  TTestDocument copy;
  copy.Assign(source);
  EXPECT_EQ(copy.Title, "T");
  ASSERT_EQ(copy.Items->Count(), 1);
  EXPECT_EQ(copy.Items->Items(0).Name, "m");
  EXPECT_FALSE(copy.Items->Items(0).Log);  // equal to the default, so not written, then cleared
  EXPECT_EQ(copy.Items->Items(0).Owner, copy.Items.get());
  copy.Assign(copy);
  EXPECT_EQ(copy.Items->Count(), 1);
}

TEST(XmlObjectLoad, ClearZeroesAndRecreatesLists) {
  TTestDocument document;
  document.LoadFromString("<doc title='t'><items><item/></items><extra/><raw/></doc>", "");
  document.Items->Title = "list title";
  document.Clear();
  EXPECT_EQ(document.Title, "");
  ASSERT_NE(document.Items, nullptr);
  EXPECT_EQ(document.Items->Title, "");
  EXPECT_EQ(document.Items->Count(), 0);
  EXPECT_EQ(document.Items->Owner, &document);
  EXPECT_EQ(document.Extra, nullptr);
  EXPECT_EQ(document.Raw, nullptr);
  TTestItem item;
  item.Clear();
  EXPECT_FALSE(item.Log);  // constructor values are not restored
  EXPECT_EQ(item.Fixed, "fixed");
}

TEST(XmlObjectLoad, EndlessNestingIsRefusedNotOverflowed) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "<nested>";
  TTestDocument document;
  EXPECT_THROW(document.LoadFromString("<doc>" + text, ""), TXMLParserError);
  std::string shallow = "<doc>";
  for (int i = 0; i < 100; ++i) shallow += "<nested title='x'>";
  document.LoadFromString(shallow, "");
  int depth = 0;
  for (TTestDocument* d = document.Nested.get(); d; d = d->Nested.get()) ++depth;
  EXPECT_EQ(depth, 100);
}

}  // namespace
}  // namespace sx::test
