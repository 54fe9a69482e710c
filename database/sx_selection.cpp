#include "database/sx_selection.h"

#include <string>
#include <utility>
#include <vector>

#include "util/case_tables.h"

namespace sx {
namespace {

// The bookkeeping of one top-level selection operation: the IDs switched off through an
// Excepts list (the same operation does not switch them on again), and the switches in
// progress, which cut loops of Depends and Excepts.
struct TSelectionOperation {
  std::vector<std::string> exceptedIDs;
  std::vector<std::pair<const TsxFeature*, bool>> switching;

  bool IsExcepted(std::string_view id) const {
    for (const std::string& excepted : exceptedIDs)
      if (SameTextFast(excepted, id)) return true;
    return false;
  }
  bool IsSwitching(const TsxFeature* feature, bool value) const {
    for (const auto& [other, otherValue] : switching)
      if (other == feature && otherValue == value) return true;
    return false;
  }
};

thread_local TSelectionOperation* currentOperation = nullptr;

// Joins the operation in progress on this thread, or starts one that ends with the scope (also
// when an exception passes). A fresh scope always starts its own and restores the outer one.
class TOperationScope {
 public:
  enum TMode { kJoin, kFresh };
  explicit TOperationScope(TMode mode = kJoin) : outer_(currentOperation) {
    if (mode == kFresh || !currentOperation) currentOperation = &own_;
  }
  ~TOperationScope() { currentOperation = outer_; }
  TOperationScope(const TOperationScope&) = delete;
  TOperationScope& operator=(const TOperationScope&) = delete;
  TSelectionOperation& Operation() { return *currentOperation; }

 private:
  TSelectionOperation* outer_;
  TSelectionOperation own_;
};

// Marks a switch as in progress for the lifetime of the guard.
class TSwitchGuard {
 public:
  TSwitchGuard(TSelectionOperation& operation, const TsxFeature& feature, bool value)
      : operation_(operation) {
    operation_.switching.emplace_back(&feature, value);
  }
  ~TSwitchGuard() { operation_.switching.pop_back(); }
  TSwitchGuard(const TSwitchGuard&) = delete;
  TSwitchGuard& operator=(const TSwitchGuard&) = delete;

 private:
  TSelectionOperation& operation_;
};

// Clears Required for the lifetime of the guard.
class TRequiredOff {
 public:
  explicit TRequiredOff(TsxFeature& feature) : feature_(feature), saved_(feature.Required) {
    feature_.Required = false;
  }
  ~TRequiredOff() { feature_.Required = saved_; }
  TRequiredOff(const TRequiredOff&) = delete;
  TRequiredOff& operator=(const TRequiredOff&) = delete;

