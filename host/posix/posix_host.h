// The POSIX host: a Windows machine simulated in a Wine-style prefix folder.
//
//   <machine>/dosdevices/c:   -> ../drive_c   drive letters (symlinks or folders)
//   <machine>/drive_c/...                     drive C:
//   <machine>/system.reg, user.reg, userdef.reg   HKLM, HKCU, HKU\.Default (Wine format)
//   <machine>/sxmachine.ini                   simulation settings; absent = defaults
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/host.h"

namespace sx::host {

// SX_MACHINE when set, else $XDG_DATA_HOME/sxengine/machine, else
// ~/.local/share/sxengine/machine.
std::string DefaultMachineFolder();

// Creates a fresh machine in `folder`: the drive folders, the user profile with its shell
// folders, and registry files with what Windows keeps there. Only what is missing is made; an
// existing Wine prefix stays as it is. Raises MachineError when the folder cannot be made.
void InitMachine(const std::string& folder);

// Opens the machine in `folder`, creating it first when it has no drive C.
std::unique_ptr<Host> OpenPosixHost(const std::string& folder);

}  // namespace sx::host

namespace sx::host {

// What Windows does when it starts again: frees the files that running programs held
// ([FilesInUse] of sxmachine.ini), performs the pending renames and deletions
// (PendingFileRenameOperations on NT, the [Rename] section of wininit.ini on 9x), then runs the
// RunOnce entries of HKLM and then of HKCU in order, removing each value before its program
// starts (names starting with '!' after it ended), and waits for each program. Every step is
// reported through `report`, one line each.
void PerformReboot(Host& host, const std::function<void(const std::string&)>& report);

}  // namespace sx::host
