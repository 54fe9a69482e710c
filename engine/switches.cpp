#include "engine/switches.h"

#include "util/str_utils.h"

namespace sx {

std::optional<std::string> FindSwitch(const std::vector<std::string>& params, std::string_view pattern) {
  for (const auto& p : params) {
    if (p.size() < 2 || (p[0] != '-' && p[0] != '/')) continue;
    if (MatchesWildcard(std::string_view(p).substr(1), pattern, true)) return p;
  }
  return std::nullopt;
}

std::string SwitchValue(std::string_view parameter, size_t offset) {
  std::string_view value = offset >= 1 && offset - 1 <= parameter.size() ? parameter.substr(offset - 1) : "";
  if (!value.empty() && value.front() == '"') return Unquote(value, '"');
  return std::string(value);
}

}  // namespace sx
