#include "tools/sxtool/tool_host.h"

#include "host/posix/posix_host.h"

namespace sx::tool {

ToolHost::ToolHost()
    : host_(sx::host::OpenPosixHost(sx::host::DefaultMachineFolder())),
      previous_(sx::host::SetCurrentHost(host_.get())) {}

ToolHost::~ToolHost() {
  host_->RegFlush();
  sx::host::SetCurrentHost(previous_);
}

}  // namespace sx::tool
