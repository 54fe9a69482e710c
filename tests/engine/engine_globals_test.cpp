// The engine's built-in variables, the silent settings' variables, and the small services other
// parts call (expressions, flags, install types, protected files).
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "engine/builtin_variables.h"
#include "engine/engine_common.h"
#include "tests/engine/engine_test_support.h"

namespace sx {
namespace {

TEST(BuiltinVariables, MachineFactsParametersAndSilentMode) {
  test::InProcessEngine run;
  TsxMainDatabase& db = run.Database();
  TEngineState state;
  state.ExeName = "C:\\Setup Files\\hello-setup.exe";
  state.Params = {"/s", "C:\\Program Files\\App", "two"};
  state.SilentSwitch = true;
  SetBuiltinVariables(db, state);
  EXPECT_EQ(ReadVariable(&db, "SourcePath", ""), "C:\\Setup Files");
  EXPECT_EQ(ReadVariable(&db, "OSPlatform", ""), "NT");
  EXPECT_EQ(ReadVariable(&db, "OSVersion", ""), "XP");
  EXPECT_EQ(ReadVariable(&db, "ParamStr", ""), "/s \"C:\\Program Files\\App\" two");
  EXPECT_EQ(ReadVariable(&db, "SilentMode", ""), "1");
  const TsxVariable* quick = LookupVariable(&db, "QuickLaunch");
  ASSERT_NE(quick, nullptr);
  EXPECT_EQ(quick->Value, "%ApplicationData%\\Microsoft\\Internet Explorer\\Quick Launch");
  EXPECT_TRUE(quick->Transient);
  EXPECT_FALSE(LookupVariable(&db, "SilentMode")->Transient);  // saved with a resume

  // A project's own SilentMode stands against the switch; without the switch it is 0.
  WriteVariable(&db, "SilentMode", "2");
  SetBuiltinVariables(db, state);
  EXPECT_EQ(ReadVariable(&db, "SilentMode", ""), "2");
  TsxMainDatabase fresh;
  SetBuiltinVariables(fresh, TEngineState{});
  EXPECT_EQ(ReadVariable(&fresh, "SilentMode", ""), "0");
  EXPECT_EQ(ReadVariable(&fresh, "ParamStr", "unset"), "");
}

TEST(BuiltinVariables, EnvironmentFillsOnlyWhatNothingDefines) {
  test::InProcessEngine run;
  TsxMainDatabase& db = run.Database();
  run.host.SetEnv("SXTEST_OWN", "from the environment");
  run.host.SetEnv("SXTEST_NEW", "new");
  WriteVariable(&db, "SXTEST_OWN", "from the project");
  SetBuiltinVariables(db, TEngineState{});
  EXPECT_EQ(ReadVariable(&db, "SXTEST_OWN", ""), "from the project");
  EXPECT_EQ(ReadVariable(&db, "SXTEST_NEW", ""), "new");
}

TEST(BuiltinVariables, WindowsNinetyEightAndMe) {
  test::InProcessEngine run98("[System]\nPlatform=9x\nVersion=4.10.2222\n");
  SetBuiltinVariables(run98.Database(), TEngineState{});
  EXPECT_EQ(ReadVariable(&run98.Database(), "OSPlatform", ""), "9X");
  EXPECT_EQ(ReadVariable(&run98.Database(), "OSVersion", ""), "98");
}

TEST(BuiltinVariables, NtFourAndMeNames) {
  {
    test::InProcessEngine nt4("[System]\nPlatform=NT\nVersion=4.0.1381\n");
    SetBuiltinVariables(nt4.Database(), TEngineState{});
    EXPECT_EQ(ReadVariable(&nt4.Database(), "OSVersion", ""), "NT4");
  }
  test::InProcessEngine me("[System]\nPlatform=9x\nVersion=4.90.3000\n");
  SetBuiltinVariables(me.Database(), TEngineState{});
  EXPECT_EQ(ReadVariable(&me.Database(), "OSVersion", ""), "ME");
}

TEST(SilentVariables, OnlyThoseWhoseConditionHoldsInOrder) {
  test::InProcessEngine run;
  ConditionsEnabled = true;
  TsxSilentSettings& silent = run.engine->SilentSettings();
  silent.LoadFromString(R"(<silentsettings><variables>
      <var name="InstallPath" value="C:\First"/>
      <var name="InstallPath" value="C:\Second"/>
      <var name="Skipped" value="yes" condition="0"/>
    </variables></silentsettings>)", "silentsettings");
  ApplySilentVariables(run.Database(), silent);
  EXPECT_EQ(ReadVariable(&run.Database(), "InstallPath", ""), "C:\\Second");
  EXPECT_EQ(LookupVariable(&run.Database(), "Skipped"), nullptr);
}

TEST(EngineServices, ExpressionsFlagsInstallTypesAndProtectedFiles) {
  test::InProcessEngine run(
      "[ProtectedFiles]\nC:\\windows\\system32\\comctl32.dll=1\nC:\\windows\\old.dll=0\n");
  TsxMainDatabase& db = run.Database();
  db.LoadFromString(R"(<sx2project><installtypes>
      <installtype id="full"/><installtype id="never" condition="0"/></installtypes></sx2project>)",
                    "sx2project");
  ConditionsEnabled = true;
  EXPECT_EQ(EvaluateEngineExpression("1 +\r\n 2", 0), "3");
  EXPECT_TRUE(EvaluateEngineBoolean("10", 0));
  EXPECT_FALSE(EvaluateEngineBoolean("0", 0));
  EXPECT_FALSE(EvaluateEngineBoolean("\"\"", 0));
  EXPECT_TRUE(FlagSet(0x7, 0x5));
  EXPECT_FALSE(FlagSet(0x4, 0x5));
  EXPECT_EQ(SetActiveInstallTypeById("FULL"), 0);
  EXPECT_EQ(db.ActiveInstallType, "full");
  EXPECT_EQ(SetActiveInstallTypeById("never"), -1);
  EXPECT_EQ(SetActiveInstallTypeById("missing"), -1);

