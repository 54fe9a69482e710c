// The functions that reach the engine through the evaluator services, plug-in functions and their
// registration, the entry points EvaluateExpression and EvaluateCondition, the database hooks,
// and evaluations started from inside an evaluation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/sx_condition_object.h"
#include "database/sx_main_database.h"
#include "database/sx_selection.h"
#include "database/sx_variable_access.h"
#include "expr/database_services.h"
#include "expr/sx_evaluator.h"
#include "tests/expr/expr_test_support.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

class EngineServices : public test::EvaluatorTest {
 protected:
  int pluginA = 0, pluginB = 0;  // stand-ins for two plug-ins (only their addresses matter)
};

TEST_F(EngineServices, InstallationRequestsReachTheServicesInTextOrder) {
  EXPECT_EQ(Eval("AbortInstall & SuspendInstall & ResumeInstall"), "");
  EXPECT_EQ(Eval("SetLanguage('DEU') & SetInstallType('full') & SetPassword('secret')"), "");
  EXPECT_EQ(services.calls,
            (std::vector<std::string>{"AbortInstall", "SuspendInstall", "ResumeInstall",
                                      "SetLanguage DEU", "SetInstallType full", "SetPassword"}));
}

TEST_F(EngineServices, SelectionQueries) {
  services.activeInstallType = "typical";
  services.enabledFeatures = {"core"};
  EXPECT_EQ(Eval("ActiveInstallType"), "typical");
  EXPECT_EQ(Eval("FeatureEnabled('core')"), "1");
  EXPECT_EQ(Eval("FeatureEnabled('docs')"), "0");
  services.activeInstallType.clear();
  EXPECT_EQ(Eval("ActiveInstallType = ''"), "1");
  EXPECT_EQ(services.calls,
            (std::vector<std::string>{"ActiveInstallType", "FeatureEnabled core",
                                      "FeatureEnabled docs", "ActiveInstallType"}));
}

TEST_F(EngineServices, PluginFunctionsGetIdsFrom34AndTheirCallRecord) {
  EXPECT_EQ(ev.RegisterFunction(&pluginA, "Checksum", 2), 34);
  EXPECT_EQ(ev.RegisterFunction(&pluginB, "Today", 0), 35);
  EXPECT_EQ(ev.RegisterFunction(&pluginB, "Any", -1), 36);
  services.pluginReplies["Checksum"] = "abc";
  services.pluginReplies["Any"] = "%Dir%";
  services.DefineVariable("Dir", "C:\\x");

  EXPECT_EQ(Eval("Checksum('a', 1 + 1) & '!'", 7), "abc!");
  EXPECT_EQ(Eval("Today", 9), "");  // no reply
  EXPECT_EQ(Eval("any(1, 2, 3, 4)", -3), "C:\\x");  // the result is expanded as an operand
  EXPECT_EQ(services.calls,
            (std::vector<std::string>{"Plugin 34 Checksum [a|2] context 7",
                                      "Plugin 35 Today [] context 9",
                                      "Plugin 36 Any [1|2|3|4] context -3"}));
  EXPECT_EQ(services.pluginOwners, (std::vector<void*>{&pluginA, &pluginB, &pluginB}));
  EXPECT_TRUE(services.pluginCalls[1].Args.empty());
  EXPECT_EQ(ErrorOf("Checksum(1)"),
            test::EvaluatorMessage("Not enough parameters.", "Checksum(1)", 11));
}

TEST_F(EngineServices, RegisteringAnExistingNameGivesZero) {
  EXPECT_EQ(ev.RegisterFunction(&pluginA, "IIF", 3), 0);
  EXPECT_EQ(ev.RegisterFunction(&pluginA, "", 0), 0);
  EXPECT_EQ(ev.RegisterFunction(&pluginA, "Mine", 1), 34);
  EXPECT_EQ(ev.RegisterFunction(&pluginB, "mine", 1), 0);
  EXPECT_EQ(Eval("Iif(1, a, b)"), "a");  // the built-in still answers
  EXPECT_EQ(ev.Functions().Count(), 35);
}

TEST_F(EngineServices, FunctionsOfAnUnloadedPluginAreRejected) {
  ev.RegisterFunction(&pluginA, "Gone", 1);
  ev.RegisterFunction(&pluginB, "Stays", 0);
  ev.ReleaseFunctions(&pluginA);
  EXPECT_EQ(ErrorOf("Gone(1)"),
            "Function \"Gone\" cannot be called: the plug-in that registered it has been unloaded.");
  EXPECT_EQ(Eval("Stays"), "");
  // The name stays taken.
  EXPECT_EQ(ev.RegisterFunction(&pluginB, "Gone", 1), 0);
  EXPECT_EQ(services.calls, (std::vector<std::string>{"Plugin 35 Stays [] context 0"}));
}

TEST_F(EngineServices, OutsideAnInstallationThereAreNoPlugins) {
  TsxMainDatabase database;
  TDatabaseServices standalone(database);
  TsxEvaluator alone(standalone);
  alone.RegisterFunction(&pluginA, "Ext", 0);
  EXPECT_EQ(test::FailureOf([&] { return alone.EvaluateExpression("Ext", 0); }),
            "Function \"Ext\" cannot be called: no plug-in is loaded.");
  EXPECT_EQ(alone.EvaluateExpression("AbortInstall & SetLanguage(x) & FeatureEnabled(a)", 0), "0");
}

