#include "tools/sxtool/tool_host.h"

#include "host/machine.h"
#include "platform/ini_cache.h"

namespace sx::tool {

ToolHost::ToolHost()
    : host_(sx::host::OpenMachine()),
      previous_(sx::host::SetCurrentHost(host_.get())) {}

ToolHost::~ToolHost() {
  IniCloseAll();
  host_->RegFlush();
  sx::host::SetCurrentHost(previous_);
}

}  // namespace sx::tool
