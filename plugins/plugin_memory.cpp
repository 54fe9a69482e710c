#include "plugins/plugin_memory.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace sx {

TPluginMemory::~TPluginMemory() {
  for (const auto& [address, size] : blocks_) std::free(reinterpret_cast<void*>(address));
}

void* TPluginMemory::Allocate(std::intptr_t size) {
  if (size < 0) return nullptr;
  // A block of 0 bytes still gets an address of its own.
  void* block = std::calloc(size == 0 ? 1 : static_cast<std::size_t>(size), 1);
  if (!block) return nullptr;
  std::lock_guard lock(mutex_);
  blocks_[reinterpret_cast<std::uintptr_t>(block)] = static_cast<std::size_t>(size);
  return block;
}

char* TPluginMemory::AllocateText(std::string_view text) {
  auto* block = static_cast<char*>(Allocate(static_cast<std::intptr_t>(text.size() + 1)));
  if (block && !text.empty()) std::memcpy(block, text.data(), text.size());
  return block;
}

bool TPluginMemory::Free(const void* block) {
  {
    std::lock_guard lock(mutex_);
    auto found = blocks_.find(reinterpret_cast<std::uintptr_t>(block));
    if (found == blocks_.end()) return false;
    blocks_.erase(found);
  }
  std::free(const_cast<void*>(block));
  return true;
}

bool TPluginMemory::IsBlock(const void* p) const {
  std::lock_guard lock(mutex_);
  return blocks_.count(reinterpret_cast<std::uintptr_t>(p)) != 0;
}

std::optional<std::size_t> TPluginMemory::RoomAt(const void* p) const {
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  std::lock_guard lock(mutex_);
  auto after = blocks_.upper_bound(address);
  if (after == blocks_.begin()) return std::nullopt;
  const auto& [start, size] = *std::prev(after);
  if (address - start >= (size == 0 ? 1 : size)) return std::nullopt;
  return size - (address - start);
}

std::size_t TPluginMemory::LiveBlocks() const {
  std::lock_guard lock(mutex_);
  return blocks_.size();
}

}  // namespace sx
