// Writing objects: attribute order and names, omitted defaults, child elements and lists.
#include <gtest/gtest.h>

#include "tests/xml/test_classes.h"
#include "xml/xml_settings.h"

namespace sx::test {
namespace {

std::vector<std::string> AttributesOf(const TXMLObject& object) {
  TXMLTag tag("x");
  object.AssignTo(tag);
  return tag.Attributes;
}

TEST(XmlObjectSave, PropertiesAreSortedByNameIgnoringCase) {
  const auto& properties = TTestDocument::StaticClass().Properties();
  std::vector<std::string_view> names;
  for (const TPropInfo* p : properties) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string_view>{"alpha", "Extra", "ID", "Items", "Nested", "Raw",
                                                  "Title", "Unique", "Zulu"}));
  TTestDocument document;
  document.Zulu = "z";
  document.Alpha = "a";
  document.Title = "t";
  document.ID = "i";
  EXPECT_EQ(AttributesOf(document), (std::vector<std::string>{"alpha=a", "id=i", "title=t", "zulu=z"}));
}

TEST(XmlObjectSave, DefaultsAndEmptyStringsAreOmitted) {
  TTestItem item;
  EXPECT_EQ(AttributesOf(item), std::vector<std::string>{"fixed=fixed"});
  item.Fixed.clear();
  item.Log = false;         // differs from the constructor's true
  item.Count = 0;           // equal to the default
  item.Name = "   ";        // not empty, so written
  EXPECT_EQ(AttributesOf(item), (std::vector<std::string>{"log=0", "name=   "}));
  // Read back, the blanks are gone: attribute values are trimmed by the reader.
  TTestItem read;
  read.LoadFromString(item.SaveToString("item"), "item");
  EXPECT_EQ(read.Name, "");
}

TEST(XmlObjectSave, DefaultsAreWrittenWhenOmittingIsOff) {
  TXMLSettingsScope settings;
  settings->OmitDefaultValues = false;
  TTestItem item;
  item.Fixed.clear();
  EXPECT_EQ(AttributesOf(item),
            (std::vector<std::string>{"color=red", "count=0", "type=red", std::string("letter=\0", 8),
                                      "log=1", "ratio=0"}));
}

TEST(XmlObjectSave, EnumerationsAndSetsAreLowerCaseWithoutPrefix) {
  TTestItem item;
  item.Fixed.clear();
  item.Color = TTestColor::tcMax;
  item.Colors = {TTestColor::tcGreen, TTestColor::tcMax};
  item.Kind = TTestColor::tcBlue;
  EXPECT_EQ(AttributesOf(item), (std::vector<std::string>{"color=max", "colors=green,max", "type=blue"}));
}

TEST(XmlObjectSave, ListsObjectsAndRawTagsBecomeChildElements) {
  TTestDocument document;
  document.Title = "Doc";
  TTestItem& first = document.Items->AddNew();
  first.Name = "a";
  first.Fixed.clear();
  TTestItem& second = document.Items->AddNew();
  second.Name = "b";
  second.Value = "2";
  second.Fixed.clear();
  document.Extra = std::make_unique<TTestItem>(&document);
  document.Extra->Fixed.clear();
  document.Raw = std::make_unique<TXMLTag>();
  document.Raw->Parse("<custom k='v'><inner/></custom>");
  EXPECT_EQ(document.SaveToString("doc"),
            "<doc title=\"Doc\">\r\n"
            "\t<extra/>\r\n"
            "\t<items>\r\n"
            "\t\t<item name=\"a\"/>\r\n"
            "\t\t<item name=\"b\" value=\"2\"/>\r\n"
            "\t</items>\r\n"
            "\t<custom k=\"v\">\r\n"
            "\t\t<inner/>\r\n"
            "\t</custom>\r\n"
            "</doc>\r\n");
}

TEST(XmlObjectSave, EmptyListsAndUnsavableItemsWriteNothing) {
  TTestDocument document;
  EXPECT_EQ(document.SaveToString("doc"), "<doc/>\r\n");
  TTestItem& hidden = document.Items->AddNew();
  hidden.Transient = true;
  EXPECT_EQ(document.SaveToString("doc"), "<doc>\r\n\t<items/>\r\n</doc>\r\n");
}

TEST(XmlObjectSave, ListsWriteTheirOwnSimpleProperties) {
  TTestItems items;
  items.Title = "T";
  items.AddNew().Fixed.clear();
  EXPECT_EQ(items.SaveToString("list"), "<list title=\"T\">\r\n\t<item/>\r\n</list>\r\n");
}

TEST(XmlObjectSave, AttributeNamesFollowTheDeclaredRenames) {
  TTestItem item;
  EXPECT_EQ(item.PropToXMLName("kind", false), "type");
  EXPECT_EQ(item.PropToXMLName("kind", true), "kind");
  EXPECT_EQ(item.XMLToPropName("TYPE", false), "Kind");
  EXPECT_EQ(item.XMLToPropName("name", false), "name");
  EXPECT_EQ(item.EnumPrefix("COLOR"), "tc");
  EXPECT_EQ(item.EnumPrefix("name"), "");
}

TEST(XmlObjectSave, SaveAttributeByName) {
  TTestItem item;
  item.Value = "v";
  TXMLTag tag("t");
  item.SaveAttribute("VALUE", tag);
  item.SaveAttribute("missing", tag);
  EXPECT_EQ(tag.Attributes, std::vector<std::string>{"value=v"});
}

TEST(XmlObjectSave, SaveToStringWithEmptyRootWritesNothing) {
  TTestItem item;
  EXPECT_EQ(item.SaveToString(""), "");
}

}  // namespace
}  // namespace sx::test
