#include "database/sx_variable.h"

#include "util/case_tables.h"

namespace sx {

const TXMLClass& TsxVariable::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxVariable, TsxActionObject>(
      "TsxVariable",
      {Prop<&TsxVariable::Name>("Name"), Prop<&TsxVariable::Value>("Value"),
       Prop<&TsxVariable::DefValue>("DefValue"), Prop<&TsxVariable::RegKey>("RegKey"),
       Prop<&TsxVariable::RegParam>("RegParam"), Prop<&TsxVariable::IniFile>("IniFile"),
       Prop<&TsxVariable::IniSection>("IniSection"), Prop<&TsxVariable::IniParam>("IniParam"),
       Prop<&TsxVariable::VarType>("VarType").Attribute("type").Prefix("vt")});
  return info;
}

bool TsxVariable::CanSave(const TXMLTag&) const { return !Transient; }

TsxVariables::TsxVariables(TXMLObject* owner) : TXMLList(owner) { AllowDuplicates = false; }

const TXMLClass& TsxVariables::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxVariables, TXMLParamList>("TsxVariables", {}, {Item<TsxVariable>("var")});
  return info;
}

bool TsxVariables::SameItem(const TXMLObject& a, const TXMLObject& b) const {
  const auto& x = static_cast<const TsxVariable&>(a);
  const auto& y = static_cast<const TsxVariable&>(b);
  return SameTextFast(x.Name, y.Name) && x.Condition == y.Condition;
}

TXMLObject* TsxVariables::FindByName(std::string_view name) const {
  for (TsxVariable& variable : *this)
    if (variable.VarType != TsxVarType::vtEnvVar && SameTextFast(variable.Name, name) &&
        IsConditionTrue(variable))
      return &variable;
  return nullptr;
}

}  // namespace sx
