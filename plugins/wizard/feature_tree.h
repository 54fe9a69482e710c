// The wizard's picture of the project's features: the tree as the engine lists it (depth-first,
// each feature naming its parent), the selection state of each, and the disk space the selection
// needs. No engine calls here: the wizard fills the tree from the engine's records and states.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sxwizard {

enum class FeatureState { kOff = 0, kOn = 1, kPartial = 2 };

struct FeatureRow {
  std::string id, name, description, parentId;
  bool required = false;
  int depth = 0;  // 0 for a top-level feature
  FeatureState state = FeatureState::kOff;
};

// What the builder tells the wizard about sizes: the bytes of each component, and the components
// each feature brings (its own, not those of its sub-features).
struct SizeFacts {
  std::map<std::string, uint64_t> componentBytes;                 // upper-case component IDs
  std::map<std::string, std::vector<std::string>> featureComponents;  // upper-case feature IDs
  bool Known() const { return !componentBytes.empty(); }
};

class FeatureTree {
 public:
  // Appends a feature in the engine's depth-first order; its depth follows from its parent.
  void Add(FeatureRow row);
  const std::vector<FeatureRow>& Rows() const { return rows_; }
  bool Empty() const { return rows_.empty(); }
  void SetState(size_t index, FeatureState state) { rows_.at(index).state = state; }

  // The bytes of the feature's own components.
  uint64_t OwnBytes(size_t index, const SizeFacts& facts) const;
  // The bytes of the feature and of all its sub-features.
  uint64_t BranchBytes(size_t index, const SizeFacts& facts) const;
  // The bytes the selection needs: every component of a selected feature (on or partly on),
  // counted once even when several features bring it.
  uint64_t NeededBytes(const SizeFacts& facts) const;

 private:
  std::vector<FeatureRow> rows_;
};

// Reads the builder's size facts from the wizard's configuration: "ComponentSizes" holds
// component=bytes, "FeatureComponents" holds feature=component,component,...
SizeFacts ParseSizeFacts(const std::map<std::string, std::string>& componentSizes,
                         const std::map<std::string, std::string>& featureComponents);

// "512 B", "1.50 KB", "12.0 MB", "345 GB" (binary units, three significant digits).
std::string FormatBytes(uint64_t bytes);

std::string UpperAscii(std::string text);

}  // namespace sxwizard
