// sxtool eval, run as a program on a throw-away machine: the value and a newline on standard
// output, the evaluator's message on standard error with exit status 1, variables from the
// machine, the environment and a project file, and questions through the machine's message boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs "sxtool eval ARGS..." on the machine with extra environment settings ("NAME=value ...");
// `output` gets standard output, followed by standard error with `withErrors`.
int Eval(const TempMachine& machine, const std::vector<std::string>& args, std::string* output,
         bool withErrors = false, const std::string& environment = "") {
  std::string command = "SX_MACHINE=" + Quote(machine.folder()) + " " + environment + " " +
                        Quote(SX_SXTOOL) + " eval";
  for (const auto& arg : args) command += " " + Quote(arg);
  command += withErrors ? " 2>&1" : " 2>/dev/null";
  return RunCommand(command, output);
}

TEST(EvalCommand, PrintsTheValue) {
  TempMachine machine;
  std::string out;
  EXPECT_EQ(Eval(machine, {"2 + 3 * 4"}, &out), 0);
  EXPECT_EQ(out, "14\n");
  EXPECT_EQ(Eval(machine, {"-1 < 0"}, &out), 0);
  EXPECT_EQ(out, "1\n");
  EXPECT_EQ(Eval(machine, {"''"}, &out), 0);
  EXPECT_EQ(out, "\n");
}

TEST(EvalCommand, ErrorsGoToStandardErrorWithStatusOne) {
  TempMachine machine;
  std::string out;
  EXPECT_EQ(Eval(machine, {"1 2"}, &out, true), 1);
  EXPECT_EQ(out, "Operator expected.\r\n\r\nExpression: 1 2\r\nPosition: 2\n");
  EXPECT_EQ(Eval(machine, {"1 2"}, &out), 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Eval(machine, {"1 / 0"}, &out, true), 1);
  EXPECT_EQ(out, "Floating point division by zero\n");
  EXPECT_EQ(Eval(machine, {}, &out), 2);
  EXPECT_EQ(Eval(machine, {"1", "2"}, &out), 2);
  // Unbalanced parentheses and positions that start at 1.
  EXPECT_EQ(Eval(machine, {"(1"}, &out, true), 1);
  EXPECT_EQ(out, "Closing parenthesis is expected.\r\n\r\nExpression: (1\r\nPosition: 3\n");
  EXPECT_EQ(Eval(machine, {"1)"}, &out, true), 1);
  EXPECT_EQ(out, "Closing parenthesis without an opening one.\r\n\r\nExpression: 1)\r\nPosition: 2\n");
  EXPECT_EQ(Eval(machine, {",,,"}, &out, true), 1);
  EXPECT_EQ(out, "Expression expected.\r\n\r\nExpression: ,,,\r\nPosition: 1\n");
  EXPECT_EQ(Eval(machine, {"1e-5000 + 0"}, &out), 0);
  EXPECT_EQ(out, "0\n");
}

TEST(EvalCommand, AValueThatFeedsItsOwnExpansionBackStaysBounded) {
  // Each expansion of X ends at the budget with the infinite-reference text, which holds the
  // value expanded; without the budget the second one ran for minutes into gigabytes.
  TempMachine machine;
  std::string out;
  ASSERT_EQ(Eval(machine, {"SetVariable('X', '%X%%X%') & SetVariable('X', GetVariable('X')) & "
                           "Length(GetVariable('X'))"},
                 &out, true),
            0)
      << out.substr(0, 300);
  ASSERT_FALSE(out.empty());
  const long length = std::stol(out);
  EXPECT_GT(length, 100);
  EXPECT_LT(length, 8 << 20);
}

TEST(EvalCommand, MachineAndEnvironmentVariables) {
  TempMachine machine;
  std::string out;
  EXPECT_EQ(Eval(machine, {"%Windows% & '|' & %SXEVALTEST%"}, &out, false, "SXEVALTEST=from-env"), 0);
  EXPECT_EQ(out, "C:\\windows|from-env\n");
  test::WriteHostFile(machine.HostPath("drive_c/windows/system32/kernel32.dll"), "k");
  EXPECT_EQ(Eval(machine, {"FileExists('%System%\\kernel32.dll')"}, &out), 0);
  EXPECT_EQ(out, "1\n");
}

TEST(EvalCommand, ProjectVariablesWithConditions) {
  TempMachine machine;
  const std::string project = machine.HostPath("project.xml");
  WriteHostFile(project,
                "<sx2project activeinstalltype=\"full\"><variables>"
                "<var name=\"Lang\" value=\"DEU\"/>"
                "<var name=\"Greeting\" value=\"Hallo %Who%\" condition=\"%Lang% = DEU\"/>"
                "<var name=\"Greeting\" value=\"Hello\"/>"
                "<var name=\"Who\" value=\"Welt\"/>"
                "</variables></sx2project>");
  std::string out;
  EXPECT_EQ(Eval(machine, {"--project", project, "%Greeting% & ', ' & ActiveInstallType"}, &out), 0);
  EXPECT_EQ(out, "Hallo Welt, full\n");
  EXPECT_EQ(Eval(machine, {"--project", project, "SetVariable(Lang, ENU) & %Greeting%"}, &out), 0);
  EXPECT_EQ(out, "Hello\n");
  EXPECT_EQ(Eval(machine, {"--project", machine.HostPath("missing.xml"), "1"}, &out, true), 1);
}

TEST(EvalCommand, ProjectFeaturesAndInstallTypes) {
  TempMachine machine;
  const std::string project = machine.HostPath("features.xml");
  WriteHostFile(project,
                "<sx2project><features>"
                "<feature id=\"Core\"><excepts><feature id=\"Lite\"/></excepts></feature>"
                "<feature id=\"Lite\"/>"
                "</features><installtypes>"
                "<installtype id=\"Full\"><features><feature id=\"Core\"/></features></installtype>"
                "</installtypes></sx2project>");
  std::string out;
  // Nothing is selected before an install type is activated.
  EXPECT_EQ(Eval(machine, {"--project", project, "FeatureEnabled(Core) & '|' & ActiveInstallType"},
                 &out),
            0);
  EXPECT_EQ(out, "0|\n");
  EXPECT_EQ(Eval(machine,
                 {"--project", project,
                  "SetInstallType(full) & ActiveInstallType & FeatureEnabled(core) & "
                  "FeatureEnabled(Lite)"},
                 &out, true),
            0);
  EXPECT_EQ(out, "Full10\n");
}

TEST(EvalCommand, InstallationRequestsAreReportedAndQuestionsAsked) {
  TempMachine machine;
  std::string out;
  EXPECT_EQ(Eval(machine, {"AbortInstall & 'x'"}, &out, true), 0);
  EXPECT_EQ(out, "sxtool eval: AbortInstall: no installation is running\nx\n");
  EXPECT_EQ(Eval(machine, {"AskUser('Setup', 'Go on?', 1, 1)"}, &out, false,
                 "SX_MSGBOX_ANSWERS=IDNO"),
            0);
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(Eval(machine, {"AskUser('Setup', 'Go on?', 1, 1) & AskUser('Setup', 'Go on?', 1, 1)"},
                 &out, true, "SX_MSGBOX_ANSWERS=IDYES"),
            0);
  // One box for the two calls: the second answer comes from the cache.
  EXPECT_EQ(out, "messagebox title=\"Setup\" text=\"Go on?\" style=0x00002024 answer=IDYES\n11\n");
}

}  // namespace
}  // namespace sx::test
