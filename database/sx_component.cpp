#include "database/sx_component.h"

namespace sx {

const TXMLClass& TsxComponent::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxComponent, TsxConditionObject>(
      "TsxComponent",
      {Prop<&TsxComponent::id_, &TsxComponent::SetID>("ID"), Prop<&TsxComponent::Name>("Name"),
       Prop<&TsxComponent::Package>("Package"), Prop<&TsxComponent::Files>("Files"),
       Prop<&TsxComponent::Registry>("Registry"), Prop<&TsxComponent::IniFiles>("IniFiles"),
       Prop<&TsxComponent::Shortcuts>("Shortcuts"), Prop<&TsxComponent::RunApps>("RunApps"),
       Prop<&TsxComponent::ODBC>("ODBC")});
  return info;
}

void TsxComponent::SetID(std::string id) {
  if (id == id_) return;
  id_ = std::move(id);
  if (Name.empty()) Name = id_;
}

const TXMLClass& TsxComponents::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxComponents, TXMLObjectList>("TsxComponents", {}, {Item<TsxComponent>("component")});
  return info;
}

}  // namespace sx
