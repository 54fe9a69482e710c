#include "database/sx_variable_index.h"

#include <atomic>

#include "database/sx_variable.h"
#include "util/case_tables.h"

namespace sx {
namespace {

std::atomic<std::uint64_t> variableChanges{1};

}  // namespace

void NoteVariablesChanged() { variableChanges.fetch_add(1, std::memory_order_relaxed); }

std::size_t TsxVariableIndex::FoldedHash::operator()(std::string_view name) const {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the upper-case image
  for (char c : name) {
    hash ^= UpperTable[static_cast<unsigned char>(c)];
    hash *= 1099511628211ull;
  }
  return static_cast<std::size_t>(hash);
}

bool TsxVariableIndex::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return SameTextFast(a, b);
}

void TsxVariableIndex::Append(TsxVariable& variable) {
  auto found = names_.find(std::string_view(variable.Name));
  if (found == names_.end()) {
    std::string key(variable.Name.size(), '\0');
    for (std::size_t i = 0; i < key.size(); ++i)
      key[i] = static_cast<char>(UpperTable[static_cast<unsigned char>(variable.Name[i])]);
    found = names_.emplace(std::move(key), std::vector<TsxVariable*>()).first;
  }
  found->second.push_back(&variable);
}

void TsxVariableIndex::Sync(const TsxVariables& list) {
  const std::uint64_t now = variableChanges.load(std::memory_order_relaxed);
  const int count = list.Count();
  if (!built_ || generation_ != now || indexed_ > count) {
    names_.clear();
    indexed_ = 0;
    generation_ = now;
    built_ = true;
    ++rebuilds_;
  }
  for (; indexed_ < count; ++indexed_) Append(list.Items(indexed_));
}

const std::vector<TsxVariable*>* TsxVariableIndex::Find(const TsxVariables& list,
                                                        std::string_view name) {
  Sync(list);
  auto found = names_.find(name);
  return found == names_.end() ? nullptr : &found->second;
}

}  // namespace sx
