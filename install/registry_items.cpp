#include "install/registry_items.h"

#include "database/sx_component.h"
#include "database/sx_install_items.h"
#include "database/sx_variable_access.h"
#include "install/install_actions.h"
#include "install/item_phase.h"
#include "install/reg_capture.h"
#include "install/install_run.h"
#include "platform/reg_paths.h"
#include "plugins/sxplugin.h"

namespace sx {
namespace {

struct TRegTexts {
  std::string key, param, value;
};

TRegTexts Expanded(TXMLObject* container, const TsxReg& item) {
  return {ExpandText(container, item.Key), ExpandText(container, item.Param),
          ExpandText(container, item.Value)};
}

bool WriteValue(const TRegTexts& texts, TsxRegType type) {
  switch (type) {
    case TsxRegType::rtInt:
      return RegWriteTyped(texts.key, texts.param, host::kRegDword, texts.value);
    case TsxRegType::rtBin:
      return RegWriteHex(texts.key, texts.param, texts.value);
    case TsxRegType::rtMStr:
      return RegWriteMultiText(texts.key, texts.param, texts.value);
    case TsxRegType::rtStr:
      break;
  }
  return RegWriteString(texts.key, texts.param, texts.value);
}

// One item; false when the phase must stop.
bool InstallRegistryItem(TXMLObject* container, const TsxReg& item) {
  TRegTexts texts = Expanded(container, item);
  const bool remove = item.Action == TsxInstallAction::remove;
  SxRegistryItem record{texts.key.c_str(), texts.param.c_str(), texts.value.c_str(),
                        static_cast<std::intptr_t>(item.ParamType), remove ? SX_ACTION_REMOVE : SX_ACTION_ADD};
  if (ItemVetoed(ikRegistry, &record)) return true;
  // A plug-in may have changed variables the item refers to.
  texts = Expanded(container, item);
  record = {texts.key.c_str(), texts.param.c_str(), texts.value.c_str(), record.Type, record.Action};

  const bool existed = RegValueExists(texts.key, texts.param);
  if (remove) {
    // Not recorded: neither rollback nor the uninstaller brings a removed value back.
    if (!texts.param.empty()) {
      if (existed) RegDeleteValue(texts.key, texts.param);
    } else if (RegKeyExists(texts.key)) {
      RegDeleteKeyPath(texts.key, false);
    }
    ItemDone(ikRegistry, &record);
    return true;
  }
  if (existed && item.Flags.Contains(TsxFlag::dont_overwrite)) return true;

  const bool log = !item.Flags.Contains(TsxFlag::dont_log);
  TInstallActions& actions = InstallActionList();
  actions.ForceRegKeys(texts.key, true, log);
  // The previous value, kept so that undo restores its exact type and bytes.
  TInstallReg previous;
  CaptureRegValue(previous, texts.key, texts.param);
  // A key ForceRegKeys could not make would be made, unrecorded, by the write: fail instead.
  if (!RegKeyExists(texts.key) || !WriteValue(texts, item.ParamType)) {
    ShowItemError("Error changing registry data.");
    return false;
  }
  auto& action = actions.AddActionOf<TInstallReg>();
  action.Key = texts.key;
  action.Param = texts.param;
  action.Log = log;
  action.Existed = previous.Existed;
  action.OldType = previous.OldType;
  action.OldValue = previous.OldValue;
  ItemDone(ikRegistry, &record);
  return true;
}

}  // namespace

bool InstallRegistryItems(TXMLObject* container, TsxComponent& component) {
  for (TsxReg& item : *component.Registry) {
    if (!IsConditionTrue(item)) continue;
    if (!InstallRegistryItem(container, item)) return false;
  }
  return true;
}

}  // namespace sx
