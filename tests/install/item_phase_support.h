// Helpers of the item-phase tests: a services double whose plug-ins can act while an item is
// offered to them, a host that counts broadcasts, and short ways to add items to a component.
#pragma once

#include <functional>
#include <string>

#include "database/sx_install_items.h"
#include "host/host_wrapper.h"
#include "tests/install/install_test_support.h"

namespace sx::test {

// RecordingServices whose EV_BEFOREPROCESSITEM runs `beforeItem` (with the record) first.
class ItemServices : public RecordingServices {
 public:
  std::function<void(const void* record)> beforeItem;
  std::intptr_t SendEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2, bool toAll) override {
    if (number == 12 && beforeItem) beforeItem(reinterpret_cast<const void*>(param2));
    return RecordingServices::SendEvent(number, param1, param2, toAll);
  }
};

// Records the broadcasts instead of sending them.
class BroadcastCounter : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  std::vector<std::string> broadcasts;
  void BroadcastSettingChange(std::string_view area) override {
    broadcasts.push_back("WM_WININICHANGE " + std::string(area));
  }
  void BroadcastFontChange() override { broadcasts.push_back("WM_FONTCHANGE"); }
};

inline TsxReg& AddReg(TsxComponent& component, std::string key, std::string param, std::string value,
                      TsxRegType type = TsxRegType::rtStr, TsxFlags flags = {},
                      TsxInstallAction action = TsxInstallAction::add) {
  TsxReg& item = component.Registry->AddNew();
  item.Key = std::move(key);
  item.Param = std::move(param);
  item.Value = std::move(value);
  item.ParamType = type;
  item.Flags = flags;
  item.Action = action;
  return item;
}

inline TsxIni& AddIni(TsxComponent& component, std::string file, std::string section, std::string param,
                      std::string value, TsxFlags flags = {}, TsxInstallAction action = TsxInstallAction::add) {
  TsxIni& item = component.IniFiles->AddNew();
  item.IniFile = std::move(file);
  item.Section = std::move(section);
  item.Param = std::move(param);
  item.Value = std::move(value);
  item.Flags = flags;
  item.Action = action;
  return item;
}

}  // namespace sx::test
