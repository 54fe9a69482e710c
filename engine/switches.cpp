#include "engine/switches.h"

#include "util/str_utils.h"

namespace sx {

namespace {

bool IsSwitchMatching(const std::string& p, std::string_view pattern) {
  return p.size() >= 2 && (p[0] == '-' || p[0] == '/') && MatchesWildcard(std::string_view(p).substr(1), pattern, true);
}

}  // namespace

std::optional<std::string> FindSwitch(const std::vector<std::string>& params, std::string_view pattern) {
  for (const auto& p : params)
    if (IsSwitchMatching(p, pattern)) return p;
  return std::nullopt;
}

std::optional<std::string> ParameterAfterSwitch(const std::vector<std::string>& params, std::string_view pattern) {
  for (size_t i = 0; i < params.size(); ++i)
    if (IsSwitchMatching(params[i], pattern)) {
      if (i + 1 < params.size()) return params[i + 1];
      return std::nullopt;
    }
  return std::nullopt;
}

std::string SwitchValue(std::string_view parameter, size_t offset) {
  std::string_view value = offset >= 1 && offset - 1 <= parameter.size() ? parameter.substr(offset - 1) : "";
  if (!value.empty() && value.front() == '"') return Unquote(value, '"');
  return std::string(value);
}

}  // namespace sx
