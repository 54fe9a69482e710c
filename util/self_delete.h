// A running program that removes itself: a batch file deletes the program once it has ended, then
// the folders it is asked to, then itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sx {

// Writes and starts the batch (hidden, not waited for). After the program it removes `folders` in
// their order, each only when it is empty by then (the program's folder first, then the folders
// around it). The batch lies beside the outermost of them (beside the program's folder when there
// are none), so that it is in none of them. False when it could not be written or started.
bool StartSelfDeletingBatch(std::string_view programPath, const std::vector<std::string>& folders = {});

}  // namespace sx
