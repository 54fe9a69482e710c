// Message boxes of the engine: task-modal, brought to the foreground once the main flow asks for
// it (ExtraBoxFlags), error and warning boxes titled with the product's message title.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

// A window of the engine (0 for none). Windows are drawn by the host; the engine only passes
// their handles along.
using WindowHandle = intptr_t;

constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbTaskModal = 0x2000;
constexpr uint32_t kMbSetForeground = 0x10000;

// Added to the style of every box; 0 until the main flow sets it to kMbSetForeground.
extern uint32_t ExtraBoxFlags;

// The title of error and warning boxes: the product name at the last language change. Empty
// gives "Error" and "Warning".
void SetMessageTitle(std::string_view title);
std::string MessageTitle();

// The box's answer (an ID* code). The style passed on is style + ExtraBoxFlags + task-modal.
int ShowMessageBox(WindowHandle owner, std::string_view title, std::string_view text, uint32_t style);
int ShowErrorBox(std::string_view text);
int ShowWarningBox(std::string_view text);

}  // namespace sx
