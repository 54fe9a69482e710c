// Programs loaded as libraries. Windows loads an .exe with LoadLibrary as a module without
// callable exports; the simulated machine does the same for the files it can start: ELF programs
// (which the dynamic loader refuses) and "#!" scripts.
#pragma once

#include <memory>
#include <string>

#include "host/host.h"

namespace sx::host {

// The host file is an ELF program (it has a program interpreter) or begins with "#!".
bool IsStartableProgramFile(const std::string& hostPath);

// A loaded program: no symbol is found in it.
std::unique_ptr<Library> MakeProgramLibrary();

}  // namespace sx::host
