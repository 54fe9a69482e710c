// Merging the database of a further package into the model: the root is not cleared, attributes
// present overwrite, lists append, variables replace an equal one.
#include <gtest/gtest.h>

#include "database/sx_classes.h"
#include "tests/database/sample_project.h"
#include "xml/xml_settings.h"

namespace sx::test {
namespace {

constexpr const char* kPackageDatabase = R"xml(<anything version="3" tempgacpath="">
  <variables>
    <var name="APPDIR" value="D:\New\" condition="1"/>
    <var name="AppDir" value="unconditional"/>
    <var name="Added" value="a"/>
  </variables>
  <components><component id="docs" name="Documentation"><files><file src="manual.pdf"/></files></component></components>
  <features><feature id="docs"/></features>
  <launchconditions><launchcondition msg="second"/></launchconditions>
</anything>)xml";

class DbMerge : public ::testing::Test {
 protected:
  DbMerge() {
    settings_->PreserveAttributeWhitespace = true;
    root_.LoadFromString(kSampleProject, "sx2project");
    package_.Parse(kPackageDatabase);
  }
  TXMLSettingsScope settings_;
  TsxMainDatabase root_;
  TXMLTag package_;
};

TEST_F(DbMerge, RootKeepsWhatThePackageDoesNotMention) {
  root_.MergeFrom(package_);
  EXPECT_FALSE(root_.Merging);
  EXPECT_EQ(root_.Version, "3");
  EXPECT_EQ(root_.Password, "pw");
  EXPECT_EQ(root_.TempGACPath, "");  // present, so overwritten
  EXPECT_EQ(root_.InstallState, TsxInstallState::isRunAppBeforeInstall);
  EXPECT_TRUE(root_.RebootOnFinish);
  EXPECT_EQ(root_.Packages->Count(), 2);
}

TEST_F(DbMerge, ListsAppendTheirNewItems) {
  TsxComponent* core = root_.Components->FindByID("core");
  root_.MergeFrom(package_);
  ASSERT_EQ(root_.Components->Count(), 3);
  EXPECT_EQ(root_.Components->FindByID("core"), core);  // existing items are kept as they are
  EXPECT_EQ(root_.Components->Items(1).Name, "docs");
  EXPECT_EQ(root_.Components->Items(2).Name, "Documentation");
  EXPECT_EQ(root_.Components->Items(2).Files->Count(), 1);
  EXPECT_EQ(root_.Features->Count(), 3);
  ASSERT_EQ(root_.LaunchConditions->Count(), 2);
  EXPECT_EQ(root_.LaunchConditions->Items(1).Msg, "second");
}

TEST_F(DbMerge, VariableWithSameNameAndConditionIsReplaced) {
  TsxVariable* appDir = &root_.Variables->Items(0);
  appDir->DefValue = "old default";
  appDir->Transient = true;
  root_.MergeFrom(package_);
  ASSERT_EQ(root_.Variables->Count(), 6);
  EXPECT_EQ(&root_.Variables->Items(0), appDir);
  EXPECT_EQ(appDir->Name, "APPDIR");
  EXPECT_EQ(appDir->Value, "D:\\New\\");
  EXPECT_EQ(appDir->DefValue, "");  // replaced through XML: what the element lacks is cleared
  EXPECT_TRUE(appDir->Transient);   // run-time fields are no properties and stay
  EXPECT_EQ(root_.Variables->Items(4).Value, "unconditional");  // other condition: a new variable
  EXPECT_EQ(root_.Variables->Items(5).Name, "Added");
}

TEST_F(DbMerge, PlainLoadOfThePackageWouldReplaceEverything) {
  root_.Assign(package_);
  EXPECT_EQ(root_.Password, "");
  EXPECT_EQ(root_.Packages->Count(), 0);
  EXPECT_EQ(root_.Components->Count(), 1);
  EXPECT_EQ(root_.Variables->Count(), 3);
}

TEST_F(DbMerge, PackageDatabaseMergesIntoItsPackage) {
  TsxPackage& extra = root_.Packages->Items(1);
  TXMLTag database;
  database.Parse(
      "<db><components><component id='docs' name='Docs'/></components>"
      "<variables><var name='PkgOnly' value='1'/></variables></db>");
  extra.MergeFrom(database);
  EXPECT_EQ(extra.FileName, "extra.sxp");
  EXPECT_EQ(extra.ID, "extra");
  ASSERT_EQ(extra.Components->Count(), 1);
  EXPECT_EQ(extra.Components->Items(0).Name, "Docs");
  EXPECT_EQ(extra.Variables->FindVariable("pkgonly")->Value, "1");
  EXPECT_EQ(FindDatabase(&extra.Components->Items(0)), &root_);
}

TEST_F(DbMerge, MergingTwiceAppendsTwiceButReplacesVariables) {
  root_.MergeFrom(package_);
  root_.MergeFrom(package_);
  EXPECT_EQ(root_.Components->Count(), 4);
  EXPECT_EQ(root_.Variables->Count(), 6);
}

}  // namespace
}  // namespace sx::test
