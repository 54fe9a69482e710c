// Expanding %Name% references: the scanning rules, values expanded on every read, loops of
// references ending with the infinite-reference text, and registry and INI variables.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "database/sx_classes.h"
#include "database/sx_variable_access.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "tests/database/hook_scope.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

std::unique_ptr<TsxMainDatabase> Project(const char* xml) {
  auto database = std::make_unique<TsxMainDatabase>();
  database->LoadFromString(xml, "");
  return database;
}

TEST(TextExpansion, ReferencesResolveThroughChainsOfValues) {
  auto db = Project(R"(<p><variables>
      <var name="A" value="x%B%y"/><var name="B" value="1"/>
      <var name="Dir" value="%Root%\app"/><var name="Root" value="C:\Program Files"/>
    </variables></p>)");
  EXPECT_EQ(ExpandText(db.get(), "[%A%]"), "[x1y]");
  EXPECT_EQ(ExpandText(db.get(), "%dir%\\bin %b%%B%"), "C:\\Program Files\\app\\bin 11");
  // The default of a read is expanded like a value.
  EXPECT_EQ(ReadVariable(db.get(), "Missing", "<%B%>"), "<1>");
  // Values are read anew every time.
  WriteVariable(db.get(), "B", "2");
  EXPECT_EQ(ExpandText(db.get(), "[%A%]"), "[x2y]");
}

TEST(TextExpansion, PercentSignsThatAreNoReferences) {
  auto db = Project(R"(<p><variables><var name="B" value="1"/></variables></p>)");
  EXPECT_EQ(ExpandText(db.get(), "100%% sure"), "100% sure");
  EXPECT_EQ(ExpandText(db.get(), "50% off"), "50% off");
  EXPECT_EQ(ExpandText(db.get(), "%"), "%");
  EXPECT_EQ(ExpandText(db.get(), "%%%%"), "%%");
  EXPECT_EQ(ExpandText(db.get(), "%%%B%"), "%1");
  EXPECT_EQ(ExpandText(db.get(), "%B%%"), "1%");
  EXPECT_EQ(ExpandText(db.get(), "50% off, 20% more"), "50% off, 20% more");
  EXPECT_EQ(ExpandText(db.get(), "% B%"), "% B%");  // names are taken as they stand
  EXPECT_EQ(ExpandText(db.get(), ""), "");
}

TEST(TextExpansion, UnresolvedReferencesStayOrAreDropped) {
  auto db = Project(R"(<p><variables><var name="B" value="1"/><var name="Ref" value="[%Missing%]"/></variables></p>)");
  EXPECT_EQ(ExpandText(db.get(), "%Missing%"), "%Missing%");
  EXPECT_EQ(ExpandTextEx(db.get(), "%Missing%", true), "");
  EXPECT_EQ(ExpandTextEx(db.get(), "a %Missing% b %B%", true), "a  b 1");
  // Only the outermost text drops them; values expand as usual.
  EXPECT_EQ(ExpandTextEx(db.get(), "%Ref%", true), "[%Missing%]");
}

TEST(TextExpansion, DoubleBarsBecomeLineBreaks) {
  auto db = Project(R"(<p><variables><var name="Lines" value="one||two"/><var name="Bar" value="|"/></variables></p>)");
  EXPECT_EQ(ExpandText(db.get(), "a||b"), "a\r\nb");
  EXPECT_EQ(ExpandText(db.get(), "|||"), "\r\n|");
  EXPECT_EQ(ExpandText(db.get(), "%Lines%"), "one\r\ntwo");
  EXPECT_EQ(ExpandText(db.get(), "%Bar%|"), "\r\n");  // the whole output is searched
}

TEST(TextExpansion, VariableHoldingItsOwnReferenceStaysAsWritten) {
  auto db = Project(R"(<p><variables><var name="A" value="%A%"/><var name="L" value="%l%"/></variables></p>)");
  EXPECT_EQ(ExpandText(db.get(), "%A%"), "%A%");
  EXPECT_EQ(ExpandText(db.get(), "<%L%>"), "<%l%>");
  EXPECT_EQ(ExpansionDepth(), 0);
}

