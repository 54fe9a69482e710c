// Creating a folder with every missing parent.
#pragma once

#include <string_view>

namespace sx {

// Creates the folder and its missing parents, parents first. One trailing backslash is ignored;
// paths under 3 characters, existing folders and a path equal to its own parent are left alone.
// Failures are not reported: callers find out when they use the folder.
void CreateFolderPath(std::string_view path);

// The folder part of a path, with its trailing backslash ("C:\a\b.txt" gives "C:\a\"); "" when
// the path has no folder part.
std::string_view FolderOf(std::string_view path);

}  // namespace sx
