#include "xml/xml_object_list.h"

#include <unordered_map>

#include "util/case_tables.h"

namespace sx {

const TXMLClass& TXMLObjectList::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TXMLObjectList, TXMLObject>("TXMLObjectList", {});
  return info;
}

const TXMLClass& TXMLParamList::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TXMLParamList, TXMLObjectList>("TXMLParamList", {});
  return info;
}

TXMLObjectList::~TXMLObjectList() = default;

TXMLObject& TXMLObjectList::Add(std::unique_ptr<TXMLObject> item) {
  item->Owner = this;
  items_.push_back(std::move(item));
  return *items_.back();
}

void TXMLObjectList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

int TXMLObjectList::IndexOf(const TXMLObject* item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

int TXMLObjectList::Remove(const TXMLObject* item) {
  int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

TXMLObject* TXMLObjectList::FindByProp(std::string_view propName, std::string_view text,
                                      bool caseSensitive) const {
  std::optional<std::int32_t> number;
  bool numberRead = false;
  for (const auto& item : items_) {
    const TPropInfo* property = item->ClassInfo().FindProperty(propName);
    if (!property) continue;
    if (property->Kind == TPropKind::pkString) {
      std::string_view value = property->Access.GetString(*item);
      if (caseSensitive ? value == text : SameTextFast(value, text)) return item.get();
    } else if (property->Kind == TPropKind::pkInteger) {
      if (!numberRead) {
        number = DecimalToInt32(text);
        numberRead = true;
      }
      if (number && property->Access.GetOrdinal(*item) == *number) return item.get();
    }
  }
  return nullptr;
}

TXMLObject* TXMLObjectList::FindByID(std::string_view id) const { return FindByProp("ID", id, false); }

void TXMLObjectList::SetParam(std::string_view name, std::string_view value) {
  TXMLObject* item = FindByProp("Name", name, false);
  if (!item) item = &Add(ParamClass().Create(this));
  SetPropText(*item, "Name", name, "");
  SetPropText(*item, "Value", value, "");
}

const TXMLClass* TXMLObjectList::ItemClass(std::string_view elementName) const {
  for (const TXMLItemDecl& decl : ClassInfo().Items())
    if (decl.TagName == elementName) return &decl.Class();
  return nullptr;
}

std::string_view TXMLObjectList::ItemTagName(const TXMLClass& itemClass) const {
  for (const TXMLItemDecl& decl : ClassInfo().Items())
    if (&decl.Class() == &itemClass) return decl.TagName;
  return {};
}

bool TXMLObjectList::SameItem(const TXMLObject&, const TXMLObject&) const { return false; }

const TXMLClass& TXMLObjectList::ParamClass() const { return TXMLObject::StaticClass(); }

std::optional<std::string> TXMLObjectList::SameItemKey(const TXMLObject&) const { return std::nullopt; }

std::unique_ptr<TXMLObject> TXMLObjectList::ReadItem(const TXMLTag& tag) {
  const TXMLClass* cls = ItemClass(tag.Name());
  if (!cls) return nullptr;
  std::unique_ptr<TXMLObject> item = cls->Create(this);
  if (!item->CanLoad(tag)) return nullptr;
  if (Merging) item->MergeFrom(tag);
  else item->Assign(tag);
  return item;
}

void TXMLObjectList::LoadChildren(const TXMLTag& source) {
  if (AllowDuplicates) {
    TXMLObject::LoadChildren(source);
    return;
  }
  // The first item of each key, as the one-by-one comparison finds it.
  std::unordered_map<std::string, TXMLObject*> byKey;
  byKey.reserve(items_.size() + static_cast<size_t>(source.Children.Count()));
  for (const auto& existing : items_) {
    std::optional<std::string> key = SameItemKey(*existing);
    if (!key) {
      TXMLObject::LoadChildren(source);
      return;
    }
    byKey.emplace(std::move(*key), existing.get());
  }
  for (const TXMLTag& child : source.Children) {
    if (child.Kind != xkElement) continue;
    std::unique_ptr<TXMLObject> item = ReadItem(child);
    if (!item) continue;
    std::optional<std::string> key = SameItemKey(*item);
    if (!key) {
      AddOrReplace(std::move(item));  // a list without keys compares one by one
      continue;
    }
    if (const auto found = byKey.find(*key); found != byKey.end()) {
      found->second->Assign(*item);
      continue;
    }
    byKey.emplace(std::move(*key), &Add(std::move(item)));
  }
}

void TXMLObjectList::LoadChild(const TXMLTag& tag) {
  std::unique_ptr<TXMLObject> item = ReadItem(tag);
  if (item) AddOrReplace(std::move(item));
}

void TXMLObjectList::AddOrReplace(std::unique_ptr<TXMLObject> item) {
  if (!AllowDuplicates) {
    for (const auto& existing : items_) {
      if (SameItem(*item, *existing)) {
        existing->Assign(*item);
        return;
      }
    }
  }
  Add(std::move(item));
}

void TXMLObjectList::SaveChildren(TXMLTag& tag) const {
  for (const auto& item : items_) {
    std::string_view name = ItemTagName(item->ClassInfo());
    if (name.empty()) continue;
    auto child = std::make_unique<TXMLTag>(name);
    if (!item->CanSave(*child)) continue;
    item->AssignTo(*child);
    tag.Children.Add(std::move(child));
  }
}

void TXMLObjectList::Clear() {
  TXMLObject::Clear();
  items_.clear();
}

const TXMLClass& TXMLParamList::ParamClass() const {
  const auto& items = ClassInfo().Items();
  return items.empty() ? TXMLObject::StaticClass() : items.front().Class();
}

TXMLObject* TXMLParamList::FindByName(std::string_view name) const { return FindByProp("Name", name, false); }

}  // namespace sx
