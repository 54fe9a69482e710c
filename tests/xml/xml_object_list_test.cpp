// List operations: ownership, lookups by property, SetParam, item kinds.
#include <gtest/gtest.h>

#include "tests/xml/test_classes.h"

namespace sx::test {
namespace {

TEST(XmlObjectList, AddDeleteIndexOfRemove) {
  TTestItems list;
  TTestItem& a = list.AddNew();
  auto b = std::make_unique<TTestItem>();
  TTestItem* bp = b.get();
  list.Add(std::move(b));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(bp->Owner, &list);
  EXPECT_EQ(list.IndexOf(&a), 0);
  EXPECT_EQ(list.IndexOf(bp), 1);
  TTestItem outside;
  EXPECT_EQ(list.IndexOf(&outside), -1);
  EXPECT_EQ(list.Remove(&outside), -1);
  EXPECT_EQ(list.Remove(&a), 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(&list[0], bp);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(XmlObjectList, FindByPropMatchesStringsAndIntegersOnly) {
  TTestItems list;
  list.LoadFromString(
      "<l><item name='Alpha' count='10' color='blue'/><item name='\xC0\xE1' count='-3'/></l>", "");
  EXPECT_EQ(list.FindByProp("name", "alpha", false), &list[0]);
  EXPECT_EQ(list.FindByProp("name", "alpha", true), nullptr);
  EXPECT_EQ(list.FindByProp("NAME", "Alpha", true), &list[0]);
  EXPECT_EQ(list.FindByProp("name", "\xE0\xC1", false), &list[1]);  // Cyrillic letters fold too
  EXPECT_EQ(list.FindByProp("count", "-3", false), &list[1]);
  EXPECT_EQ(list.FindByProp("count", "ten", false), nullptr);
  EXPECT_EQ(list.FindByProp("color", "blue", false), nullptr);  // enumerations do not match
  EXPECT_EQ(list.FindByProp("missing", "x", false), nullptr);
  EXPECT_EQ(list.FindByID("x"), nullptr);
}

TEST(XmlObjectList, SetParamChangesTheFirstItemOfThatNameOrAddsOne) {
  TTestItems list;
  list.AddNew().Name = "X";
  list.SetParam("x", "1");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].Name, "x");
  EXPECT_EQ(list[0].Value, "1");
  list.SetParam("y", "2");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1].Name, "y");
  EXPECT_EQ(list[1].Value, "2");
  EXPECT_EQ(list[1].Owner, &list);
  EXPECT_EQ(list.FindByName("Y"), &list[1]);
}

TEST(XmlObjectList, ItemKindsComeFromTheClassTable) {
  TTestItems list;
  EXPECT_EQ(list.ItemClass("item"), &TTestItem::StaticClass());
  EXPECT_EQ(list.ItemClass("Item"), nullptr);  // element names arrive in lower case
  EXPECT_EQ(list.ItemClass("other"), nullptr);
  EXPECT_EQ(list.ItemTagName(TTestItem::StaticClass()), "item");
  EXPECT_EQ(list.ItemTagName(TTestDocument::StaticClass()), "");
  EXPECT_EQ(&list.ParamClass(), &TTestItem::StaticClass());
  EXPECT_TRUE(TTestItems::StaticClass().InheritsFrom(TXMLObjectList::StaticClass()));
  EXPECT_FALSE(TTestItem::StaticClass().InheritsFrom(TXMLObjectList::StaticClass()));
}

TEST(XmlObjectList, TypedIterationVisitsItemsInOrder) {
  TTestItems list;
  list.LoadFromString("<l><item name='a'/><item name='b'/><item name='c'/></l>", "");
  std::string names;
  for (TTestItem& item : list) names += item.Name;
  EXPECT_EQ(names, "abc");
}

TEST(XmlObjectList, ListClearKeepsAllowDuplicates) {
  TTestUniqueItems list;
  list.AddNew().Name = "a";
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.AllowDuplicates);
}

}  // namespace
}  // namespace sx::test