TEST(TextExpansion, SelfReferenceWithMoreTextEndsWithTheInfiniteReferenceText) {
  auto db = Project(R"(<p><variables><var name="A" value="%A%!"/><var name="B" value="1"/></variables></p>)");
  const std::string message = "***** Infinite reference in the string \"%A%!\" *****";
  EXPECT_EQ(InfiniteReferenceText("%A%!"), message);
  // The innermost level (101) yields the message; the 99 levels of values above it each add
  // their "!".
  EXPECT_EQ(ExpandText(db.get(), "%A%"), message + std::string(99, '!'));
  EXPECT_EQ(ExpansionDepth(), 0);
  EXPECT_EQ(ExpandText(db.get(), "%B%"), "1");
}

TEST(TextExpansion, LoopsOfSeveralVariablesEnd) {
  auto db = Project(R"(<p><variables>
      <var name="A" value="a%B%"/><var name="B" value="b%C%"/><var name="C" value="c%A%"/>
    </variables></p>)");
  std::string result = ExpandText(db.get(), "%A%");
  EXPECT_TRUE(result.starts_with("abcabc")) << result;
  EXPECT_NE(result.find("***** Infinite reference in the string \""), std::string::npos);
  EXPECT_EQ(ExpansionDepth(), 0);
}

TEST(TextExpansion, ValueReferringToItselfTwiceEndsWithoutDoublingTheWork) {
  // Without cutting the rest of the expansion short this would take 2^100 steps.
  auto db = Project(R"(<p><variables><var name="A" value="%A%%A%"/><var name="B" value="1"/></variables></p>)");
  std::string result = ExpandText(db.get(), "%A%");
  const std::string message = InfiniteReferenceText("%A%%A%");
  EXPECT_TRUE(result.starts_with(message)) << result.substr(0, 100);
  EXPECT_LT(result.size(), 200 * message.size());
  EXPECT_EQ(ExpansionDepth(), 0);
  // The next expansion starts afresh.
  EXPECT_EQ(ExpandText(db.get(), "%B%"), "1");
}

TEST(TextExpansion, ExpansionsThatGrowWithinTheDepthLimitEndAtTheirBudget) {
  // V1 = "%V2%%V2%", V2 = "%V3%%V3%", ... 30 levels: 2^30 references, each level well within the
  // depth limit. The budget of references ends it with the infinite-reference text.
  std::string xml = "<p><variables>";
  for (int level = 1; level < 30; ++level) {
    const std::string next = "%V" + std::to_string(level + 1) + "%";
    xml += "<var name=\"V" + std::to_string(level) + "\" value=\"" + next + next + "\"/>";
  }
  xml += "<var name=\"V30\" value=\"x\"/><var name=\"V20x\" value=\"%V20%\"/><var name=\"B\" value=\"1\"/>";
  xml += "</variables></p>";
  auto db = Project(xml.c_str());
  EXPECT_EQ(ExpandText(db.get(), "<%V1%>"), InfiniteReferenceText("<%V1%>"));
  EXPECT_EQ(ReadVariable(db.get(), "V1", ""), InfiniteReferenceText("%V2%%V2%"));
  EXPECT_EQ(ExpansionDepth(), 0);
  // Ten levels (1,024 references) are within the budget and expand fully; the next expansion
  // starts with a fresh budget.
  EXPECT_EQ(ExpandText(db.get(), "%V20x%"), std::string(1024, 'x'));
  EXPECT_EQ(ExpandText(db.get(), "%B%"), "1");
}

TEST(TextExpansion, ManyReferencesToItselfEndAtTheOutputBudget) {
  // "%X%" 300 times: past the depth limit every reference would give the infinite-reference text
  // holding the whole value, about 300 x 100 x 900 bytes in all.
  std::string value;
  for (int i = 0; i < 300; ++i) value += "%X%";
  auto db = Project(("<p><variables><var name=\"X\" value=\"" + value + "\"/></variables></p>").c_str());
  EXPECT_EQ(ReadVariable(db.get(), "X", ""), InfiniteReferenceText(value));
  EXPECT_EQ(ExpandText(db.get(), "[%X%]"), InfiniteReferenceText("[%X%]"));
  EXPECT_EQ(ExpansionDepth(), 0);
}

