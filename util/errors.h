// The engine's exception base. Named failures (XML syntax, expression errors, security checks,
// floating-point failures) derive from it; only the top level of each program catches them.
#pragma once

#include <stdexcept>
#include <string>

namespace sx {

class EEngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sx
