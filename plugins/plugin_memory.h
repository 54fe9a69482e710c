// The engine's memory for plug-ins: blocks handed out by CM_ALLOCMEM and by the commands that
// return an allocated text (CM_CALCEXPRESSION, CM_CALCACTIONS), freed by CM_FREEMEM, and the
// result texts of plug-in functions, which plug-ins allocate here and the engine frees.
//
// The manager knows every block it handed out and its size. Freeing a pointer it did not hand
// out (or freeing a block twice) does nothing instead of corrupting the heap, and the size of a
// block bounds what the engine writes into it. Blocks still live when the manager goes are freed.
//
// Threads: safe (plug-in functions run on the installation thread too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>

namespace sx {

class TPluginMemory {
 public:
  TPluginMemory() = default;
  ~TPluginMemory();
  TPluginMemory(const TPluginMemory&) = delete;
  TPluginMemory& operator=(const TPluginMemory&) = delete;

  // A zero-filled block of `size` bytes; nullptr for a negative size or when memory is short.
  void* Allocate(std::intptr_t size);
  // A new block holding the text and its NUL (an empty text gives a block of one NUL).
  char* AllocateText(std::string_view text);
  // Frees a block of this manager. False, with nothing freed, for any other pointer.
  bool Free(const void* block);
  // True when `p` is the start of a live block.
  bool IsBlock(const void* p) const;
  // The bytes from `p` to the end of the live block that holds it; std::nullopt when no live
  // block holds `p`.
  std::optional<std::size_t> RoomAt(const void* p) const;
  std::size_t LiveBlocks() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::uintptr_t, std::size_t> blocks_;  // start address -> size asked for
};

}  // namespace sx
