// The shell services of the simulated machine: broadcasts to top-level windows. The machine has
// no windows to notify, so each broadcast is an observable event of the trace.
#include "host/posix/posix_host_impl.h"

namespace sx::host {

void PosixHost::BroadcastSettingChange(std::string_view area) {
  Trace("broadcast", "WM_WININICHANGE " + std::string(area));
}

void PosixHost::BroadcastFontChange() { Trace("broadcast", "WM_FONTCHANGE"); }

}  // namespace sx::host
