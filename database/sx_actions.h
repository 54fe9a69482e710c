// Actions scripts: a list of expressions run in order, whose result is the answer of the first
// expression that starts with "Return(".
//
//   <actions><action expression="SetVar('x', 1)"/><action expression="Return(GetVar('x'))"/></actions>
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "database/sx_condition_object.h"

namespace sx {

class TsxAction : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Expression;
};

class TsxActions : public TXMLList<TsxAction> {  // root <actions>, items <action .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  // Passes the trimmed expression of every action whose condition holds, with `context`, to
  // ExpressionHook. The answer to the first expression starting with "Return(" (ignoring case)
  // is the result and ends the run; without one the result is empty. Without a hook, every
  // answer is empty.
  std::string RunActions(std::intptr_t context) const;
  // Loads `xmlText` (root element "actions") into a new list and runs it.
  static std::string RunActionsText(std::string_view xmlText, std::intptr_t context);
};

}  // namespace sx
