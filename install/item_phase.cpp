#include "install/item_phase.h"

#include "database/sx_main_database.h"
#include "install/install_services.h"
#include "plugins/sxplugin.h"

namespace sx {
namespace {

constexpr std::uint32_t kIconError = 0x10;

std::intptr_t KindParam(int kind) { return static_cast<std::intptr_t>(kind) << 16; }

}  // namespace

bool ItemVetoed(int kind, const void* record) {
  return InstallServices().SendEvent(EV_BEFOREPROCESSITEM, KindParam(kind),
                                     reinterpret_cast<std::intptr_t>(record), false) != 0;
}

void ItemDone(int kind, const void* record) {
  InstallServices().SendEvent(EV_AFTERPROCESSITEM, KindParam(kind),
                              reinterpret_cast<std::intptr_t>(record), true);
}

void ShowItemError(std::string_view text) {
  InstallServices().ShowBox(TBoxOwner::kActiveWindow, "Error", text, kIconError);
}

std::string FormatMessage(std::string_view format, std::string_view argument) {
  std::string text(format);
  if (auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

TXMLObject* ComponentContainer(TsxMainDatabase& database, const TsxComponent& component) {
  if (!component.Package.empty())
    if (TsxPackage* package = database.Packages->FindByFileName(component.Package)) return package;
  return &database;
}

}  // namespace sx
