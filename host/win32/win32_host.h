// The Win32 host: the Host interface over the real Windows API (kernel32, advapi32, user32,
// shell32, ole32/oleaut32, sfc). Windows paths are host paths; the registry, processes, message
// boxes and windows are the system's own. Texts are 8-bit in the process's ANSI code page.
#pragma once

#include <memory>

#include "host/host.h"

namespace sx::host {

std::unique_ptr<Host> OpenWin32Host();

}  // namespace sx::host
