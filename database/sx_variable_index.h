// The name index of a variables list: for every name (ignoring case, by the fixed case tables)
// the variables of that name in list order. It lets a lookup visit only the definitions of one
// name instead of the whole list, which matters because every reference in every expanded text
// is a lookup.
//
// The index follows the list by itself: variables appended since the last lookup are indexed at
// the next one, under the name they have by then; whenever a variable anywhere is destroyed or
// loaded from XML (cleared, attributes read) the index is rebuilt at its next use. What it cannot
// notice is code assigning a new Name to a variable that a lookup has already indexed; such code
// calls TsxVariables::Reindex. Not thread-safe, like the model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sx {

class TsxVariable;
class TsxVariables;

// Counts the events after which every name index must be rebuilt; see the file comment.
void NoteVariablesChanged();

class TsxVariableIndex {
 public:
  // The variables named `name` in list order, or nullptr when the list has none. The vector
  // stays valid until the next call of Find, Sync or Invalidate.
  const std::vector<TsxVariable*>* Find(const TsxVariables& list, std::string_view name);
  // Brings the index up to date with the list.
  void Sync(const TsxVariables& list);
  // The next use rebuilds the index from scratch.
  void Invalidate() { built_ = false; }
  // How often the index was rebuilt from scratch; a lookup that sees this change while it runs
  // (a condition it evaluated changed the list) cannot trust the variables it held.
  std::uint64_t Rebuilds() const { return rebuilds_; }

 private:
  struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  void Append(TsxVariable& variable);

  std::unordered_map<std::string, std::vector<TsxVariable*>, FoldedHash, FoldedEqual> names_;
  int indexed_ = 0;                 // items [0, indexed_) of the list are in names_
  std::uint64_t generation_ = 0;    // the change count the index was built at
  std::uint64_t rebuilds_ = 0;
  bool built_ = false;
};

}  // namespace sx
