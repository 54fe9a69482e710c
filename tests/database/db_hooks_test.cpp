// Conditions, actions scripts and the variable lookup through the evaluator hooks (tested with
// doubles of the evaluator).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "database/sx_classes.h"
#include "tests/database/hook_scope.h"
#include "xml/xml_tag.h"

namespace sx::test {
namespace {

TEST(DbHooks, ConditionsCountAsTrueUntilEnabled) {
  HookScope hooks;
  int calls = 0;
  ConditionHook = [&](const std::string&, int) { ++calls; return false; };
  TsxFile item;
  item.Condition = "this is ((( not an expression";
  ConditionsEnabled = false;
  EXPECT_TRUE(IsConditionTrue(item));
  EXPECT_EQ(calls, 0);
  ConditionsEnabled = true;
  EXPECT_FALSE(IsConditionTrue(item));
  EXPECT_EQ(calls, 1);
}

TEST(DbHooks, EmptyConditionOrMissingHookIsTrue) {
  HookScope hooks;
  ConditionsEnabled = true;
  TsxFeature feature;
  EXPECT_TRUE(IsConditionTrue(feature));
  feature.Condition = "0";
  ConditionHook = nullptr;
  EXPECT_TRUE(IsConditionTrue(feature));
}

TEST(DbHooks, HookReceivesTheConditionAndModeZero) {
  HookScope hooks;
  ConditionsEnabled = true;
  std::vector<std::pair<std::string, int>> seen;
  ConditionHook = [&](const std::string& condition, int mode) {
    seen.emplace_back(condition, mode);
    return condition.starts_with('1');
  };
  TsxComponent component;
  component.Condition = "1 and more";
  EXPECT_TRUE(IsConditionTrue(component));
  component.Condition = "0";
  EXPECT_FALSE(IsConditionTrue(component));
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"1 and more", 0}, {"0", 0}}));
}

// An evaluator double: records every expression with its context and answers "<n>:<expr>".
struct RecordingEvaluator {
  std::vector<std::pair<std::string, std::intptr_t>> calls;
  TExpressionHook Hook() {
    return [this](const std::string& expression, std::intptr_t context) {
      calls.emplace_back(expression, context);
      return std::to_string(calls.size()) + ":" + expression;
    };
  }
};

TEST(DbHooks, ActionsRunInOrderUntilTheFirstReturn) {
  HookScope hooks;
  RecordingEvaluator evaluator;
  ExpressionHook = evaluator.Hook();
  std::string result = TsxActions::RunActionsText(
      "<actions><action expression='  SetVar(\"x\", 1)  '/><action expression=' return(GetVar(\"x\"))'/>"
      "<action expression='Never()'/></actions>", 42);
  EXPECT_EQ(result, "2:return(GetVar(\"x\"))");
  EXPECT_EQ(evaluator.calls, (std::vector<std::pair<std::string, std::intptr_t>>{
                                 {"SetVar(\"x\", 1)", 42}, {"return(GetVar(\"x\"))", 42}}));
}

TEST(DbHooks, ReturnWithFalseConditionIsSkipped) {
  HookScope hooks;
  ConditionsEnabled = true;
  ConditionHook = [](const std::string& condition, int) { return condition == "1"; };
  RecordingEvaluator evaluator;
  ExpressionHook = evaluator.Hook();
  EXPECT_EQ(TsxActions::RunActionsText(
                "<actions><action condition='0' expression='RETURN(1)'/><action expression='a'/>"
                "<action condition='1' expression='Return(2)'/></actions>", 0),
            "2:Return(2)");
  EXPECT_EQ(evaluator.calls.size(), 2u);
}

TEST(DbHooks, ActionsWithoutReturnGiveAnEmptyResult) {
  HookScope hooks;
  RecordingEvaluator evaluator;
  ExpressionHook = evaluator.Hook();
  EXPECT_EQ(TsxActions::RunActionsText("<actions><action expression='a'/><action expression='Returns'/></actions>", 1), "");
  EXPECT_EQ(evaluator.calls.size(), 2u);
  EXPECT_EQ(TsxActions::RunActionsText("<other><action expression='Return(1)'/></other>", 1), "");
  EXPECT_EQ(evaluator.calls.size(), 2u);  // a text whose root is not "actions" runs nothing
  ExpressionHook = nullptr;
  EXPECT_EQ(TsxActions::RunActionsText("<actions><action expression='Return(1)'/></actions>", 1), "");
}

