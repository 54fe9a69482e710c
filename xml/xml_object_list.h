// Lists of persistable objects. A list is written as one element whose children are its items,
// each named by the item's class (ItemTagName); reading maps element names back to classes
// (ItemClass). The item kinds come from the list's class table (xml_class.h).
//
// With AllowDuplicates off, an item read from XML that SameItem finds equal to an existing item
// replaces that item's content instead of being appended.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xml/owned_iterator.h"
#include "xml/xml_object.h"

namespace sx {

class TXMLObjectList : public TXMLObject {
 public:
  explicit TXMLObjectList(TXMLObject* owner = nullptr) : TXMLObject(owner) {}
  ~TXMLObjectList() override;

  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  bool AllowDuplicates = true;

  int Count() const { return static_cast<int>(items_.size()); }
  TXMLObject& Items(int index) const { return *items_[static_cast<std::size_t>(index)]; }
  // Appends the item and takes ownership; the list becomes its owner.
  TXMLObject& Add(std::unique_ptr<TXMLObject> item);
  // Removes and frees the item at `index` (an index outside the list changes nothing).
  void Delete(int index);
  int IndexOf(const TXMLObject* item) const;
  // Deletes the item when it is in the list; its former index, or -1.
  int Remove(const TXMLObject* item);

  // The first item whose property `propName` equals `text`. Only string and integer properties
  // match: strings exactly or ignoring case (fixed tables), integers when `text` is the same
  // number. nullptr when none does.
  TXMLObject* FindByProp(std::string_view propName, std::string_view text, bool caseSensitive) const;
  // The first item whose ID equals `id` ignoring case.
  TXMLObject* FindByID(std::string_view id) const;
  // Sets Name and Value of the first item whose Name is `name` (ignoring case), appending a new
  // item of ParamClass() when there is none.
  void SetParam(std::string_view name, std::string_view value);

  // The class of items written as element `elementName`; nullptr ignores the element.
  virtual const TXMLClass* ItemClass(std::string_view elementName) const;
  // The element name of items of `itemClass`; "" keeps such items out of files.
  virtual std::string_view ItemTagName(const TXMLClass& itemClass) const;
  virtual bool SameItem(const TXMLObject& a, const TXMLObject& b) const;
  // A text that two items share exactly when SameItem finds them equal; std::nullopt (the
  // default) when the list has none. With it, loading finds the item an incoming one replaces
  // through an index instead of comparing it with every item (which is quadratic in the list).
  virtual std::optional<std::string> SameItemKey(const TXMLObject& item) const;
  // The class of items that SetParam creates.
  virtual const TXMLClass& ParamClass() const;

  void LoadChild(const TXMLTag& tag) override;
  void LoadChildren(const TXMLTag& source) override;
  void SaveChildren(TXMLTag& tag) const override;
  // The object's clear, then every item freed.
  void Clear() override;

  TOwnedIterator<TXMLObject> begin() const { return TOwnedIterator<TXMLObject>(items_.begin()); }
  TOwnedIterator<TXMLObject> end() const { return TOwnedIterator<TXMLObject>(items_.end()); }

 protected:
  const std::vector<std::unique_ptr<TXMLObject>>& ItemStorage() const { return items_; }

 private:
  // A new item read from the element, or nullptr when the list takes no such element.
  std::unique_ptr<TXMLObject> ReadItem(const TXMLTag& tag);
  // Appends the item, or (without AllowDuplicates) gives its content to the first item SameItem
  // finds equal to it.
  void AddOrReplace(std::unique_ptr<TXMLObject> item);

  std::vector<std::unique_ptr<TXMLObject>> items_;
};

// A list of items that carry Name and Value properties.
class TXMLParamList : public TXMLObjectList {
 public:
  using TXMLObjectList::TXMLObjectList;

  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  // The first item of the list's item class, else TXMLObject.
  const TXMLClass& ParamClass() const override;
  // The first item whose Name equals `name` ignoring case.
  virtual TXMLObject* FindByName(std::string_view name) const;
};

// Typed access to a list whose items are all of class `Item`.
template <class Item, class Base = TXMLObjectList>
class TXMLList : public Base {
 public:
  using Base::Base;

  Item& Items(int index) const { return static_cast<Item&>(Base::Items(index)); }
  Item& operator[](int index) const { return Items(index); }
  Item& Add(std::unique_ptr<Item> item) { return static_cast<Item&>(Base::Add(std::move(item))); }
  // Appends a new item owned by the list.
  Item& AddNew() { return Add(std::make_unique<Item>(this)); }
  Item* FindByID(std::string_view id) const { return static_cast<Item*>(Base::FindByID(id)); }

  TOwnedIterator<Item, TXMLObject> begin() const {
    return TOwnedIterator<Item, TXMLObject>(this->ItemStorage().begin());
  }
  TOwnedIterator<Item, TXMLObject> end() const {
    return TOwnedIterator<Item, TXMLObject>(this->ItemStorage().end());
  }
};

}  // namespace sx