  // Nothing is protected until the protection service is loaded.
  EXPECT_FALSE(IsProtectedFile("C:\\WINDOWS\\System32\\COMCTL32.DLL"));
  SfcIsFileProtectedHook = [](std::string_view path) { return host::CurrentHost().IsProtectedFile(path); };
  EXPECT_TRUE(IsProtectedFile("C:\\WINDOWS\\System32\\COMCTL32.DLL"));
  EXPECT_FALSE(IsProtectedFile("C:\\windows\\old.dll"));
  EXPECT_FALSE(IsProtectedFile("C:\\windows\\system32\\other.dll"));
  SfcIsFileProtectedHook = nullptr;
}

TEST(EngineServices, ErrorBoxesAreOwnedByThePluginsActiveWindowAndTraced) {
  test::InProcessEngine run;
  test::TraceCapture trace(run.machine);
  ShowErrorBoxTitled("File not found", "missing");
  SetMessageTitle("Hello");
  ShowOwnedWarningBox("careful");
  ASSERT_EQ(run.host.boxes.size(), 2u);
  EXPECT_EQ(run.host.boxes[0].title, "File not found");
  EXPECT_EQ(run.host.boxes[0].style & 0xF0, kMbIconError);
  EXPECT_EQ(run.host.boxes[1].title, "Hello");
  EXPECT_EQ(run.host.boxes[1].style & 0xF0, kMbIconWarning);
  // Without plug-ins no window owns them: the trace names no owner.
  for (const auto& line : trace.Lines("messagebox")) EXPECT_EQ(line.find("owner="), std::string::npos) << line;
  // A box with an owner says so.
  ShowMessageBox(0x4242, "T", "owned", 0);
  EXPECT_NE(trace.Lines("messagebox").back().find("owner=16962"), std::string::npos);
}

}  // namespace
}  // namespace sx
