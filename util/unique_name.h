// Time-based unique names for backups, staging folders and temporary programs.
#pragma once

#include <string>
#include <string_view>

namespace sx {

// prefix + code + suffix, where the code is 3 base-32 digits of the day and 5 of the hundredth
// of a second of the local time; with `keep8` the prefix is cut to 4 characters and prefix and
// code together are 8 characters. A name that exists in `folder`, or was drawn before within the
// same hundredth of a second, moves on to the next hundredth without waiting. The name is returned without the folder.
std::string MakeUniqueName(std::string_view folder, std::string_view prefix, std::string_view suffix,
                           bool keep8);

}  // namespace sx
