// The simulated machine of a fuzz target: a fresh machine folder under the temporary folder
// ($TMPDIR), made once per process, installed as the current host and removed at exit.
//
// The machine has no drive Z: (a Wine prefix maps it to the host's root folder), so no path a
// fuzzed input names can reach a file outside the machine folder. Message boxes take their
// default answer without asking, whether or not a terminal is attached.
#pragma once

#include <string>
#include <string_view>

#include "host/host.h"

namespace sx::fuzz {

// The machine, made on the first call.
host::Host& Machine();

// Writes `content` to the file at a Windows path of the machine (its folder must exist); aborts
// the target when that fails, as the target could not test anything.
void WriteMachineFile(std::string_view windowsPath, std::string_view content);

// While one lives, the current host refuses every change to files, folders and the registry
// (kErrorAccessDenied), so an input that asks for changes leaves the machine as it was and the
// next input sees the same machine.
class ReadOnlyMachine {
 public:
  ReadOnlyMachine();
  ~ReadOnlyMachine();
  ReadOnlyMachine(const ReadOnlyMachine&) = delete;
  ReadOnlyMachine& operator=(const ReadOnlyMachine&) = delete;

 private:
  host::Host* previous_;
};

}  // namespace sx::fuzz
