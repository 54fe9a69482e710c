#include "database/sx_actions.h"

#include "util/case_tables.h"
#include "xml/xml_text.h"

namespace sx {

const TXMLClass& TsxAction::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxAction, TsxConditionObject>(
      "TsxAction", {Prop<&TsxAction::Expression>("Expression")});
  return info;
}

const TXMLClass& TsxActions::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxActions, TXMLObjectList>("TsxActions", {}, {Item<TsxAction>("action")});
  return info;
}

std::string TsxActions::RunActions(std::intptr_t context) const {
  static constexpr std::string_view kReturn = "Return(";
  for (const TsxAction& action : *this) {
    if (!IsConditionTrue(action)) continue;
    std::string expression(TrimBlanks(action.Expression));
    std::string answer = ExpressionHook ? ExpressionHook(expression, context) : std::string();
    if (expression.size() >= kReturn.size() && SameTextFast(std::string_view(expression).substr(0, kReturn.size()), kReturn))
      return answer;
  }
  return "";
}

std::string TsxActions::RunActionsText(std::string_view xmlText, std::intptr_t context) {
  TsxActions actions;
  actions.LoadFromString(xmlText, "actions");
  return actions.RunActions(context);
}

}  // namespace sx
