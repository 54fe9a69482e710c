// The engine's command-line switches: a parameter is a switch when it starts with '-' or '/' and
// is longer than one character; its name (the rest) is matched case-insensitively against a
// wildcard pattern, first parameter first.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sx {

// The first parameter that is a switch whose name matches `pattern` ("resume:*"), or std::nullopt.
std::optional<std::string> FindSwitch(const std::vector<std::string>& params, std::string_view pattern);

// The parameter that follows the first switch matching `pattern` ("/repair AppID"), or
// std::nullopt when there is no such switch or it is the last parameter.
std::optional<std::string> ParameterAfterSwitch(const std::vector<std::string>& params, std::string_view pattern);

// The value of a switch parameter "/name:value" from its character `offset` (1-based), unquoted
// when it starts with a double quote (a doubled quote stands for one).
std::string SwitchValue(std::string_view parameter, size_t offset);

}  // namespace sx
