#include "database/sx_condition_object.h"

namespace sx {

TConditionHook ConditionHook;
bool ConditionsEnabled = false;
TExpressionHook ExpressionHook;

const TXMLClass& TsxConditionObject::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxConditionObject, TXMLObject>(
      "TsxConditionObject", {Prop<&TsxConditionObject::Condition>("Condition")});
  return info;
}

const TXMLClass& TsxActionObject::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxActionObject, TsxConditionObject>(
      "TsxActionObject",
      {Prop<&TsxActionObject::Flags>("Flags"), Prop<&TsxActionObject::Action>("Action")});
  return info;
}

bool IsConditionTrue(const TsxConditionObject& object) {
  if (!ConditionsEnabled || object.Condition.empty() || !ConditionHook) return true;
  return ConditionHook(object.Condition, 0);
}

}  // namespace sx
