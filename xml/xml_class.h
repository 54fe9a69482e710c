// TXMLClass: what the object mapping knows about a persistable class. Every class has exactly
// one, returned by its static StaticClass() and by the virtual ClassInfo() of its objects:
//
//   const TXMLClass& TsxFile::StaticClass() {
//     static const TXMLClass info = DefineXMLClass<TsxFile, TsxActionObject>(
//         "TsxFile", {Prop<&TsxFile::Src>("Src"), Prop<&TsxFile::Dst>("Dst")});
//     return info;
//   }
//
// A list class also names its items: which element gives which class, and back.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "xml/xml_property.h"

namespace sx {

class TXMLObject;

// One kind of item of a list: the element name and the class it stands for.
struct TXMLItemDecl {
  std::string_view TagName;  // lower case, as the reader produces element names
  const TXMLClass& (*Class)() = nullptr;
};

class TXMLClass {
 public:
  using Factory = std::unique_ptr<TXMLObject> (*)(TXMLObject* owner);

  TXMLClass(std::string_view name, const TXMLClass* parent, Factory factory,
            std::vector<TPropInfo> properties, std::vector<TXMLItemDecl> items = {});
  TXMLClass(const TXMLClass&) = delete;
  TXMLClass& operator=(const TXMLClass&) = delete;

  std::string_view Name() const { return name_; }
  const TXMLClass* Parent() const { return parent_; }
  // True when this class is `other` or derives from it.
  bool InheritsFrom(const TXMLClass& other) const;
  // A new object of this class (the virtual constructor).
  std::unique_ptr<TXMLObject> Create(TXMLObject* owner) const { return factory_(owner); }

  // Every property, inherited ones included, sorted by name with ASCII letters folded to upper
  // case. A property declared again in a derived class replaces the inherited one.
  const std::vector<const TPropInfo*>& Properties() const { return properties_; }
  // The property of that name, ignoring case; nullptr when the class has none.
  const TPropInfo* FindProperty(std::string_view name) const;
  // The property written as attribute `name` under another name (ignoring case); nullptr when
  // no property is renamed to it.
  const TPropInfo* FindRenamedAttribute(std::string_view name) const;

  // Items of a list class, inherited ones included.
  const std::vector<TXMLItemDecl>& Items() const { return items_; }

  // The text a freshly constructed object of this class gives for the property (computed once).
  const std::string& DefaultText(const TPropInfo& property) const;

 private:
  std::string_view name_;
  const TXMLClass* parent_;
  Factory factory_;
  std::vector<TPropInfo> own_;
  std::vector<const TPropInfo*> properties_;
  std::vector<TXMLItemDecl> items_;
  mutable std::once_flag defaultsOnce_;
  mutable std::vector<std::string> defaults_;  // parallel to properties_
};

// The class table of `T`, derived from `Base` (which must itself be a persistable class).
template <class T, class Base>
TXMLClass DefineXMLClass(std::string_view name, std::vector<TPropInfo> properties,
                         std::vector<TXMLItemDecl> items = {}) {
  return TXMLClass(
      name, &Base::StaticClass(),
      [](TXMLObject* owner) -> std::unique_ptr<TXMLObject> { return std::make_unique<T>(owner); },
      std::move(properties), std::move(items));
}

// An item declaration for lists: Item<TsxFile>("file").
template <class T>
TXMLItemDecl Item(std::string_view tagName) {
  return TXMLItemDecl{tagName, &T::StaticClass};
}

}  // namespace sx
