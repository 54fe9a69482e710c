// The bases of the model's items: objects with a condition, and install items with flags and an
// action. The process-wide hooks through which conditions and action expressions are evaluated
// (installed by the engine's start-up, which connects them to the expression evaluator).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "database/sx_enums.h"
#include "xml/xml_object_list.h"

namespace sx {

class TsxConditionObject : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  // An expression; an object whose condition is false is passed over by the feature, install
  // type and variable lookups and by the installation (IsConditionTrue).
  std::string Condition;
};

// The base of all install items.
class TsxActionObject : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  TsxFlags Flags;
  TsxInstallAction Action = TsxInstallAction::add;
};

// Evaluates a condition text (mode 0 for item conditions); true when the result starts with "1".
using TConditionHook = std::function<bool(const std::string& condition, int mode)>;
// Evaluates one expression of an actions script in a context and returns the result text.
using TExpressionHook = std::function<std::string(const std::string& expression, std::intptr_t context)>;

extern TConditionHook ConditionHook;
// False until the main flow enables conditions; until then every condition counts as true.
extern bool ConditionsEnabled;
extern TExpressionHook ExpressionHook;

// True when conditions are not enabled yet, when the object's condition is empty or when no
// condition hook is installed; otherwise the hook's answer for (Condition, 0).
bool IsConditionTrue(const TsxConditionObject& object);

}  // namespace sx
