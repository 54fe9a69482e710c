// Item lookup for package entries and the target path rules.
#include "install/file_item_index.h"

#include "database/sx_component.h"
#include "database/sx_install_items.h"
#include "database/sx_variable_access.h"
#include "util/case_tables.h"
#include "util/folder_path.h"
#include "util/wildcard.h"

namespace sx {
namespace {

constexpr std::string_view kDataFolder = "data\\";

std::string_view NameOf(std::string_view path) {
  const size_t cut = path.find_last_of('\\');
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextFast(text.substr(0, prefix.size()), prefix);
}

// A part derived from an entry or a found file must stay below the destination folder.
bool LeavesFolder(std::string_view part) {
  if (part.empty()) return false;
  if (part.front() == '\\' || part.front() == '/' || part.find(':') != std::string_view::npos) return true;
  size_t start = 0;
  while (start <= part.size()) {
    size_t end = part.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = part.size();
    if (part.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string WithExtensionDot(std::string_view path) {
  std::string text(path);
  if (NameOf(path).find('.') == std::string_view::npos) text += '.';
  return text;
}

bool SourceMatches(std::string_view src, std::string_view rest) {
  const std::string source = WithExtensionDot(src);
  const std::string entry = WithExtensionDot(rest);
  const std::string_view mask = NameOf(source);
  if (!HasWildcards(mask)) return SameTextFast(source, entry);
  const std::string_view sourceFolder = FolderOf(source);
  const std::string_view entryFolder = FolderOf(entry);
  return StartsWithText(entryFolder, sourceFolder) && MatchesWildcard(NameOf(entry), mask, true);
}

void TFileItemIndex::Build(const std::vector<TsxComponent*>& components, bool external, TXMLObject* context) {
  candidates_.clear();
  components_.clear();
  for (TsxComponent* component : components) {
    ComponentItems& items = components_[LowerCaseFast(component->ID())];
    for (TsxFile& file : *component->Files) {
      if (file.Action != TsxInstallAction::add || file.Flags.Contains(TsxFlag::external) != external) continue;
      const int order = static_cast<int>(candidates_.size());
      std::string source = ExpandText(context, file.Src);
      if (HasWildcards(NameOf(source)))
        items.masked.push_back(order);
      else
        items.exact[LowerCaseFast(WithExtensionDot(source))].push_back(order);
      candidates_.push_back({order, component, &file, std::move(source)});
    }
  }
}

TFoundItem TFileItemIndex::Find(std::string_view entryName) const {
  if (!StartsWithText(entryName, kDataFolder)) return {};
  const std::string_view inData = entryName.substr(kDataFolder.size());
  const size_t cut = inData.find('\\');
  if (cut == std::string_view::npos) return {};
  const auto found = components_.find(LowerCaseFast(inData.substr(0, cut)));
  if (found == components_.end()) return {};
  const std::string_view rest = inData.substr(cut + 1);
  const ComponentItems& items = found->second;

  // The exact candidates and the masked ones that match, merged in list order.
  const std::vector<int>* exact = nullptr;
  if (auto hit = items.exact.find(LowerCaseFast(WithExtensionDot(rest))); hit != items.exact.end())
    exact = &hit->second;
  size_t e = 0, m = 0;
  const size_t exactCount = exact ? exact->size() : 0;
  while (e < exactCount || m < items.masked.size()) {
    int next;
    if (m >= items.masked.size() || (e < exactCount && (*exact)[e] < items.masked[m])) {
      next = (*exact)[e++];
    } else {
      next = items.masked[m++];
      if (!SourceMatches(candidates_[next].source, rest)) continue;
    }
    const Candidate& candidate = candidates_[next];
    if (IsConditionTrue(*candidate.file)) return {candidate.component, candidate.file};
  }
  return {};
}

TTargetPath ComputeTarget(TXMLObject* context, const TsxFile& item, std::string_view rest) {
  const std::string source = ExpandText(context, item.Src);
  const std::string destination = ExpandText(context, item.Dst);
  TTargetPath target;
  if (HasWildcards(source) || HasWildcards(destination)) {
    const std::string_view sourceFolder = FolderOf(source);
    std::string_view below = rest;
    if (StartsWithText(rest, sourceFolder)) below = rest.substr(sourceFolder.size());
    const std::string part = ExpandText(context, below);
    target.unsafe = LeavesFolder(part);
    target.path = ExpandText(context, std::string(FolderOf(destination))) + part;
  } else {
    target.path = ExpandText(context, destination);
  }
  target.name = std::string(NameOf(target.path));
  if (target.name.empty()) {
    target.name = ExpandText(context, std::string(NameOf(source)));
    target.path += target.name;
  }
  return target;
}

}  // namespace sx
