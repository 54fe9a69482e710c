// The machine a tool works on: the folder named by SX_MACHINE, else the default machine folder,
// created on first use. Made the current host for the tool's lifetime.
#pragma once

#include <memory>

#include "host/host.h"

namespace sx::tool {

class ToolHost {
 public:
  ToolHost();
  ~ToolHost();
  ToolHost(const ToolHost&) = delete;
  ToolHost& operator=(const ToolHost&) = delete;
  sx::host::Host& host() { return *host_; }

 private:
  std::unique_ptr<sx::host::Host> host_;
  sx::host::Host* previous_;
};

}  // namespace sx::tool
