#include "xml/xml_object.h"

#include "util/case_tables.h"
#include "xml/xml_object_list.h"
#include "xml/xml_parser_error.h"
#include "xml/xml_settings.h"

namespace sx {
namespace {

// Objects load and save their children through nested calls. Nesting follows the model's
// classes, except where a class holds lists of itself (features inside features), so a crafted
// file could nest without end; past this depth loading and saving refuse instead of exhausting
// the stack.
constexpr int kMaxObjectNesting = 256;
thread_local int objectNesting = 0;

class TNestingGuard {
 public:
  TNestingGuard() {
    if (objectNesting >= kMaxObjectNesting)
      throw TXMLParserError("Objects are nested deeper than " + std::to_string(kMaxObjectNesting) +
                            " levels.");
    ++objectNesting;
  }
  ~TNestingGuard() { --objectNesting; }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;
};

bool IsList(const TXMLClass& cls) { return cls.InheritsFrom(TXMLObjectList::StaticClass()); }

}  // namespace

const TXMLClass& TXMLObject::StaticClass() {
  static const TXMLClass info(
      "TXMLObject", nullptr,
      [](TXMLObject* owner) -> std::unique_ptr<TXMLObject> { return std::make_unique<TXMLObject>(owner); },
      {});
  return info;
}

void TXMLObject::AssignTo(TXMLTag& dest) const {
  TNestingGuard guard;
  dest.Kind = xkElement;
  SaveAttributes(dest);
  SaveChildren(dest);
}

void TXMLObject::Assign(const TXMLTag& source) {
  TNestingGuard guard;
  if (!Merging) Clear();
  for (const std::string& entry : source.Attributes) LoadAttribute(entry);
  LoadChildren(source);
}

void TXMLObject::LoadChildren(const TXMLTag& source) {
  for (const TXMLTag& child : source.Children)
    if (child.Kind == xkElement) LoadChild(child);
}

void TXMLObject::Assign(const TXMLObject& source) {
  TXMLTag copy;
  source.AssignTo(copy);
  Assign(copy);
}

void TXMLObject::MergeFrom(const TXMLTag& source) {
  struct MergingFlag {
    bool& flag;
    explicit MergingFlag(bool& f) : flag(f) { flag = true; }
    ~MergingFlag() { flag = false; }
  } merging(Merging);
  Assign(source);
}

void TXMLObject::LoadAttribute(std::string_view entry) {
  std::size_t equals = entry.find('=');
  std::string_view name = entry.substr(0, equals);
  std::string_view value = equals == std::string_view::npos ? std::string_view() : entry.substr(equals + 1);
  const TXMLClass& cls = ClassInfo();
  const TPropInfo* property = cls.FindRenamedAttribute(name);
  if (!property) property = cls.FindProperty(name);
  if (property && IsSimpleKind(property->Kind)) SetPropertyText(*this, *property, value, property->EnumPrefix);
}

void TXMLObject::LoadChild(const TXMLTag& tag) {
  const TPropInfo* property = ClassInfo().FindProperty(tag.Name());
  if (!property) return;
  const TPropAccess& a = property->Access;
  if (property->Kind == TPropKind::pkObject) {
    TXMLObject* held = a.GetObject(*this);
    bool created = false;
    if (!held) {
      a.SetObject(*this, property->ObjectClass().Create(this));
      held = a.GetObject(*this);
      created = true;
    }
    if (held->CanLoad(tag)) {
      if (Merging) held->MergeFrom(tag);
      else held->Assign(tag);
    } else if (created) {
      a.SetObject(*this, nullptr);
    }
  } else if (property->Kind == TPropKind::pkTag) {
    if (!a.GetTag(*this)) a.SetTag(*this, std::make_unique<TXMLTag>());
    TXMLTag& held = *a.GetTag(*this);
    held.Assign(tag);
  }
}

void TXMLObject::SaveAttributes(TXMLTag& tag) const {
  for (const TPropInfo* property : ClassInfo().Properties())
    if (IsSimpleKind(property->Kind)) SaveAttribute(*property, tag);
}

void TXMLObject::SaveAttribute(const TPropInfo& property, TXMLTag& tag) const {
  std::string value = PropertyText(*this, property, property.EnumPrefix);
  if (XMLSettings().OmitDefaultValues && property.Kind != TPropKind::pkString &&
      value == ClassInfo().DefaultText(property))
    return;
  if (value.empty()) return;
  if (property.Kind == TPropKind::pkEnumeration || property.Kind == TPropKind::pkSet)
    value = LowerCaseFast(value);
  std::string_view name = property.AttributeName.empty() ? property.Name : property.AttributeName;
  std::string entry = LowerCaseFast(name);
  entry += '=';
  entry += value;
  tag.Attributes.push_back(std::move(entry));
}

void TXMLObject::SaveAttribute(std::string_view propName, TXMLTag& tag) const {
  if (const TPropInfo* property = ClassInfo().FindProperty(propName))
    if (IsSimpleKind(property->Kind)) SaveAttribute(*property, tag);
}

void TXMLObject::SaveChildren(TXMLTag& tag) const {
  for (const TPropInfo* property : ClassInfo().Properties()) {
    const TPropAccess& a = property->Access;
    if (property->Kind == TPropKind::pkObject) {
      const TXMLObject* held = a.GetObject(*this);
      if (!held) continue;
      if (auto* list = dynamic_cast<const TXMLObjectList*>(held); list && list->Count() == 0) continue;
      auto child = std::make_unique<TXMLTag>(LowerCaseFast(property->Name));
      if (!held->CanSave(*child)) continue;
      held->AssignTo(*child);
      tag.Children.Add(std::move(child));
    } else if (property->Kind == TPropKind::pkTag) {
      const TXMLTag* held = a.GetTag(*this);
      if (!held) continue;
      TXMLTag& copy = tag.Children.AddNew();
      copy.Assign(*held);
    }
  }
}

std::string TXMLObject::XMLToPropName(std::string_view name, bool isElement) const {
  if (!isElement)
    if (const TPropInfo* property = ClassInfo().FindRenamedAttribute(name)) return std::string(property->Name);
  return std::string(name);
}

std::string TXMLObject::PropToXMLName(std::string_view name, bool isElement) const {
  if (!isElement)
    if (const TPropInfo* property = ClassInfo().FindProperty(name); property && !property->AttributeName.empty())
      return std::string(property->AttributeName);
  return std::string(name);
}

std::string_view TXMLObject::EnumPrefix(std::string_view propName) const {
  const TPropInfo* property = ClassInfo().FindProperty(propName);
  return property ? property->EnumPrefix : std::string_view();
}

bool TXMLObject::CanLoad(const TXMLTag&) { return true; }

bool TXMLObject::CanSave(const TXMLTag&) const { return true; }

void TXMLObject::Clear() {
  for (const TPropInfo* property : ClassInfo().Properties()) {
    const TPropAccess& a = property->Access;
    if (IsSimpleKind(property->Kind)) {
      SetPropertyText(*this, *property, "", property->EnumPrefix);
    } else if (property->Kind == TPropKind::pkObject) {
      if (a.GetObject(*this)) a.SetObject(*this, nullptr);
      const TXMLClass& declared = property->ObjectClass();
      if (IsList(declared)) a.SetObject(*this, declared.Create(this));
    } else {
      a.SetTag(*this, nullptr);
    }
  }
  Initialize();
}

}  // namespace sx

namespace sx {

void TXMLTag::Assign(const TXMLObject& source) { source.AssignTo(*this); }

}  // namespace sx
