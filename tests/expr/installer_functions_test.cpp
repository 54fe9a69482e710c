// The text and number functions of the library, their defaults for arguments that are no
// integers, and the table itself (names, argument counts, IDs).
#include <gtest/gtest.h>

#include <string>

#include "expr/sx_evaluator.h"
#include "tests/expr/expr_test_support.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

class InstallerFunctions : public test::EvaluatorTest {};

TEST_F(InstallerFunctions, TableOrderIdsAndArgumentCounts) {
  const char* names[] = {
      "Iif", "FilePath", "FileName", "NormalPath", "FileVersion", "FileDate", "FileExists",
      "FolderExists", "CompareVersion", "CompareDate", "CompareText", "RegKeyExists",
      "RegParamExists", "RegParam", "AskUser", "SubStr", "FindSubStr", "Length", "FileSize",
      "Round", "RenameFile", "ActiveInstallType", "FeatureEnabled", "DotNetInstalled", "Return",
      "AbortInstall", "SuspendInstall", "ResumeInstall", "SetVariable", "GetVariable",
      "SetLanguage", "SetInstallType", "SetPassword", "HasAdminRights"};
  const int counts[] = {3, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 2, 3, 4, 3, 3,
                        1, 1, 1, 3, 0, 1, 0, 1, 0, 0, 0, 2, 1, 1, 1, 1, 0};
  ASSERT_EQ(ev.Functions().Count(), 34);
  for (int i = 0; i < 34; ++i) {
    const TqvFunction& f = ev.Functions()[i];
    EXPECT_EQ(f.Name, names[i]);
    EXPECT_EQ(f.ParamCount, counts[i]) << names[i];
    EXPECT_EQ(f.ID, i);
    EXPECT_EQ(f.Owner, nullptr);
  }
  ASSERT_EQ(ev.Operators().Count(), 14);
  EXPECT_EQ(ev.Operators()[9].Name, "not");
  EXPECT_EQ(ev.Operators()[9].Arity, kArityUnary);
  EXPECT_EQ(ev.Operators()[8].Precedence, 0);
}

TEST_F(InstallerFunctions, IifEvaluatesBothBranches) {
  EXPECT_EQ(Eval("Iif(1, 'yes', 'no')"), "yes");
  EXPECT_EQ(Eval("Iif(10, 'yes', 'no')"), "yes");
  EXPECT_EQ(Eval("Iif(2, 'yes', 'no')"), "no");
  EXPECT_EQ(Eval("Iif(1 = 1, SetVariable('Chosen', 'a'), SetVariable('Other', 'b'))"), "");
  EXPECT_EQ(services.calls, (std::vector<std::string>{"SetVariable Chosen=a", "SetVariable Other=b"}));
  EXPECT_EQ(Eval("0 and SetVariable('Late', 'c')"), "0");
  EXPECT_EQ(services.calls.back(), "SetVariable Late=c");
}

TEST_F(InstallerFunctions, PathParts) {
  EXPECT_EQ(Eval("FilePath('C:\\a\\b.txt')"), "C:\\a");
  EXPECT_EQ(Eval("FilePath('C:\\b.txt')"), "C:");
  EXPECT_EQ(Eval("FilePath('C:b.txt')"), "C:");
  EXPECT_EQ(Eval("FilePath('b.txt')"), "");
  EXPECT_EQ(Eval("FilePath('C:\\a\\')"), "C:\\a");
  EXPECT_EQ(Eval("FileName('C:\\a\\b.txt')"), "b.txt");
  EXPECT_EQ(Eval("FileName('C:b.txt')"), "b.txt");
  EXPECT_EQ(Eval("FileName('b.txt')"), "b.txt");
  EXPECT_EQ(Eval("FileName('C:\\a\\')"), "");
  EXPECT_EQ(Eval("NormalPath('C:\\a')"), "C:\\a\\");
  EXPECT_EQ(Eval("NormalPath('C:\\a\\')"), "C:\\a\\");
  EXPECT_EQ(Eval("NormalPath('')"), "");
}

TEST_F(InstallerFunctions, CompareVersionNumericPerPart) {
  EXPECT_EQ(Eval("CompareVersion('1.10', '1.9')"), "1");
  EXPECT_EQ(Eval("CompareVersion('1.9', '1.10')"), "-1");
  EXPECT_EQ(Eval("CompareVersion('1.2', '1.2.0.0')"), "0");
  EXPECT_EQ(Eval("CompareVersion('1..2', '1.2')"), "0");        // runs of '.' are one
  EXPECT_EQ(Eval("CompareVersion('1.2.3.5', '1.2.3.4')"), "1");
  EXPECT_EQ(Eval("CompareVersion('1.2.x.4', '1.2.0.4')"), "0");  // a word that is no integer is 0
  EXPECT_EQ(Eval("CompareVersion('2', '1.65535.65535.65535')"), "1");
  EXPECT_EQ(Eval("CompareVersion('', '0')"), "0");
  // The halves are signed 32-bit numbers: a major version of 32768 or more counts as negative.
  EXPECT_EQ(Eval("CompareVersion('32768.0', '1.0')"), "-1");
}

