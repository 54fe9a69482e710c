// A project written by SaveToFile and read back gives the same model.
#include <gtest/gtest.h>

#include "database/sx_classes.h"
#include "tests/database/sample_project.h"
#include "tests/support/temp_machine.h"
#include "xml/xml_settings.h"

namespace sx::test {
namespace {

class DbRoundTrip : public ::testing::Test {
 protected:
  DbRoundTrip() { settings_->PreserveAttributeWhitespace = true; }
  TXMLSettingsScope settings_;
};

TEST_F(DbRoundTrip, SampleProjectLoadsEveryClass) {
  TsxMainDatabase root;
  root.LoadFromString(kSampleProject, "sx2project");
  EXPECT_EQ(root.Version, "2.1");
  EXPECT_EQ(root.InstallState, TsxInstallState::isRunAppBeforeInstall);
  EXPECT_TRUE(root.RebootOnFinish);
  ASSERT_EQ(root.Variables->Count(), 4);
  EXPECT_EQ(root.Variables->Items(2).VarType, TsxVarType::vtIni);
  EXPECT_EQ(root.Variables->Items(3).Action, TsxInstallAction::remove);
  ASSERT_EQ(root.Packages->Count(), 2);
  TsxPackage& main = root.Packages->Items(0);
  EXPECT_TRUE(main.Main);
  EXPECT_EQ(main.PresetupSize, 123456);
  EXPECT_EQ(main.Plugins->Items(0).Config->GetPluginParam("main", "title", ""), "Example Setup");
  EXPECT_EQ(main.Plugins->Items(0).CustomConfig->Name(), "customconfig");
  EXPECT_EQ(main.FileInfos->FindByName("FONT.TTF")->FontName, "Example Sans");
  TsxComponent& core = *root.Components->FindByID("CORE");
  EXPECT_EQ(core.Files->Items(0).Flags, (TsxFlags{TsxFlag::reg_server, TsxFlag::shared}));
  EXPECT_EQ(core.Registry->Items(1).ParamType, TsxRegType::rtInt);
  EXPECT_EQ(core.Shortcuts->Items(0).Hotkey, 1601);
  EXPECT_EQ(core.RunApps->Items(0).WhenStart, TsxWhenStart::before_dialogs);
  ASSERT_NE(core.ODBC, nullptr);
  EXPECT_EQ(core.ODBC->DataSources->Items(0).Attributes->Count(), 2);
  EXPECT_EQ(core.ODBC->Translators->Items(0).TranslatorDLL, "extr.dll");
  EXPECT_EQ(root.Components->Items(1).Name, "docs");
  TsxFeature& feature = root.Features->Items(0);
  EXPECT_EQ(feature.Features->Items(0).Depends->Items(0).ID, "main");
  EXPECT_TRUE(root.InstallTypes->Items(1).Custom);
  EXPECT_EQ(root.LaunchConditions->Items(0).Condition, "OSVersion() &gt;= 5");  // no named entities
}

TEST_F(DbRoundTrip, SavedFileReadsBackToTheSameModel) {
  TempMachine machine;
  TsxMainDatabase original;
  original.LoadFromString(kSampleProject, "");
  ASSERT_TRUE(machine.host().CreateFolder("C:\\resume"));
  ASSERT_TRUE(original.SaveToFile("C:\\resume\\state.xml", "sx2project"));
  TsxMainDatabase read;
  ASSERT_TRUE(read.LoadFromFile("C:\\resume\\state.xml", "sx2project"));
  EXPECT_EQ(read.SaveToString("sx2project"), original.SaveToString("sx2project"));
  EXPECT_EQ(ReadHostFile(machine.HostPath("drive_c/resume/state.xml")), original.SaveToString("sx2project"));
  // And a few values checked directly, beyond the text comparison.
  EXPECT_EQ(read.Packages->Items(0).Plugins->Items(0).CustomConfig->GetXML(0),
            original.Packages->Items(0).Plugins->Items(0).CustomConfig->GetXML(0));
  EXPECT_EQ(read.Components->Items(0).Shortcuts->Items(0).ShowCmd, TsxShowCmd::scMax);
  EXPECT_EQ(read.Components->Items(0).Owner, read.Components.get());
  EXPECT_EQ(FindDatabase(&read.Components->Items(0).Files->Items(0)), &read);
}

TEST_F(DbRoundTrip, WritingIsStableAfterOneNormalisation) {
  TsxMainDatabase once;
  once.LoadFromString(kSampleProject, "");
  std::string first = once.SaveToString("sx2project");
  TsxMainDatabase twice;
  twice.LoadFromString(first, "");
  EXPECT_EQ(twice.SaveToString("sx2project"), first);
}

TEST_F(DbRoundTrip, CopyBetweenRootsKeepsPersistedStateOnly) {
  TsxMainDatabase source;
  source.LoadFromString(kSampleProject, "");
  source.Variables->Items(0).Transient = true;
  source.Features->Items(0).Selected = true;
  TsxMainDatabase copy;
  copy.Assign(source);
  EXPECT_EQ(copy.Variables->Count(), 3);
  EXPECT_FALSE(copy.Features->Items(0).Selected);
  EXPECT_EQ(copy.Components->Count(), 2);
}

TEST_F(DbRoundTrip, SilentSettingsHaveTheirOwnRoot) {
  TempMachine machine;
  TsxSilentSettings settings;
  settings.ActiveInstallType = "custom";
  settings.Variables->SetParam("AppDir", "D:\\App\\");
  settings.Features->AddNew().ID = "help";
  ASSERT_TRUE(settings.SaveToFile("C:\\setup.sss", "silentsettings"));
  TsxSilentSettings read;
  EXPECT_FALSE(read.LoadFromFile("C:\\setup.sss", "sx2project"));
  ASSERT_TRUE(read.LoadFromFile("C:\\setup.sss", "silentsettings"));
  EXPECT_EQ(read.ActiveInstallType, "custom");
  EXPECT_EQ(read.Variables->FindVariable("appdir")->Value, "D:\\App\\");
  EXPECT_EQ(read.Features->Items(0).ID, "help");
}

}  // namespace
}  // namespace sx::test
