#include "engine/engine_common.h"

#include "database/sx_selection.h"
#include "engine/engine_context.h"
#include "host/host.h"
#include "util/message_boxes.h"
#include "util/message_queue.h"

namespace sx {

TSfcIsFileProtected SfcIsFileProtectedHook = nullptr;

namespace {
WindowHandle BoxOwner() {
  TEngineContext* engine = CurrentEngine();
  return engine ? engine->Plugins().ActiveWindow() : 0;
}
}  // namespace

int ShowErrorBoxTitled(std::string_view title, std::string_view text) {
  return ShowMessageBox(BoxOwner(), title, text, kMbIconError);
}

int ShowOwnedWarningBox(std::string_view text) {
  const std::string title = MessageTitle();
  return ShowMessageBox(BoxOwner(), title.empty() ? "Warning" : title, text, kMbIconWarning);
}

std::string EvaluateEngineExpression(std::string_view text, std::intptr_t mode) {
  TEngineContext* engine = CurrentEngine();
  return engine ? engine->Evaluator().EvaluateExpression(text, mode) : "";
}

bool EvaluateEngineBoolean(std::string_view text, std::intptr_t mode) {
  const std::string result = EvaluateEngineExpression(text, mode);
  return !result.empty() && result[0] == '1';
}

void WaitServingMessages(uint32_t startTick, uint32_t duration) {
  auto& host = host::CurrentHost();
  for (;;) {
    const uint32_t now = host.TickCount();
    if (now < startTick || now - startTick >= duration) return;
    PumpMessages();
  }
}

bool IsProtectedFile(std::string_view path) {
  return SfcIsFileProtectedHook && SfcIsFileProtectedHook(path);
}

int SetActiveInstallTypeById(std::string_view id) {
  TEngineContext* engine = CurrentEngine();
  return engine && SetActiveInstallType(engine->Database(), id) ? 0 : -1;
}

}  // namespace sx
