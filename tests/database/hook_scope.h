// Restores the database hooks after a test changed them.
#pragma once

#include "database/sx_condition_object.h"

namespace sx::test {

class HookScope {
 public:
  HookScope() = default;
  ~HookScope() {
    ConditionHook = savedCondition_;
    ConditionsEnabled = savedEnabled_;
    ExpressionHook = savedExpression_;
  }
  HookScope(const HookScope&) = delete;
  HookScope& operator=(const HookScope&) = delete;

 private:
  TConditionHook savedCondition_ = ConditionHook;
  bool savedEnabled_ = ConditionsEnabled;
  TExpressionHook savedExpression_ = ExpressionHook;
};

}  // namespace sx::test
