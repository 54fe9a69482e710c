// Functions that plug-ins add to the expression language: registered through the command
// interface, called through EV_CALCFUNCTION with the function-call record, answered with an
// engine block, called directly on whichever thread evaluates, released when the plug-in goes.
#include <atomic>

#include "tests/plugins/plugin_test_support.h"

namespace sx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class PluginFunctions : public PluginHostTest {
 protected:
  void LoadWizard(const std::string& script) {
    AddItem("wizard");
    PutRecorder(0, "wizard", script);
    ASSERT_TRUE(host->LoadPackagePlugins(MainPackage()));
  }
};

constexpr const char* kTwice =
    "on EV_LOAD send CM_REGISTERFUNCTION \"Twice\" 1\n"
    "on EV_LOAD send CM_REGISTERFUNCTION \"Stamp\" 0\n"
    "on EV_LOAD send CM_REGISTERFUNCTION \"Many\" -1\n"
    "on EV_LOAD send CM_REGISTERFUNCTION \"Stamps\" 0\n"
    "on EV_CALCFUNCTION name=Twice reply-text \"${arg1}${arg1}\"\n";

TEST_F(PluginFunctions, ExpressionCallsThePluginWithTheFunctionRecord) {
  LoadWizard(kTwice);
  EXPECT_EQ(engine.EvaluateExpression("Twice('ab') & '!'", 7), "abab!");
  EXPECT_THAT(Log("wizard"), ::testing::IsSupersetOf({
      "send CM_REGISTERFUNCTION \"Twice\" 1 -> 34",
      "send CM_REGISTERFUNCTION \"Stamp\" 0 -> 35",
      "send CM_REGISTERFUNCTION \"Many\" -1 -> 36",
      "EV_CALCFUNCTION id=34 name=\"Twice\" count=1 context=7 layout=1 arg1=\"ab\""}));
  EXPECT_EQ(host->Memory().LiveBlocks(), 0u);  // the reply block was freed
}

TEST_F(PluginFunctions, FunctionWithoutArgumentsAndWithoutAnswerGivesEmptyText) {
  LoadWizard(kTwice);
  EXPECT_EQ(engine.EvaluateExpression("'[' & Stamp & ']'", 0), "[]");
  // A name of six characters: with a 64-bit table the empty argument block starts at the last
  // byte of a pointer-aligned size, so its second NUL needs room of its own.
  EXPECT_EQ(engine.EvaluateExpression("Stamps", 0), "");
  EXPECT_EQ(engine.EvaluateExpression("Many(1, 'two', '')", 3), "");
  EXPECT_THAT(LogStarting("EV_CALCFUNCTION", "wizard"),
              ElementsAre("EV_CALCFUNCTION id=35 name=\"Stamp\" count=0 context=0 layout=1",
                          "EV_CALCFUNCTION id=37 name=\"Stamps\" count=0 context=0 layout=1",
                          "EV_CALCFUNCTION id=36 name=\"Many\" count=3 context=3 layout=1 arg1=\"1\" "
                          "arg2=\"two\" arg3=\"\""));
}

TEST_F(PluginFunctions, AnswersAreCopiedAndOnlyEngineBlocksFreed) {
  LoadWizard(kTwice);
  AddItem("c-plugin");
  PutPlugin(1, "c_plugin.dll", SX_C_PLUGIN_PLUGIN);
  ASSERT_TRUE(host->LoadPlugin(MainPackage(), "C:\\windows\\temp\\sx1\\plugins\\1\\c_plugin.dll"));
  // An answer in the plug-in's own memory is copied and left to the plug-in.
  EXPECT_EQ(host->CallPluginFunction(Loaded("c-plugin"), 40, "Calc", {"a", "bc"}, 9), "from C");
  // No answer is no text; an answer in an engine block is copied and the block freed.
  EXPECT_EQ(host->CallPluginFunction(Loaded("wizard"), 35, "Stamp", {}, 0), std::nullopt);
  EXPECT_EQ(host->CallPluginFunction(Loaded("wizard"), 34, "Twice", {"q"}, 0), "qq");
  EXPECT_EQ(host->Memory().LiveBlocks(), 0u);
  EXPECT_THROW(host->CallPluginFunction(nullptr, 40, "Calc", {}, 0), EEngineError);
}

TEST_F(PluginFunctions, PluginCallsItsOwnFunctionThroughTheEvaluator) {
  LoadWizard(std::string(kTwice) + "on EV_START calc \"Twice(Twice('z'))\" 5\n");
  host->SendEvent(EV_START, 0, 0, true);
  EXPECT_THAT(LogStarting("calc", "wizard"), ElementsAre("calc \"Twice(Twice('z'))\" -> \"zzzz\""));
  EXPECT_EQ(LogStarting("EV_CALCFUNCTION", "wizard").size(), 2u);
  EXPECT_EQ(host->Memory().LiveBlocks(), 0u);
}

TEST_F(PluginFunctions, ConditionOnAnotherThreadCallsThePluginWithoutTheMainThread) {
  LoadWizard(std::string(kTwice) + "on EV_CALCFUNCTION send CM_SUSPENDINSTALL\n");
  std::thread::id installerThread;
  bool result = false;
  // The main thread does not serve its queue meanwhile: it only waits for the thread to end.
  std::thread installer([&] {
    installerThread = std::this_thread::get_id();
    result = engine.EvaluateCondition("Twice('1') = '11'", 0);
  });
  installer.join();
  EXPECT_TRUE(result);
  ASSERT_EQ(engine.callThreads.size(), 1u);
  EXPECT_EQ(engine.callThreads[0], installerThread);
}

TEST_F(PluginFunctions, FunctionsOfAnUnloadedPluginStayTakenButAreNotCalled) {
  LoadWizard(kTwice);
  host->UnloadAllPlugins();
  ClearLog();
  try {
    engine.EvaluateExpression("Twice('x')", 0);
    ADD_FAILURE() << "a released function was called";
  } catch (const std::exception& e) {
    EXPECT_THAT(e.what(), HasSubstr("Twice"));
  }
  EXPECT_TRUE(Log().empty());
  // A plug-in loaded later cannot take the name again.
  AddItem("helper");
  PutRecorder(1, "helper", "on EV_LOAD send CM_REGISTERFUNCTION \"twice\" 1\n");
  ASSERT_TRUE(host->LoadPlugin(MainPackage(), "C:\\windows\\temp\\sx1\\plugins\\1\\helper.dll"));
  EXPECT_THAT(LogStarting("send", "helper"), ElementsAre("send CM_REGISTERFUNCTION \"twice\" 1 -> 0"));
}

}  // namespace
}  // namespace sx::test
