#include "plugins/msg_store.h"

#include "plugins/sxplugin.h"

namespace sx {

namespace {
struct InitialMessage {
  const char* name;
  int32_t number;
};
#define SX_INITIAL_MESSAGE(name, number) {#name, number},
constexpr InitialMessage kInitialMessages[] = {SX_MESSAGE_LIST(SX_INITIAL_MESSAGE)};
#undef SX_INITIAL_MESSAGE
static_assert(sizeof kInitialMessages / sizeof kInitialMessages[0] == SX_MESSAGE_COUNT);
}  // namespace

TMsgStore::TMsgStore() {
  for (const InitialMessage& message : kInitialMessages) {
    const std::string& stored = names_.emplace_back(message.name);
    byName_.emplace(Key(stored), message.number);
    byNumber_.emplace(message.number, &stored);
  }
}

std::string TMsgStore::Key(std::string_view name) {
  std::string key(name);
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

int32_t TMsgStore::RegisterMessage(std::string_view name) {
  if (name.empty()) return 0;
  std::string key = Key(name);
  std::lock_guard lock(mutex_);
  if (auto found = byName_.find(key); found != byName_.end()) return found->second;
  const int32_t number = ++counter_;
  const std::string& stored = names_.emplace_back(name);
  byName_.emplace(std::move(key), number);
  byNumber_.emplace(number, &stored);
  return number;
}

int32_t TMsgStore::FindMessage(std::string_view name) const {
  std::string key = Key(name);
  std::lock_guard lock(mutex_);
  auto found = byName_.find(key);
  return found == byName_.end() ? 0 : found->second;
}

const char* TMsgStore::MessageName(int32_t number) const {
  std::lock_guard lock(mutex_);
  auto found = byNumber_.find(number);
  return found == byNumber_.end() ? "" : found->second->c_str();
}

int TMsgStore::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(names_.size());
}

}  // namespace sx
