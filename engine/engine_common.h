// Small services of the engine that its other parts share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

// A message box owned by the window the plug-ins name as active (CM_GETACTIVEWINDOW; none
// without plug-ins), with the error icon.
int ShowErrorBoxTitled(std::string_view title, std::string_view text);
// The same owner, with the warning icon and the message title ("Warning" when it is empty).
int ShowOwnedWarningBox(std::string_view text);

// The text without CR and LF, evaluated by the engine's evaluator in the given mode.
std::string EvaluateEngineExpression(std::string_view text, std::intptr_t mode);
// True when the result starts with "1".
bool EvaluateEngineBoolean(std::string_view text, std::intptr_t mode);

// Serves the main thread's queue until `duration` ms have passed since `startTick` (or the tick
// counter wrapped).
void WaitServingMessages(uint32_t startTick, uint32_t duration);

// True when every bit of `mask` is set in `value`.
constexpr bool FlagSet(uint32_t value, uint32_t mask) { return (value & mask) == mask; }

// Whether the system protects the file (the "sfc.dll" answer); false while the protection
// service is not loaded (the main flow loads it on Windows 2000, ME and later).
using TSfcIsFileProtected = bool (*)(std::string_view path);
extern TSfcIsFileProtected SfcIsFileProtectedHook;
bool IsProtectedFile(std::string_view path);

// Makes the install type with that ID active: 0, or -1 when there is none.
int SetActiveInstallTypeById(std::string_view id);

}  // namespace sx
