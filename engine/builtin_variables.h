// The variables the engine defines before and after the project database is loaded, and the
// silent settings' variables.
#pragma once

namespace sx {

class TsxMainDatabase;
class TsxSilentSettings;
struct TEngineState;

// The machine's variables (DefineSystemVariables), "SourcePath", "OSPlatform", "OSVersion",
// "QuickLaunch", "ParamStr" (all marked Transient), "SilentMode" (the project's value, else 1
// with the switch "s") and the process environment for names nothing defines yet.
void SetBuiltinVariables(TsxMainDatabase& database, const TEngineState& state);

// Each variable of the silent settings whose condition holds sets the project's variable of the
// same name, in order.
void ApplySilentVariables(TsxMainDatabase& database, const TsxSilentSettings& settings);

}  // namespace sx
