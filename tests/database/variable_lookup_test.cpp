// Reading and writing variables: which definition a name finds (conditions, packages before the
// root), where writes land, system variables, typed reads, and the name index keeping up with
// every change of the list.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "database/sx_classes.h"
#include "database/sx_variable_access.h"
#include "tests/database/hook_scope.h"
#include "util/errors.h"

namespace sx::test {
namespace {

// Conditions answered from a table; a condition missing from it is false.
class ConditionTable {
 public:
  ConditionTable() {
    ConditionsEnabled = true;
    ConditionHook = [this](const std::string& condition, int) {
      auto found = answers.find(condition);
      return found != answers.end() && found->second;
    };
  }
  std::map<std::string, bool> answers;

 private:
  HookScope hooks_;
};

std::unique_ptr<TsxMainDatabase> Project(const char* xml) {
  auto database = std::make_unique<TsxMainDatabase>();
  database->LoadFromString(xml, "");
  return database;
}

TEST(VariableLookup, FirstDefinitionWhoseConditionHoldsWins) {
  ConditionTable conditions;
  auto db = Project(R"(<p><variables>
      <var name="X" value="1" condition="first"/>
      <var name="X" value="2"/>
      <var name="X" value="3" condition="third"/>
    </variables></p>)");
  conditions.answers["first"] = false;
  conditions.answers["third"] = true;
  EXPECT_EQ(ReadVariable(db.get(), "x", ""), "2");
  conditions.answers["first"] = true;
  EXPECT_EQ(ReadVariable(db.get(), "x", ""), "1");
  ConditionsEnabled = false;  // before the engine enables conditions, the first one counts
  conditions.answers["first"] = false;
  EXPECT_EQ(ReadVariable(db.get(), "X", ""), "1");
}

TEST(VariableLookup, EnvironmentItemsAreNoTextVariables) {
  auto db = Project(R"(<p><variables>
      <var name="PATH" type="envvar" value="C:\bin"/>
      <var name="Only" type="envvar" value="x"/>
      <var name="PATH" value="plain"/>
    </variables></p>)");
  EXPECT_EQ(ReadVariable(db.get(), "PATH", "none"), "plain");
  EXPECT_EQ(ReadVariable(db.get(), "Only", "none"), "none");
}

TEST(VariableLookup, PackageLooksInItselfThenInTheRoot) {
  auto db = Project(R"(<p>
      <variables><var name="A" value="root A"/><var name="B" value="root B"/></variables>
      <packages><package id="extra"><variables>
        <var name="A" value="package A, %B%, %C%"/><var name="C" value="package C"/>
      </variables></package></packages></p>)");
  TsxPackage* package = db->Packages->FindByID("extra");
  ASSERT_NE(package, nullptr);
  EXPECT_EQ(ReadVariable(package, "A", ""), "package A, root B, package C");
  EXPECT_EQ(ReadVariable(package, "b", ""), "root B");
  EXPECT_EQ(ReadVariable(db.get(), "A", ""), "root A");
  EXPECT_EQ(ReadVariable(db.get(), "C", "missing"), "missing");
}

TEST(VariableLookup, WritesChangeTheVisibleDefinitionOrLandInTheRoot) {
  ConditionTable conditions;
  auto db = Project(R"(<p>
      <variables><var name="R" value="r"/><var name="Hidden" value="h" condition="no"/></variables>
      <packages><package id="extra"><variables><var name="P" value="p"/></variables></package></packages>
    </p>)");
  TsxPackage& package = (*db->Packages)[0];
  WriteVariable(&package, "p", "package value");
  EXPECT_EQ(package.Variables->Items(0).Value, "package value");
  WriteVariable(&package, "R", "root value");
  EXPECT_EQ(db->Variables->Items(0).Value, "root value");

  WriteVariable(&package, "New", "n");
  EXPECT_EQ(package.Variables->Count(), 1);
  ASSERT_EQ(db->Variables->Count(), 3);
  const TsxVariable& added = db->Variables->Items(2);
  EXPECT_EQ(added.Name, "New");
  EXPECT_EQ(added.Value, "n");
  EXPECT_EQ(added.VarType, TsxVarType::vtNormal);
  EXPECT_EQ(added.Condition, "");

  // A definition whose condition is false is not there for writes either.
  WriteVariable(db.get(), "Hidden", "visible");
  EXPECT_EQ(db->Variables->Items(1).Value, "h");
  EXPECT_EQ(ReadVariable(db.get(), "Hidden", ""), "visible");

  WriteVariable(db.get(), "", "ignored");
  EXPECT_EQ(db->Variables->Count(), 4);
}

TEST(VariableLookup, PackageOutsideAnyRootKeepsItsNewVariables) {
  TsxPackage package;
  WriteVariable(&package, "Own", "1");
  ASSERT_EQ(package.Variables->Count(), 1);
  EXPECT_EQ(ReadVariable(&package, "own", ""), "1");
}

TEST(VariableLookup, MissingContainerOrWrongClassRaise) {
  TsxFeature feature;
  EXPECT_EQ(ReadVariable(nullptr, "", "x"), "");
  try {
    ReadVariable(nullptr, "A", "");
    FAIL() << "no exception";
  } catch (const EEngineError& e) {
    EXPECT_STREQ(e.what(), "Package database was not assigned.");
  }
  try {
    WriteVariable(&feature, "A", "1");
    FAIL() << "no exception";
  } catch (const EEngineError& e) {
    EXPECT_STREQ(e.what(), "Wrong class has been specified.");
  }
  EXPECT_THROW(ExpandText(nullptr, "%A%"), EEngineError);
  EXPECT_EQ(ExpandText(nullptr, "no references"), "no references");
  EXPECT_EQ(ExpansionDepth(), 0);
}

TEST(VariableLookup, SystemVariablesAreTransientAndNeverSaved) {
  auto db = Project(R"(<p><variables><var name="Windows" value="project"/><var name="Kept" value="k"/></variables></p>)");
  WriteSystemVariable(db.get(), "windows", "C:\\WINDOWS");
  WriteSystemPathVariable(db.get(), "Temp", " C:\\Temp\\ ");
  WriteSystemVariable(db.get(), "", "ignored");
  ASSERT_EQ(db->Variables->Count(), 3);
  EXPECT_EQ(db->Variables->Items(0).Value, "C:\\WINDOWS");
  EXPECT_TRUE(db->Variables->Items(0).Transient);
  EXPECT_EQ(db->Variables->Items(2).Value, "C:\\Temp");
  EXPECT_TRUE(db->Variables->Items(2).Transient);
  EXPECT_FALSE(db->Variables->Items(1).Transient);
  std::string saved = db->SaveToString("sx2project");
  EXPECT_NE(saved.find("Kept"), std::string::npos);
  EXPECT_EQ(saved.find("Windows"), std::string::npos);
  EXPECT_EQ(saved.find("Temp"), std::string::npos);
}

TEST(VariableLookup, PathVariablesLoseSurroundingBlanksAndOneBackslash) {
  TsxMainDatabase db;
  WriteVariablePath(&db, "T", " C:\\Temp\\ ");
  EXPECT_EQ(ReadVariable(&db, "T", ""), "C:\\Temp");
  WriteVariablePath(&db, "T", "\tC:\\a\\\\\r\n");
  EXPECT_EQ(ReadVariable(&db, "T", ""), "C:\\a\\");
  WriteVariablePath(&db, "T", "C:\\");
  EXPECT_EQ(ReadVariable(&db, "T", ""), "C:");
  EXPECT_EQ(PathVariableText("  "), "");
}

TEST(VariableLookup, BooleanAndIntegerReads) {
  auto db = Project(R"(<p><variables>
      <var name="One" value="1"/><var name="Two" value="2"/><var name="Zero" value="0"/>
      <var name="Yes" value="yes"/><var name="Blanks" value=" 42 "/><var name="Hex" value="$1F"/>
      <var name="CHex" value="0x10"/><var name="Neg" value="-7"/><var name="Ref" value="%Two%0"/>
      <var name="Huge" value="99999999999"/><var name="AllBits" value="$FFFFFFFF"/>
    </variables></p>)");
  EXPECT_TRUE(ReadVariableBool(db.get(), "One", false));
  EXPECT_TRUE(ReadVariableBool(db.get(), "Two", false));
  EXPECT_FALSE(ReadVariableBool(db.get(), "Zero", true));
  EXPECT_FALSE(ReadVariableBool(db.get(), "Yes", false));
  EXPECT_TRUE(ReadVariableBool(db.get(), "Yes", true));
  EXPECT_FALSE(ReadVariableBool(db.get(), "Missing", false));
  EXPECT_TRUE(ReadVariableBool(db.get(), "Missing", true));

  EXPECT_EQ(ReadVariableInt(db.get(), "Blanks", 0), 42);
  EXPECT_EQ(ReadVariableInt(db.get(), "Hex", 0), 31);
  EXPECT_EQ(ReadVariableInt(db.get(), "CHex", 0), 16);
  EXPECT_EQ(ReadVariableInt(db.get(), "Neg", 0), -7);
  EXPECT_EQ(ReadVariableInt(db.get(), "Ref", 0), 20);
  EXPECT_EQ(ReadVariableInt(db.get(), "Yes", -5), -5);
  EXPECT_EQ(ReadVariableInt(db.get(), "Huge", -5), -5);
  EXPECT_EQ(ReadVariableInt(db.get(), "AllBits", 0), -1);
  EXPECT_EQ(ReadVariableInt(db.get(), "Missing", 9), 9);

  WriteVariableInt(db.get(), "Count", -12);
  WriteVariableBool(db.get(), "Flag", true);
  WriteVariableBool(db.get(), "Off", false);
  EXPECT_EQ(ReadVariable(db.get(), "Count", ""), "-12");
  EXPECT_EQ(ReadVariable(db.get(), "Flag", ""), "1");
  EXPECT_EQ(ReadVariable(db.get(), "Off", ""), "0");
}

TEST(VariableIndex, FollowsAppendsDeletionsClearsAndMerges) {
  auto db = Project(R"(<p><variables><var name="A" value="1"/><var name="B" value="2"/></variables></p>)");
  TsxVariables& list = *db->Variables;
  EXPECT_EQ(ReadVariable(db.get(), "A", ""), "1");

  TsxVariable& added = list.AddNew();  // named after it was appended, before the next lookup
  added.Name = "C";
  added.Value = "3";
  EXPECT_EQ(ReadVariable(db.get(), "c", ""), "3");

  list.Delete(0);
  EXPECT_EQ(ReadVariable(db.get(), "A", "gone"), "gone");
  EXPECT_EQ(ReadVariable(db.get(), "B", ""), "2");

  // A merged <var> of the same name and condition replaces the existing one's content.
  TXMLTag more;
  more.Parse(R"(<p><variables><var name="b" value="merged"/><var name="D" value="4"/></variables></p>)");
  db->MergeFrom(more);
  EXPECT_EQ(ReadVariable(db.get(), "B", ""), "merged");
  EXPECT_EQ(ReadVariable(db.get(), "D", ""), "4");

  list.SetParam("E", "5");
  EXPECT_EQ(ReadVariable(db.get(), "E", ""), "5");

  list.Clear();
  EXPECT_EQ(ReadVariable(db.get(), "B", "none"), "none");
  db->LoadFromString(R"(<p><variables><var name="B" value="reloaded"/></variables></p>)", "");
  EXPECT_EQ(ReadVariable(db.get(), "B", ""), "reloaded");
}

TEST(VariableIndex, RenamedVariablesAreFoundAfterReindexAndNeverUnderTheOldName) {
  auto db = Project(R"(<p><variables><var name="Old" value="v"/><var name="Other" value="o"/></variables></p>)");
  EXPECT_EQ(ReadVariable(db.get(), "Old", ""), "v");
  db->Variables->Items(0).Name = "New";
  EXPECT_EQ(ReadVariable(db.get(), "Old", "none"), "none");
  db->Variables->Reindex();
  EXPECT_EQ(ReadVariable(db.get(), "New", ""), "v");
  EXPECT_EQ(ReadVariable(db.get(), "Other", ""), "o");
}

TEST(VariableIndex, ConditionsThatChangeTheListDuringALookupAreSafe) {
  HookScope hooks;
  auto db = Project(R"(<p><variables>
      <var name="X" value="first" condition="grow"/><var name="X" value="second"/>
    </variables></p>)");
  ConditionsEnabled = true;
  // The condition appends many variables (moving the list's storage) and answers false.
  ConditionHook = [&](const std::string& condition, int) {
    if (condition == "grow")
      for (int i = 0; i < 100; ++i) WriteVariable(db.get(), "G" + std::to_string(i), "g");
    return false;
  };
  EXPECT_EQ(ReadVariable(db.get(), "X", ""), "second");
  EXPECT_EQ(ReadVariable(db.get(), "G99", ""), "g");

  // The condition deletes the next candidate while the lookup holds it.
  auto db2 = Project(R"(<p><variables>
      <var name="Y" value="first" condition="shrink"/><var name="Y" value="second" condition="no"/>
      <var name="Y" value="third"/>
    </variables></p>)");
  bool shrunk = false;
  ConditionHook = [&](const std::string& condition, int) {
    if (condition == "shrink" && !shrunk) {
      shrunk = true;
      db2->Variables->Delete(1);
    }
    return false;
  };
  ASSERT_EQ(db2->Variables->Count(), 3);
  EXPECT_EQ(ReadVariable(db2.get(), "Y", ""), "third");
  EXPECT_EQ(db2->Variables->Count(), 2);
}

}  // namespace
}  // namespace sx::test
