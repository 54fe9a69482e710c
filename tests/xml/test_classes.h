// Small persistable classes with one property of every kind, for the object mapping tests.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "util/case_tables.h"
#include "xml/xml_object_list.h"

namespace sx::test {

enum class TTestColor { tcRed, tcGreen, tcBlue, tcMax };
inline std::span<const std::string_view> EnumValueNames(TTestColor) {
  static constexpr std::array<std::string_view, 4> kNames{"tcRed", "tcGreen", "tcBlue", "tcMax"};
  return kNames;
}
using TTestColors = TEnumSet<TTestColor>;

// 34 values, so that a set of it has names for ordinals above 31.
enum class TTestWide { w0 };
inline std::span<const std::string_view> EnumValueNames(TTestWide) {
  static constexpr std::array<std::string_view, 34> kNames{
      "w0",  "w1",  "w2",  "w3",  "w4",  "w5",  "w6",  "w7",  "w8",  "w9",  "w10", "w11",
      "w12", "w13", "w14", "w15", "w16", "w17", "w18", "w19", "w20", "w21", "w22", "w23",
      "w24", "w25", "w26", "w27", "w28", "w29", "w30", "w31", "w32", "w33"};
  return kNames;
}

class TTestItem : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass() {
    static const TXMLClass info = DefineXMLClass<TTestItem, TXMLObject>(
        "TTestItem", {Prop<&TTestItem::Name>("Name"), Prop<&TTestItem::Value>("Value"),
                      Prop<&TTestItem::Count>("Count"), Prop<&TTestItem::Log>("Log"),
                      Prop<&TTestItem::Color>("Color").Prefix("tc"),
                      Prop<&TTestItem::Colors>("Colors").Prefix("tc"),
                      Prop<&TTestItem::Wide>("Wide"), Prop<&TTestItem::Letter>("Letter"),
                      Prop<&TTestItem::Ratio>("Ratio"),
                      Prop<&TTestItem::Kind>("Kind").Attribute("type").Prefix("tc"),
                      Prop<&TTestItem::Fixed>("Fixed").ReadOnly()});
    return info;
  }
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Name, Value;
  std::int32_t Count = 0;
  bool Log = true;  // set by the constructor
  TTestColor Color = TTestColor::tcRed;
  TTestColors Colors;
  TEnumSet<TTestWide> Wide;
  char Letter = 0;
  double Ratio = 0;
  TTestColor Kind = TTestColor::tcRed;
  std::string Fixed = "fixed";
  bool Transient = false;  // not published

  bool CanSave(const TXMLTag&) const override { return !Transient; }
};

class TTestItems : public TXMLList<TTestItem, TXMLParamList> {
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass() {
    static const TXMLClass info = DefineXMLClass<TTestItems, TXMLParamList>(
        "TTestItems", {Prop<&TTestItems::Title>("Title")}, {Item<TTestItem>("item")});
    return info;
  }
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Title;
};

// A list whose items with the same name replace each other.
class TTestUniqueItems : public TXMLList<TTestItem, TXMLParamList> {
 public:
  explicit TTestUniqueItems(TXMLObject* owner = nullptr) : TXMLList(owner) { AllowDuplicates = false; }
  static const TXMLClass& StaticClass() {
    static const TXMLClass info = DefineXMLClass<TTestUniqueItems, TXMLParamList>(
        "TTestUniqueItems", {}, {Item<TTestItem>("item")});
    return info;
  }
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  bool SameItem(const TXMLObject& a, const TXMLObject& b) const override {
    return SameTextFast(static_cast<const TTestItem&>(a).Name, static_cast<const TTestItem&>(b).Name);
  }
};

class TTestDocument : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass() {
    static const TXMLClass info = DefineXMLClass<TTestDocument, TXMLObject>(
        "TTestDocument",
        {Prop<&TTestDocument::Title>("Title"), Prop<&TTestDocument::Items>("Items"),
         Prop<&TTestDocument::Unique>("Unique"), Prop<&TTestDocument::Extra>("Extra"),
         Prop<&TTestDocument::Raw>("Raw"), Prop<&TTestDocument::Nested>("Nested"),
         Prop<&TTestDocument::ID>("ID"), Prop<&TTestDocument::Alpha>("alpha"),
         Prop<&TTestDocument::Zulu>("Zulu")});
    return info;
  }
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Title, ID, Alpha, Zulu;
  std::unique_ptr<TTestItems> Items = std::make_unique<TTestItems>(this);
  std::unique_ptr<TTestUniqueItems> Unique = std::make_unique<TTestUniqueItems>(this);
  std::unique_ptr<TTestItem> Extra;          // a plain object, absent until loaded
  std::unique_ptr<TXMLTag> Raw;              // kept as a tag
  std::unique_ptr<TTestDocument> Nested;     // documents inside documents, without end
};

}  // namespace sx::test
