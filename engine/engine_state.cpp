#include "engine/engine_state.h"

namespace sx {

TEngineState& EngineState() {
  static TEngineState state;
  return state;
}

}  // namespace sx
