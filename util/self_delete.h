// A running program that removes itself: a batch file beside its folder deletes the program once
// it has ended, then deletes itself.
#pragma once

#include <string_view>

namespace sx {

// Writes and starts the batch (hidden, not waited for). With `removeFolder` the program's folder
// is removed too. False when the batch could not be written or started.
bool StartSelfDeletingBatch(std::string_view programPath, bool removeFolder);

}  // namespace sx
