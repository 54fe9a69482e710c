#include "plugins/wizard/feature_tree.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace sxwizard {

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

void FeatureTree::Add(FeatureRow row) {
  row.depth = 0;
  if (!row.parentId.empty()) {
    const std::string parent = UpperAscii(row.parentId);
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it)
      if (UpperAscii(it->id) == parent) {
        row.depth = it->depth + 1;
        break;
      }
  }
  rows_.push_back(std::move(row));
}

uint64_t FeatureTree::OwnBytes(size_t index, const SizeFacts& facts) const {
  const auto components = facts.featureComponents.find(UpperAscii(rows_.at(index).id));
  if (components == facts.featureComponents.end()) return 0;
  uint64_t bytes = 0;
  for (const std::string& component : components->second) {
    const auto size = facts.componentBytes.find(component);
    if (size != facts.componentBytes.end()) bytes += size->second;
  }
  return bytes;
}

uint64_t FeatureTree::BranchBytes(size_t index, const SizeFacts& facts) const {
  uint64_t bytes = OwnBytes(index, facts);
  // Sub-features follow their parent, deeper than it, until the next feature of its depth or less.
  for (size_t i = index + 1; i < rows_.size() && rows_[i].depth > rows_[index].depth; ++i)
    bytes += OwnBytes(i, facts);
  return bytes;
}

uint64_t FeatureTree::NeededBytes(const SizeFacts& facts) const {
  std::set<std::string> counted;
  uint64_t bytes = 0;
  for (const FeatureRow& row : rows_) {
    if (row.state == FeatureState::kOff) continue;
    const auto components = facts.featureComponents.find(UpperAscii(row.id));
    if (components == facts.featureComponents.end()) continue;
    for (const std::string& component : components->second) {
      if (!counted.insert(component).second) continue;
      const auto size = facts.componentBytes.find(component);
      if (size != facts.componentBytes.end()) bytes += size->second;
    }
  }
  return bytes;
}

SizeFacts ParseSizeFacts(const std::map<std::string, std::string>& componentSizes,
                         const std::map<std::string, std::string>& featureComponents) {
  SizeFacts facts;
  for (const auto& [component, value] : componentSizes) {
    char* end = nullptr;
    const unsigned long long bytes = std::strtoull(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0') continue;  // not a size: the builder never writes one
    facts.componentBytes[UpperAscii(component)] = bytes;
  }
  for (const auto& [feature, list] : featureComponents) {
    std::vector<std::string>& components = facts.featureComponents[UpperAscii(feature)];
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(',', start);
      if (end == std::string::npos) end = list.size();
      std::string component = list.substr(start, end - start);
      while (!component.empty() && component.front() == ' ') component.erase(0, 1);
      while (!component.empty() && component.back() == ' ') component.pop_back();
      if (!component.empty()) components.push_back(UpperAscii(component));
      start = end + 1;
    }
  }
  return facts;
}

std::string FormatBytes(uint64_t bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double value = static_cast<double>(bytes) / 1024.0;
  size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, value < 10 ? "%.2f %s" : value < 100 ? "%.1f %s" : "%.0f %s", value,
                kUnits[unit]);
  return text;
}

}  // namespace sxwizard