TEST(TextExpansion, ConditionsEvaluatedDuringAnExpansionMayExpandAgain) {
  HookScope hooks;
  auto db = Project(R"(<p><variables>
      <var name="Mode" value="full"/>
      <var name="Dir" value="C:\Full" condition="full"/><var name="Dir" value="C:\Lite"/>
    </variables></p>)");
  ConditionsEnabled = true;
  ConditionHook = [&](const std::string& condition, int) {
    return ExpandText(db.get(), "%Mode%") == condition;
  };
  EXPECT_EQ(ExpandText(db.get(), "%Dir%"), "C:\\Full");
  WriteVariable(db.get(), "Mode", "lite");
  EXPECT_EQ(ExpandText(db.get(), "%Dir%"), "C:\\Lite");
}

class SourceVariables : public ::testing::Test {
 protected:
  TempMachine machine_;
};

TEST_F(SourceVariables, RegistryVariablesReadTheirValueOnEveryRead) {
  auto db = Project(R"(<p><variables>
      <var name="Vendor" value="Example"/>
      <var name="Lang" type="reg" regkey="HKCU\Software\%Vendor%" regparam="%Param%" defvalue="%Fallback%"/>
      <var name="Param" value="Lang"/><var name="Fallback" value="en"/>
    </variables></p>)");
  EXPECT_EQ(ReadVariable(db.get(), "Lang", ""), "en");  // DefValue, expanded like any value
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\Example", "Lang", "de-%Vendor%"));
  EXPECT_EQ(ExpandText(db.get(), "[%Lang%]"), "[de-Example]");
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\Example", "Lang", "fr"));
  EXPECT_EQ(ReadVariable(db.get(), "Lang", ""), "fr");
  WriteVariable(db.get(), "Lang", "ignored");  // the registry stays the source
  EXPECT_EQ(ReadVariable(db.get(), "Lang", ""), "fr");
}

TEST_F(SourceVariables, IniVariablesReadTheFileTheyName) {
  WriteHostFile(machine_.HostPath("drive_c/app/app.ini"), "[Net]\r\nPort=8080\r\n");
  auto db = Project(R"(<p><variables>
      <var name="AppDir" value="C:\app"/>
      <var name="Port" type="ini" inifile="%AppDir%\app.ini" inisection="%Section%" iniparam="Port" defvalue="80"/>
      <var name="Other" type="ini" inifile="%AppDir%\app.ini" inisection="Net" iniparam="Missing" defvalue="none"/>
      <var name="Section" value="Net"/>
    </variables></p>)");
  EXPECT_EQ(ReadVariable(db.get(), "Port", ""), "8080");
  EXPECT_EQ(ReadVariable(db.get(), "Other", ""), "none");
  WriteVariable(db.get(), "Section", "Elsewhere");
  EXPECT_EQ(ReadVariable(db.get(), "Port", ""), "80");
  IniCloseAll();
}

TEST_F(SourceVariables, SourceTextsExpandInTheContainerThatHoldsTheVariable) {
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\Root", "V", "from root key"));
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\Package", "V", "from package key"));
  auto db = Project(R"(<p>
      <variables><var name="Key" value="Root"/>
        <var name="R" type="reg" regkey="HKCU\Software\%Key%" regparam="V"/></variables>
      <packages><package id="p"><variables><var name="Key" value="Package"/>
        <var name="P" type="reg" regkey="HKCU\Software\%Key%" regparam="V"/></variables></package></packages>
    </p>)");
  TsxPackage& package = (*db->Packages)[0];
  EXPECT_EQ(ReadVariable(&package, "R", ""), "from root key");
  EXPECT_EQ(ReadVariable(&package, "P", ""), "from package key");
}

}  // namespace
}  // namespace sx::test