TEST(DbHooks, VariableLookupTakesTheFirstDefinitionWhoseConditionHolds) {
  HookScope hooks;
  TsxVariables variables;
  variables.LoadFromString(
      "<variables><var name='Path' type='envvar' value='env'/><var name='Dir' value='a' condition='0'/>"
      "<var name='dir' value='b' condition='1'/><var name='DIR' value='c'/></variables>", "");
  ASSERT_EQ(variables.Count(), 4);
  EXPECT_EQ(variables.FindVariable("DIR")->Value, "a");  // conditions not enabled yet
  ConditionsEnabled = true;
  ConditionHook = [](const std::string& condition, int) { return condition == "1"; };
  EXPECT_EQ(variables.FindVariable("Dir")->Value, "b");
  EXPECT_EQ(variables.FindByName("path"), nullptr);  // environment items are no text variables
  EXPECT_EQ(variables.FindVariable("missing"), nullptr);
}

TEST(DbHooks, VariablesAreEqualByNameIgnoringCaseAndConditionExactly) {
  TsxVariables variables;
  EXPECT_FALSE(variables.AllowDuplicates);
  TsxVariable a, b;
  a.Name = "Dir";
  b.Name = "DIR";
  EXPECT_TRUE(variables.SameItem(a, b));
  b.Condition = "1";
  EXPECT_FALSE(variables.SameItem(a, b));
  a.Condition = "1 ";
  EXPECT_FALSE(variables.SameItem(a, b));
  EXPECT_EQ(&variables.ParamClass(), &TsxVariable::StaticClass());
}

TEST(DbHooks, LoadingVariablesFindsTheOneAVarReplacesWithoutComparingWithEveryOther) {
  // Counts the one-by-one comparisons, which made loading N variables take N^2/2 of them.
  class CountingVariables : public TsxVariables {
   public:
    bool SameItem(const TXMLObject& a, const TXMLObject& b) const override {
      ++comparisons;
      return TsxVariables::SameItem(a, b);
    }
    mutable long comparisons = 0;
  };
  std::string xml = "<variables>";
  for (int i = 0; i < 5000; ++i) xml += "<var name=\"V" + std::to_string(i) + "\" value=\"" + std::to_string(i) + "\"/>";
  xml += "<var name=\"v7\" value=\"replaced\"/><var name=\"V7\" condition=\"x\" value=\"own\"/></variables>";
  TXMLTag tag;
  tag.Parse(xml);
  CountingVariables variables;
  variables.Assign(tag);
  EXPECT_EQ(variables.comparisons, 0);
  ASSERT_EQ(variables.Count(), 5001);
  EXPECT_EQ(variables[7].Name, "v7");
  EXPECT_EQ(variables[7].Value, "replaced");
  EXPECT_EQ(variables[5000].Condition, "x");
  // Merging finds existing variables the same way.
  TXMLTag more;
  more.Parse("<variables><var name=\"V4999\" value=\"merged\"/><var name=\"New\"/></variables>");
  variables.MergeFrom(more);
  EXPECT_EQ(variables.comparisons, 0);
  ASSERT_EQ(variables.Count(), 5002);
  EXPECT_EQ(variables[4999].Value, "merged");

  // The key is equal exactly when SameItem says so, also for letters the fixed tables fold.
  TsxVariable a, b;
  const std::pair<std::string, std::string> names[] = {{"Dir", "DIR"}, {"\xE4", "\xC4"}, {"\x80", "\x90"},
                                                       {"Dir", "Dir "}, {"a\xE4", "a\xE5"}};
  for (const auto& [first, second] : names)
    for (const std::string& condition : {std::string(), std::string("1")}) {
      a.Name = first;
      b.Name = second;
      b.Condition = condition;
      EXPECT_EQ(variables.SameItemKey(a) == variables.SameItemKey(b), variables.TsxVariables::SameItem(a, b))
          << first << " / " << second << " / " << condition;
    }
}

TEST(DbHooks, RunTimeNotificationsAreSettable) {
  TsxMainDatabase root;
  TsxInstallType* changed = nullptr;
  root.OnInstallTypeChange = [&](TsxInstallType* type) { changed = type; };
  TsxInstallType& type = root.InstallTypes->AddNew();
  root.InstallTypes->Active = &type;
  root.OnInstallTypeChange(root.InstallTypes->Active);
  EXPECT_EQ(changed, &type);
}

}  // namespace
}  // namespace sx::test