TEST_F(EngineServices, ProjectServicesReadAndSwitchTheProjectsSelection) {
  TsxMainDatabase database;
  database.LoadFromString(R"(<p>
      <features>
        <feature id="Core"><features><feature id="Help" condition="%HelpOn% = 1"/></features></feature>
        <feature id="Docs"/>
      </features>
      <installtypes>
        <installtype id="Full"><features><feature id="Core"/><feature id="Docs"/></features></installtype>
        <installtype id="Hidden" condition="0"><features><feature id="Docs"/></features></installtype>
      </installtypes></p>)",
                          "");
  WriteVariable(&database, "HelpOn", "1");
  TDatabaseServices project(database);
  TsxEvaluator evaluator(project);
  struct Hooks {
    explicit Hooks(TsxEvaluator& e) { InstallEvaluatorHooks(&e), ConditionsEnabled = true; }
    ~Hooks() { InstallEvaluatorHooks(nullptr), ConditionsEnabled = false; }
  } hooks(evaluator);
  std::vector<std::string> changes;
  database.OnInstallTypeChange = [&](TsxInstallType* type) { changes.push_back(type->ID); };

  EXPECT_EQ(evaluator.EvaluateExpression("FeatureEnabled('core') & ActiveInstallType", 0), "0");
  // The function switches the selection in the evaluation itself; later operands see it.
  EXPECT_EQ(evaluator.EvaluateExpression(
                "SetInstallType('full') & ActiveInstallType & FeatureEnabled('Core') & "
                "FeatureEnabled('HELP') & FeatureEnabled('Docs') & FeatureEnabled('None')",
                0),
            "Full1110");
  EXPECT_EQ(changes, std::vector<std::string>{"Full"});
  // A feature whose condition turned false is not found, though still selected.
  WriteVariable(&database, "HelpOn", "0");
  EXPECT_TRUE(FindFeature(*database.Features, "Core")->Selected);
  EXPECT_EQ(evaluator.EvaluateExpression("FeatureEnabled('Help')", 0), "0");
  // A disabled or missing install type changes nothing.
  EXPECT_EQ(evaluator.EvaluateExpression("SetInstallType('Hidden') & SetInstallType('x') & "
                                         "ActiveInstallType",
                                         0),
            "Full");
  EXPECT_EQ(changes, std::vector<std::string>{"Full"});
}

TEST_F(EngineServices, EvaluateExpressionDropsLineBreaksAndKeepsTheContext) {
  EXPECT_EQ(Eval("1 +\r\n 2\n", 42), "3");
  EXPECT_EQ(ev.Expression, "1 + 2");
  EXPECT_EQ(ev.Context, 42);
  EXPECT_EQ(Eval("'a\r\nb'"), "ab");
  EXPECT_EQ(ErrorOf("1\r\n 2"), test::EvaluatorMessage("Operator expected.", "1 2", 2));
  EXPECT_TRUE(ev.EvaluateCondition("1\n0", 5));
  EXPECT_EQ(ev.Context, 5);
}

TEST_F(EngineServices, EvaluationStartedDuringExpansionLeavesTheOuterOneIntact) {
  ev.RegisterFunction(&pluginA, "Ctx", 1);
  services.pluginReplies["Ctx"] = "ok";
  // A variable whose condition is checked while operands are expanded.
  services.onExpand = [&](std::string_view text) {
    if (text == "%Guarded%") {
      EXPECT_TRUE(ev.EvaluateCondition("(1)", 0));
    }
  };
  EXPECT_EQ(Eval("%Guarded% & Ctx(x)", 77), "%Guarded%ok");
  EXPECT_EQ(services.calls.back(), "Plugin 34 Ctx [x] context 77");
  EXPECT_EQ(ev.Expression, "%Guarded% & Ctx(x)");
  EXPECT_EQ(ev.Context, 77);

  // An error inside the inner evaluation passes out unchanged.
  services.onExpand = [&](std::string_view text) {
    if (text == "%Broken%") ev.EvaluateCondition("1 +", 0);
  };
  EXPECT_EQ(ErrorOf("%Broken%"), test::EvaluatorMessage("Expression expected.", "1 +", 4));
  EXPECT_EQ(Eval("2 * 2"), "4");
}

TEST_F(EngineServices, ConditionalVariablesAreDecidedByTheEvaluator) {
  TsxVariables& variables = *services.Database().Variables;
  auto add = [&](const char* name, const char* value, const char* condition) {
    TsxVariable& v = variables.AddNew();
    v.Name = name;
    v.Value = value;
    v.Condition = condition;
    variables.Reindex();
  };
  add("Lang", "DEU", "");
  add("Greeting", "Hallo", "%Lang% = DEU");
  add("Greeting", "Hello", "");
  struct Hooks {
    explicit Hooks(TsxEvaluator& ev) { InstallEvaluatorHooks(&ev), ConditionsEnabled = true; }
    ~Hooks() { InstallEvaluatorHooks(nullptr), ConditionsEnabled = false; }
  } hooks(ev);
  // Expanding %Greeting% evaluates the first definition's condition on the same evaluator.
  EXPECT_EQ(Eval("%Greeting% & '!'", 6), "Hallo!");
  EXPECT_EQ(ev.Context, 6);
  services.DefineVariable("Lang", "ENU");
  EXPECT_EQ(Eval("GetVariable('Greeting')"), "Hello");
}

TEST_F(EngineServices, DatabaseHooksEvaluateThroughTheEvaluator) {
  InstallEvaluatorHooks(&ev);
  ASSERT_TRUE(ConditionHook);
  ASSERT_TRUE(ExpressionHook);
  EXPECT_TRUE(ConditionHook("2 > 1", 3));
  EXPECT_EQ(ev.Context, 3);
  EXPECT_FALSE(ConditionHook("2 < 1", 0));
  EXPECT_EQ(ExpressionHook("'x' & 1", 12), "x1");
  EXPECT_EQ(ev.Context, 12);
  InstallEvaluatorHooks(nullptr);
  EXPECT_FALSE(ConditionHook);
  EXPECT_FALSE(ExpressionHook);
}

}  // namespace
}  // namespace sx
