#include "platform/security.h"

#include "host/host.h"
#include "util/os_version.h"

namespace sx {

std::string TSid::ToString() const {
  uint64_t value = 0;
  for (uint8_t b : authority) value = (value << 8) | b;
  std::string text = "S-1-" + std::to_string(value);
  for (uint32_t sub : subAuthorities) text += "-" + std::to_string(sub);
  return text;
}

TSid MakeWellKnownSid(uint32_t code) {
  // The security functions live in advapi32.dll, which only the NT family has.
  if (IsWin9x()) throw ESecurityError("AdvApi32.dll not loaded");
  TSid sid;
  sid.authority[5] = static_cast<uint8_t>(code & 0xFF);
  sid.subAuthorities.push_back((code >> 8) & 0xFF);
  if (uint32_t second = code >> 16) sid.subAuthorities.push_back(second);
  return sid;
}

namespace {

// The groups in the simulated user's token: everyone, the users, and the administrators when the
// machine says the user is one.
std::vector<TSid> TokenGroups() {
  std::vector<TSid> groups{MakeWellKnownSid(0x00000001), MakeWellKnownSid(0x02212005)};
  if (host::CurrentHost().Facts().admin) groups.push_back(MakeWellKnownSid(kAdministratorsSid));
  return groups;
}

}  // namespace

bool IsUserAdmin() {
  if (IsWin9x()) return true;
  const TSid administrators = MakeWellKnownSid(kAdministratorsSid);
  for (const auto& group : TokenGroups())
    if (group == administrators) return true;
  return false;
}

}  // namespace sx
