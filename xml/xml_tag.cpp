#include "xml/xml_tag.h"

#include <utility>

#include "util/case_tables.h"
#include "xml/xml_settings.h"

namespace sx {

using TagStorage = std::vector<std::unique_ptr<TXMLTag>>;

TXMLTagList::~TXMLTagList() { FreeTrees(std::move(items_)); }

TXMLTag& TXMLTagList::Add(std::unique_ptr<TXMLTag> child) {
  child->parent_ = owner_;
  items_.push_back(std::move(child));
  return *items_.back();
}

TXMLTag& TXMLTagList::AddNew(TXMLTagKind kind) {
  auto& child = Add(std::make_unique<TXMLTag>());
  child.Kind = kind;
  return child;
}

void TXMLTagList::Clear() {
  TagStorage doomed = std::move(items_);
  items_.clear();
  FreeTrees(std::move(doomed));
}

void TXMLTagList::FreeTrees(TagStorage&& roots) {
  TagStorage pending = std::move(roots);
  while (!pending.empty()) {
    std::unique_ptr<TXMLTag> tag = std::move(pending.back());
    pending.pop_back();
    for (auto& child : tag->Children.items_) pending.push_back(std::move(child));
    tag->Children.items_.clear();
  }
}

void TXMLTag::SetName(std::string_view name) {
  name_ = XMLSettings().LowerCaseNames ? LowerCaseFast(name) : std::string(name);
}

void TXMLTag::Clear() {
  name_.clear();
  Text.clear();
  Attributes.clear();
  Children.Clear();
}

void TXMLTag::Assign(const TXMLTag& source) {
  // The copy is built aside first, so that copying a tag into itself or into one of its own
  // descendants reads a source that is still whole.
  TXMLTag copy;
  copy.SetName(source.name_);
  copy.Attributes = source.Attributes;
  std::vector<std::pair<const TXMLTag*, TXMLTag*>> pending{{&source, &copy}};
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    for (const TXMLTag& child : from->Children) {
      TXMLTag& made = to->Children.AddNew();
      made.SetName(child.name_);
      made.Attributes = child.Attributes;
      if (!child.Children.Empty()) pending.emplace_back(&child, &made);
    }
  }
  Clear();
  name_ = std::move(copy.name_);
  Attributes = std::move(copy.Attributes);
  Children.items_ = std::move(copy.Children.items_);
  copy.Children.items_.clear();
  for (auto& child : Children.items_) child->parent_ = this;
}

}  // namespace sx
