// Security identifiers and the administrator check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/errors.h"

namespace sx {

class ESecurityError : public EEngineError {
 public:
  using EEngineError::EEngineError;
};

// A security identifier: revision 1, a 6-byte authority, sub-authorities.
struct TSid {
  uint8_t authority[6] = {};
  std::vector<uint32_t> subAuthorities;
  std::string ToString() const;  // "S-1-5-32-544"
  friend bool operator==(const TSid&, const TSid&) = default;
};

// The built-in Administrators group S-1-5-32-544.
constexpr uint32_t kAdministratorsSid = 0x02202005;

// A well-known SID from its packed code: bits 0-7 the last byte of the authority, bits 8-15 the
// first sub-authority, bits 16-31 the second (absent when 0). Raises ESecurityError
// "AdvApi32.dll not loaded" where the system has no security functions (Windows 9x).
TSid MakeWellKnownSid(uint32_t code);

// Whether the user has administrator rights: always on Windows 9x, which has no accounts; on NT
// when the user's groups hold the Administrators group.
bool IsUserAdmin();

}  // namespace sx
