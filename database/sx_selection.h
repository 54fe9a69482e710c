// Feature and install-type selection: keeps Selected and Partial of every feature consistent
// while install types are activated and single features are switched, and reports each change
// through the root's OnFeatureStateChange and OnInstallTypeChange.
//
// Rules:
// - A feature or install type whose condition is false (disabled) is passed over by everything
//   here, with its whole subtree.
// - Selecting a feature first switches off the features its Excepts name (even Required ones)
//   and remembers their IDs for the rest of the operation, so that nothing in the same operation
//   switches them on again; then it selects the features its Depends name.
// - Deselecting a feature deselects every feature that depends on it (even Required ones).
// - A Required feature cannot be deselected directly. Sub-features follow their parent; a
//   parent's state is then recomputed from its sub-features (state 2: selected, but not all of
//   its sub-features are).
// - Depends and Excepts name features by ID anywhere in the root's tree; names that match
//   nothing are skipped. A loop of Depends or Excepts ends: a feature that is already being
//   switched the same way further up in the same operation is left to that call.
//
// Feature states: 0 not selected, 1 selected, 2 selected with its sub-features mixed.
// One thread runs a selection operation at a time; the operation's bookkeeping is per thread.
#pragma once

#include <functional>
#include <string_view>

#include "database/sx_main_database.h"

namespace sx {

// 0, 1 or 2 from Selected and Partial.
int GetState(const TsxFeature& feature);

// The first item at index `from` or later whose condition holds; nullptr when there is none.
TsxFeature* FirstEnabled(const TsxFeatures& list, int from);
TsxInstallType* FirstEnabled(const TsxInstallTypes& list, int from);

// Searches the tree of `features` in pre-order over enabled features (a disabled feature hides
// its subtree) for the first feature whose ID equals `id` ignoring case; an empty `id` means the
// first enabled feature of the list. On success `parent` becomes the feature whose Features list
// holds the result (left as it was for a feature of `features` itself) and `next` the following
// enabled feature in pre-order, or nullptr after the last one. `next` is nullptr when nothing is
// found.
TsxFeature* FindFeature(const TsxFeatures& features, std::string_view id, TsxFeature*& parent,
                        TsxFeature*& next);
TsxFeature* FindFeature(const TsxFeatures& features, std::string_view id);

// Calls `visit(feature, level)` for every enabled feature of the tree in pre-order (level 0 for
// the features of `features`); a disabled feature hides its subtree.
void ForEachEnabledFeature(const TsxFeatures& features,
                           const std::function<void(TsxFeature&, int level)>& visit);

// Selects or deselects the feature with all consequences (see the file comment).
void SetSelected(TsxFeature& feature, bool value);

// Recomputes the state of a feature with sub-features from them and returns it; a feature
// without enabled sub-features keeps its own state, a disabled one gives 0 and is left alone.
int UpdateState(TsxFeature& feature);
// Updates every feature of the list and returns their combined state: 0 for an empty list, the
// common state when all agree, else 2. A disabled feature counts as 0.
int CombinedState(const TsxFeatures& features);

// Makes the install type with this ID (ignoring case) active: every top-level feature is
// deselected, the install type's features are selected in order as one operation, and the
// parents are updated. False, changing nothing, when the install type is missing or disabled.
bool SetActiveInstallType(TsxMainDatabase& database, std::string_view id);

// Selects or deselects one feature (found as FindFeature finds it) and updates the parents.
// True when the feature now has the asked-for selection; false when it is missing or Required,
// an exclusion or a dependency overrode the request.
bool SetFeatureState(TsxMainDatabase& database, std::string_view id, bool value);

// The first enabled install type whose ID equals `id` ignoring case (an empty `id` means the
// first enabled one); `next` becomes the first enabled install type after it, nullptr when
// there is none or nothing was found.
TsxInstallType* FindInstallType(const TsxInstallTypes& installTypes, std::string_view id,
                                TsxInstallType*& next);

}  // namespace sx