TEST_F(InstallerFunctions, CompareTextIgnoresCase) {
  EXPECT_EQ(Eval("CompareText(abc, ABC)"), "0");
  EXPECT_EQ(Eval("CompareText('apple', 'Banana')"), "-1");
  EXPECT_EQ(Eval("CompareText('b', 'A')"), "1");
  EXPECT_EQ(Eval("CompareText('', '')"), "0");
}

TEST_F(InstallerFunctions, SubStrAndFindSubStr) {
  EXPECT_EQ(Eval("SubStr('abcdef', 3, 2)"), "cd");
  EXPECT_EQ(Eval("SubStr('abcdef', 0, 2)"), "ab");
  EXPECT_EQ(Eval("SubStr('abcdef', -5, 3)"), "abc");
  EXPECT_EQ(Eval("SubStr('abcdef', 5, 99)"), "ef");
  EXPECT_EQ(Eval("SubStr('abcdef', 7, 1)"), "");
  EXPECT_EQ(Eval("SubStr('abcdef', 2, -1)"), "");
  EXPECT_EQ(Eval("SubStr('abcdef', x, 2)"), "ab");   // start defaults to 1
  EXPECT_EQ(Eval("SubStr('abcdef', 2, x)"), "");     // length defaults to 0
  EXPECT_EQ(Eval("FindSubStr('Hello', 'LL', 1)"), "3");
  EXPECT_EQ(Eval("FindSubStr('Hello hello', 'hello', 2)"), "7");
  EXPECT_EQ(Eval("FindSubStr('Hello', 'x', 1)"), "0");
  EXPECT_EQ(Eval("FindSubStr('', 'x', 1)"), "0");
  EXPECT_EQ(Eval("FindSubStr('Hello', '', 1)"), "0");
  EXPECT_EQ(Eval("FindSubStr('Hello', 'H', -3)"), "1");  // a start below 1 counts as 1
  EXPECT_EQ(Eval("FindSubStr('Hello', 'H', x)"), "1");
  EXPECT_EQ(Eval("FindSubStr('Hello', 'o', 99)"), "0");
}

TEST_F(InstallerFunctions, LengthRoundAndReturn) {
  EXPECT_EQ(Eval("Length('abc')"), "3");
  EXPECT_EQ(Eval("Length('')"), "0");
  EXPECT_EQ(Eval("Length(1 / 3)"), "17");
  EXPECT_EQ(Eval("Round(2.5)"), "2");
  EXPECT_EQ(Eval("Round(3.5)"), "4");
  EXPECT_EQ(Eval("Round(-2.5)"), "-2");
  EXPECT_EQ(Eval("Round(2.4999)"), "2");
  EXPECT_EQ(Eval("Round(abc)"), "0");
  EXPECT_EQ(Eval("Round(2147483647.4)"), "2147483647");
  EXPECT_EQ(Eval("Round(-2147483648)"), "-2147483648");
  EXPECT_EQ(ErrorOf("Round(2147483648)"), "Invalid floating point operation");
  EXPECT_EQ(ErrorOf("Round('1E100')"), "Invalid floating point operation");
  EXPECT_EQ(Eval("Return('done')"), "done");
  EXPECT_EQ(Eval("Return(2 + 2)"), "4");
}

TEST_F(InstallerFunctions, VariablesThroughTheServices) {
  services.DefineVariable("AppDir", "C:\\App");
  services.DefineVariable("Sub", "%AppDir%\\bin");
  EXPECT_EQ(Eval("GetVariable('Sub')"), "C:\\App\\bin");
  EXPECT_EQ(Eval("GetVariable('Missing')"), "");
  // The argument is expanded before the call: GetVariable(%Name%) reads the variable the value
  // names.
  services.DefineVariable("Which", "AppDir");
  EXPECT_EQ(Eval("GetVariable(%Which%)"), "C:\\App");
  EXPECT_EQ(Eval("SetVariable('Port', 80 + 8)"), "");
  EXPECT_EQ(Eval("%Port%"), "88");
  EXPECT_EQ(services.calls, (std::vector<std::string>{"SetVariable Port=88"}));
}

TEST_F(InstallerFunctions, FunctionWithoutImplementationIsReported) {
  ev.AddFunction("Later", 0, nullptr);
  EXPECT_EQ(ErrorOf("Later"),
            "Function \"Later\" is not available in this version of Tarrow Installer.");
}

TEST_F(InstallerFunctions, ZeroArgumentFunctionsAreWrittenWithoutParentheses) {
  EXPECT_EQ(Eval("HasAdminRights"), "1");
  EXPECT_EQ(ErrorOf("HasAdminRights()"),
            test::EvaluatorMessage("Expression expected.", "HasAdminRights()", 15));
  EXPECT_EQ(ErrorOf("Length"), test::EvaluatorMessage("Function parameters expected.", "Length", 7));
  EXPECT_EQ(ErrorOf("Length('a', 'b')"),
            test::EvaluatorMessage("Too many parameters.", "Length('a', 'b')", 16));
}

}  // namespace
}  // namespace sx
