#include "engine/engine_install_services.h"

#include <memory>

#include "database/sx_install_items.h"
#include "engine/engine_context.h"
#include "engine/engine_state.h"
#include "engine/resume_files.h"
#include "engine/run_app_items.h"
#include "host/host.h"
#include "install/install_actions.h"
#include "install/servers.h"
#include "platform/ini_cache.h"
#include "plugins/plugin_host.h"
#include "util/message_boxes.h"
#include "util/message_queue.h"

namespace sx {
namespace {

// Runs the call on the main thread (at once when already there) and hands back its result.
template <class Call>
auto OnMainThread(Call&& call) {
  decltype(call()) result{};
  SendToMainThread([&] { result = call(); });
  return result;
}

}  // namespace

TsxMainDatabase& TEngineInstallServices::Database() { return engine_.Database(); }
bool TEngineInstallServices::Aborted() { return EngineState().Aborted; }
void TEngineInstallServices::SetAborted(bool value) { EngineState().Aborted = value; }
bool TEngineInstallServices::ResumeMode() { return EngineState().ResumeMode; }
void TEngineInstallServices::SetResumeMode(bool value) { EngineState().ResumeMode = value; }
bool TEngineInstallServices::ResumePending() { return EngineState().ResumePending; }
void TEngineInstallServices::SetResumePending(bool value) { EngineState().ResumePending = value; }
std::string TEngineInstallServices::ExeName() { return EngineState().ExeName; }

std::intptr_t TEngineInstallServices::SendEvent(std::int32_t number, std::intptr_t param1,
                                                std::intptr_t param2, bool toAll) {
  // The plug-in host carries the event to the main thread itself.
  return engine_.Plugins().SendEvent(number, param1, param2, toAll);
}

void TEngineInstallServices::PostEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2) {
  engine_.Plugins().PostEvent(number, param1, param2);
}

void TEngineInstallServices::PostItemEvent(std::int32_t number, std::intptr_t param1, const SxFileItem& item) {
  // The copy lives until the event was delivered.
  struct HeldItem {
    std::string path;
    SxFileItem item;
  };
  auto held = std::make_shared<HeldItem>(HeldItem{item.Path ? item.Path : "", item});
  held->item.Path = held->path.c_str();
  engine_.Plugins().PostEvent(number, param1, reinterpret_cast<std::intptr_t>(&held->item), held);
}

void TEngineInstallServices::WaitForEvents() { WaitForPostedTasks(); }

void TEngineInstallServices::ShowStatusText(std::string_view text) {
  engine_.Plugins().ShowStatusText(text);
}

void TEngineInstallServices::HideStatusText() { engine_.Plugins().HideStatusText(); }

std::string TEngineInstallServices::LanguageString(int number) {
  return OnMainThread([&] { return engine_.Languages().Text(number); });
}

std::vector<std::string> TEngineInstallServices::LanguageSectionNames() {
  return OnMainThread([&] {
    std::vector<std::string> names;
    const std::string file = engine_.Languages().FilePath();
    if (!file.empty()) IniReadSectionNames(file, names);
    return names;
  });
}

std::vector<std::string> TEngineInstallServices::LanguageSectionLines(std::string_view section) {
  return OnMainThread([&] {
    std::vector<std::string> lines;
    const std::string file = engine_.Languages().FilePath();
    if (!file.empty()) IniReadSectionValues(file, section, lines);
    return lines;
  });
}

int TEngineInstallServices::ShowErrorBox(std::string_view text) {
  return OnMainThread([&] {
    const std::string title = MessageTitle();
    return ShowMessageBox(engine_.Plugins().ActiveWindow(), title.empty() ? "Error" : title, text,
                          kMbIconError);
  });
}

int TEngineInstallServices::ShowBox(TBoxOwner owner, std::string_view title, std::string_view text,
                                    std::uint32_t style) {
  return OnMainThread([&] {
    const WindowHandle window = owner == TBoxOwner::kMainWindow ? engine_.MainWindow().Handle()
                                                                : engine_.Plugins().ActiveWindow();
    return ShowMessageBox(window, title, text, style);
  });
}

bool TEngineInstallServices::RunApplications(TsxWhenStart when) {
  TInstallationHooks hooks = engine_.Installation().Hooks();
  if (!hooks.ForAllComponents || !hooks.RunAppItems) hooks = RunAppHooks();
  return hooks.ForAllComponents(hooks.RunAppItems, when);
}

std::vector<TsxRunApp*> TEngineInstallServices::UninstallRunApps(TsxWhenStart when) {
  std::vector<TsxRunApp*> apps;
  for (TsxComponent& component : *engine_.Database().Components)
    for (TsxRunApp& app : *component.RunApps)
      if (app.WhenStart == when && IsConditionTrue(app)) apps.push_back(&app);
  return apps;
}

bool TEngineInstallServices::SaveResumeState() {
  if (sx::SaveResumeState(EngineState().TempDir)) return true;
  ShowBox(TBoxOwner::kActiveWindow, "Error", "Cannot prepare for resuming.", kMbIconError);
  return false;
}

void TEngineInstallServices::RemoveFontResource(std::string_view path) {
  if (host::CurrentHost().RemoveFontResource(path)) host::CurrentHost().BroadcastFontChange();
}

bool TEngineInstallServices::RegisterServer(std::string_view path, bool registering) {
  return registering ? sx::RegisterServer(path) : sx::UnregisterServer(path);
}

bool TEngineInstallServices::RepairMode() { return EngineState().RepairMode; }

}  // namespace sx