 private:
  TsxFeature& feature_;
  bool saved_;
};

void NotifyStateChange(TsxFeature& feature) {
  TsxMainDatabase* root = FindDatabase(&feature);
  if (root && root->OnFeatureStateChange) root->OnFeatureStateChange(&feature);
}

// The feature a reference names in the root's tree; a reference without an ID names nothing.
TsxFeature* Resolve(const TsxMainDatabase* root, const TsxFeature& reference) {
  if (!root || reference.ID.empty()) return nullptr;
  return FindFeature(*root->Features, reference.ID);
}

bool DependsOn(const TsxFeature& feature, std::string_view id) {
  if (id.empty()) return false;
  for (const TsxFeature& reference : *feature.Depends)
    if (SameTextFast(reference.ID, id)) return true;
  return false;
}

TsxFeature* Search(const TsxFeatures& list, std::string_view id, const TsxFeature* target,
                   TsxFeature*& parent, TsxFeature*& next) {
  for (int i = 0; i < list.Count(); ++i) {
    TsxFeature& feature = list[i];
    if (!IsConditionTrue(feature)) continue;
    TsxFeature* found = nullptr;
    if (target ? &feature == target : SameTextFast(feature.ID, id)) {
      found = &feature;
      next = FirstEnabled(*feature.Features, 0);
    } else if (feature.Features->Count() > 0) {
      TsxFeature* candidate = &feature;
      found = Search(*feature.Features, id, target, candidate, next);
      if (found) parent = candidate;
    }
    if (found) {
      if (!next) next = FirstEnabled(list, i + 1);
      return found;
    }
  }
  return nullptr;
}

void Visit(const TsxFeatures& features, int level,
           const std::function<void(TsxFeature&, int)>& visit) {
  for (TsxFeature& feature : features) {
    if (!IsConditionTrue(feature)) continue;
    visit(feature, level);
    Visit(*feature.Features, level + 1, visit);
  }
}

int CombinedStateOf(const TsxFeatures& features, bool& anyEnabled);

int UpdateStateOf(TsxFeature& feature, bool& enabled) {
  enabled = IsConditionTrue(feature);
  if (!enabled) return 0;
  if (feature.Features->Count() > 0) {
    bool anyEnabled = false;
    const int combined = CombinedStateOf(*feature.Features, anyEnabled);
    // Sub-features that are all disabled say nothing about the feature: it keeps its own state.
    if (anyEnabled) {
      const int before = GetState(feature);
      feature.Selected = combined != 0;
      feature.Partial = combined == 2;
      if (GetState(feature) != before) NotifyStateChange(feature);
    }
  }
  return GetState(feature);
}

int CombinedStateOf(const TsxFeatures& features, bool& anyEnabled) {
  anyEnabled = false;
  int result = 0;
  bool first = true;
  for (TsxFeature& feature : features) {
    bool enabled = false;
    const int state = UpdateStateOf(feature, enabled);
    anyEnabled = anyEnabled || enabled;
    if (first) result = state;
    else if (state == 2 || state != result) result = 2;
    first = false;
  }
  return result;
}

}  // namespace

int GetState(const TsxFeature& feature) {
  if (!feature.Selected) return 0;
  return feature.Partial ? 2 : 1;
}

TsxFeature* FirstEnabled(const TsxFeatures& list, int from) {
  for (int i = from < 0 ? 0 : from; i < list.Count(); ++i)
    if (IsConditionTrue(list[i])) return &list[i];
  return nullptr;
}

TsxInstallType* FirstEnabled(const TsxInstallTypes& list, int from) {
  for (int i = from < 0 ? 0 : from; i < list.Count(); ++i)
    if (IsConditionTrue(list[i])) return &list[i];
  return nullptr;
}

TsxFeature* FindFeature(const TsxFeatures& features, std::string_view id, TsxFeature*& parent,
                        TsxFeature*& next) {
  next = nullptr;
  if (features.Count() == 0) return nullptr;
  const TsxFeature* target = nullptr;
  if (id.empty()) {
    target = FirstEnabled(features, 0);
    if (!target) return nullptr;
  }
  return Search(features, id, target, parent, next);
}

TsxFeature* FindFeature(const TsxFeatures& features, std::string_view id) {
  TsxFeature* parent = nullptr;
  TsxFeature* next = nullptr;
  return FindFeature(features, id, parent, next);
}

void ForEachEnabledFeature(const TsxFeatures& features,
                           const std::function<void(TsxFeature&, int level)>& visit) {
  Visit(features, 0, visit);
}

void SetSelected(TsxFeature& feature, bool value) {
  if (!IsConditionTrue(feature)) return;
  const int before = GetState(feature);
  TOperationScope scope;
  TSelectionOperation& operation = scope.Operation();
  if (feature.Required) value = true;
  // The same switch further up the stack finishes this feature; going on would loop.
  if (operation.IsSwitching(&feature, value)) return;
  TSwitchGuard guard(operation, feature, value);
  TsxMainDatabase* root = FindDatabase(&feature);

  if (value) {
    if (operation.IsExcepted(feature.ID)) return;
    for (const TsxFeature& reference : *feature.Excepts) {
      TsxFeature* excepted = Resolve(root, reference);
      if (!excepted) continue;
      operation.exceptedIDs.push_back(excepted->ID);
      TRequiredOff requiredOff(*excepted);
      SetSelected(*excepted, false);
    }
    for (const TsxFeature& reference : *feature.Depends)
      if (TsxFeature* dependency = Resolve(root, reference)) SetSelected(*dependency, true);
  } else if (root) {
    ForEachEnabledFeature(*root->Features, [&](TsxFeature& other, int) {
      if (other.ID == feature.ID || !DependsOn(other, feature.ID)) return;
      TRequiredOff requiredOff(other);
      SetSelected(other, false);
    });
  }

  feature.Selected = value;
  feature.Partial = false;
  if (GetState(feature) != before) NotifyStateChange(feature);
  for (TsxFeature& sub : *feature.Features) SetSelected(sub, value);
}

int UpdateState(TsxFeature& feature) {
  bool enabled = false;
  return UpdateStateOf(feature, enabled);
}

int CombinedState(const TsxFeatures& features) {
  bool anyEnabled = false;
  return CombinedStateOf(features, anyEnabled);
}

bool SetActiveInstallType(TsxMainDatabase& database, std::string_view id) {
  TsxInstallType* installType = database.InstallTypes->FindByID(id);
  if (!installType || !IsConditionTrue(*installType)) return false;
  database.InstallTypes->Active = installType;
  database.ActiveInstallType = installType->ID;
  for (TsxFeature& feature : *database.Features) SetSelected(feature, false);
  {
    // One operation: a feature excepted by an earlier one of the list stays off.
    TOperationScope scope(TOperationScope::kFresh);
    for (const TsxFeature& reference : *installType->Features)
      if (TsxFeature* feature = Resolve(&database, reference)) SetSelected(*feature, true);
  }
  CombinedState(*database.Features);
  if (database.OnInstallTypeChange) database.OnInstallTypeChange(installType);
  return true;
}

bool SetFeatureState(TsxMainDatabase& database, std::string_view id, bool value) {
  TsxFeature* feature = FindFeature(*database.Features, id);
  if (!feature) return false;
  SetSelected(*feature, value);
  CombinedState(*database.Features);
  return feature->Selected == value;
}

TsxInstallType* FindInstallType(const TsxInstallTypes& installTypes, std::string_view id,
                                TsxInstallType*& next) {
  next = nullptr;
  for (int i = 0; i < installTypes.Count(); ++i) {
    TsxInstallType& installType = installTypes[i];
    if (!IsConditionTrue(installType)) continue;
    if (id.empty() || SameTextFast(installType.ID, id)) {
      next = FirstEnabled(installTypes, i + 1);
      return &installType;
    }
  }
  return nullptr;
}

}  // namespace sx
