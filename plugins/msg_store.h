// TMsgStore: the table that gives every event and command its number and its name.
//
// It starts with the 50 messages of the plug-in interface (EV_SETSTARTUPINFO = 1 ...
// CM_CALCACTIONS = 282). Names registered later (messages that plug-ins agree on among
// themselves, and the engine's named messages such as CM_GETACTIVEWINDOW) get the numbers 4096,
// 4097, ... in the order they are first registered. Names compare ignoring ASCII letter case; a
// name keeps the spelling of its first registration.
//
// Threads: safe. Plug-ins register names from whichever thread calls them, and the names handed
// out stay valid (and unchanged) for the table's lifetime, since the table only grows.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace sx {

class TMsgStore {
 public:
  static constexpr int32_t kFirstRegistered = 4096;

  TMsgStore();
  TMsgStore(const TMsgStore&) = delete;
  TMsgStore& operator=(const TMsgStore&) = delete;

  // The number of the name; a new name is registered first and gets the next free number. An
  // empty name is no message: 0.
  int32_t RegisterMessage(std::string_view name);
  // The number of the name, 0 when it is unknown.
  int32_t FindMessage(std::string_view name) const;
  // The name of the message with that number, "" when it has none. The text lives as long as
  // the table.
  const char* MessageName(int32_t number) const;
  // Entries in the table (50 at the start).
  int Count() const;

 private:
  static std::string Key(std::string_view name);

  mutable std::mutex mutex_;
  std::deque<std::string> names_;                       // in registration order, never moved
  std::unordered_map<std::string, int32_t> byName_;     // by upper-case name
  std::unordered_map<int32_t, const std::string*> byNumber_;
  int32_t counter_ = kFirstRegistered - 1;  // the last number given to a registered name
};

}  // namespace sx
