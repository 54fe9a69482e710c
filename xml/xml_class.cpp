#include "xml/xml_class.h"

#include <algorithm>

#include "util/case_tables.h"
#include "xml/xml_object.h"
#include "xml/xml_prop_text.h"

namespace sx {
namespace {

// Orders property names with ASCII letters folded to upper case.
bool NameBefore(std::string_view a, std::string_view b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [&](char x, char y) { return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y)); });
}

}  // namespace

TXMLClass::TXMLClass(std::string_view name, const TXMLClass* parent, Factory factory,
                     std::vector<TPropInfo> properties, std::vector<TXMLItemDecl> items)
    : name_(name), parent_(parent), factory_(factory), own_(std::move(properties)) {
  if (parent_) {
    properties_ = parent_->properties_;
    items_ = parent_->items_;
  }
  for (const TPropInfo& property : own_) {
    auto same = std::find_if(properties_.begin(), properties_.end(), [&](const TPropInfo* p) {
      return SameTextFast(p->Name, property.Name);
    });
    if (same != properties_.end()) *same = &property;
    else properties_.push_back(&property);
  }
  std::stable_sort(properties_.begin(), properties_.end(),
                   [](const TPropInfo* a, const TPropInfo* b) { return NameBefore(a->Name, b->Name); });
  items_.insert(items_.end(), items.begin(), items.end());
}

bool TXMLClass::InheritsFrom(const TXMLClass& other) const {
  for (const TXMLClass* c = this; c; c = c->parent_)
    if (c == &other) return true;
  return false;
}

const TPropInfo* TXMLClass::FindProperty(std::string_view name) const {
  for (const TPropInfo* property : properties_)
    if (SameTextFast(property->Name, name)) return property;
  return nullptr;
}

const TPropInfo* TXMLClass::FindRenamedAttribute(std::string_view name) const {
  for (const TPropInfo* property : properties_)
    if (!property->AttributeName.empty() && SameTextFast(property->AttributeName, name))
      return property;
  return nullptr;
}

const std::string& TXMLClass::DefaultText(const TPropInfo& property) const {
  std::call_once(defaultsOnce_, [this] {
    std::unique_ptr<TXMLObject> fresh = Create(nullptr);
    defaults_.reserve(properties_.size());
    for (const TPropInfo* p : properties_)
      defaults_.push_back(IsSimpleKind(p->Kind) ? PropertyText(*fresh, *p, p->EnumPrefix) : std::string());
  });
  auto it = std::find(properties_.begin(), properties_.end(), &property);
  static const std::string kNone;
  return it == properties_.end() ? kNone : defaults_[static_cast<std::size_t>(it - properties_.begin())];
}

}  // namespace sx
