#include "engine/main_flow.h"

#include <cstdio>

#include "engine/engine_state.h"
#include "host/host.h"

namespace sx {

// The flow's stages arrive with the engine work; until then the flow reports where it ran.
bool RunMainFlow() {
  const TEngineState& state = EngineState();
  std::string line = "ExeName=" + state.ExeName + " TempDir=" + state.TempDir +
                     (state.ResumeMode ? " resume" : "") + (state.RepairMode ? " repair" : "");
  host::CurrentHost().Trace("mainflow", line);
  std::printf("sxengine: main flow ran (%s)\n", host::CurrentHost().AnsiToUtf8(line).c_str());
  return true;
}

}  // namespace sx
