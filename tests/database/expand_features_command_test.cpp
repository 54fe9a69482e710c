// sxtool expand and sxtool features on a project file and a throw-away machine.
#include <gtest/gtest.h>

#include <string>

#include "platform/reg_paths.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

constexpr const char* kProject = R"(<sx2project>
  <variables>
    <var name="A" value="x%B%y"/><var name="B" value="1"/>
    <var name="Windows" value="replaced at start-up"/>
    <var name="SXTEST_SHADOWED" value="project"/>
    <var name="Lang" type="reg" regkey="HKCU\Software\Example" regparam="Lang" defvalue="en"/>
  </variables>
  <packages><package id="extra"><variables><var name="A" value="package %B%"/></variables></package></packages>
  <features>
    <feature id="main" required="1">
      <features><feature id="help"/><feature id="samples"/></features>
      <excepts><feature id="lite"/></excepts>
    </feature>
    <feature id="lite"/>
    <feature id="plugin"><depends><feature id="lite"/></depends></feature>
  </features>
  <installtypes>
    <installtype id="Full"><features><feature id="main"/></features></installtype>
  </installtypes>
</sx2project>
)";

class VariablesCommands : public ::testing::Test {
 protected:
  VariablesCommands() { project_ = machine_.HostPath("project.xml"); WriteHostFile(project_, kProject); }

  int Run(const std::string& arguments, std::string* out, std::string* err = nullptr) {
    std::string errPath = machine_.HostPath("stderr.txt");
    int status = RunCommand("SX_MACHINE='" + machine_.folder() + "' SXTEST_ENV='from env' "
                                "SXTEST_SHADOWED='env' " + SX_SXTOOL + " " + arguments + " 2>" + errPath,
                            out);
    if (err) *err = ReadHostFile(errPath);
    return status;
  }

  TempMachine machine_;
  std::string project_;
};

TEST_F(VariablesCommands, ExpandUsesProjectSystemAndEnvironmentVariables) {
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\Example", "Lang", "de"));
  ASSERT_TRUE(machine_.host().RegFlush());
  std::string out;
  EXPECT_EQ(Run("expand --project " + project_ +
                    " '[%A%] %Windows% %ProgramFiles% %SXTEST_ENV% %SXTEST_SHADOWED% %Lang% 100%% %Nope% a||b'",
                &out),
            0);
  EXPECT_EQ(out, "[x1y] C:\\windows C:\\Program Files from env project de 100% %Nope% a\r\nb\n");
  EXPECT_EQ(Run("expand --package extra --project " + project_ + " '[%A%]'", &out), 0);
  EXPECT_EQ(out, "[package 1]\n");
  EXPECT_EQ(Run("expand '%System%'", &out), 0);
  EXPECT_EQ(out, "C:\\windows\\system32\n");
  EXPECT_EQ(Run("expand -- --%B%--", &out), 0);
  EXPECT_EQ(out, "--%B%--\n");  // no project: B is not defined
}

TEST_F(VariablesCommands, ExpandReportsMissingPackagesFilesAndBadUsage) {
  std::string out, err;
  EXPECT_EQ(Run("expand --project " + project_ + " --package nothing x", &out, &err), 1);
  EXPECT_EQ(err, "sxtool expand: the project has no package 'nothing'\n");
  EXPECT_EQ(Run("expand --project " + machine_.HostPath("missing.xml") + " x", &out, &err), 1);
  EXPECT_NE(err.find("cannot read"), std::string::npos);
  EXPECT_EQ(Run("expand", &out), 2);
  EXPECT_EQ(Run("expand one two", &out), 2);
  EXPECT_EQ(Run("expand --help", &out), 0);
  EXPECT_NE(out.find("usage: sxtool expand"), std::string::npos);
}

TEST_F(VariablesCommands, FeaturesPrintsTheTreeAfterTheSelections) {
  std::string out, err;
  EXPECT_EQ(Run("features --project " + project_, &out), 0);
  EXPECT_EQ(out, "main 0\n  help 0\n  samples 0\nlite 0\nplugin 0\nactive install type: \n");

  EXPECT_EQ(Run("features --project " + project_ +
                    " --install-type full --deselect samples --select plugin --select help",
                &out, &err),
            0);
  EXPECT_EQ(out, "main 2\n  help 1\n  samples 0\nlite 1\nplugin 1\nactive install type: Full\n");
  EXPECT_EQ(err, "");
}

TEST_F(VariablesCommands, TheSampleProjectsInstallTypesSelectWhatTheySay) {
  // "minimal" is described as "The program only": the manual must not come with it.
  const std::string example = std::string(SX_EXAMPLES_DIR) + "/hello/project.xml";
  std::string out, err;
  EXPECT_EQ(Run("features --project " + example + " --install-type minimal", &out, &err), 0) << err;
  EXPECT_EQ(out, "program 1\ndocs 0\nactive install type: minimal\n");
  EXPECT_EQ(Run("features --project " + example + " --install-type full", &out, &err), 0) << err;
  EXPECT_EQ(out, "program 1\ndocs 1\nactive install type: full\n");
  // Its shortcut goes into the start menu's programs folder, a variable the engine defines.
  EXPECT_EQ(Run("expand --project " + example + " '%ProgramsMenu%'", &out, &err), 0) << err;
  EXPECT_EQ(out.find('%'), std::string::npos) << out;
  EXPECT_NE(ReadHostFile(example).find("name=\"%ProgramsMenu%\\Hello\\Read me\""), std::string::npos);
}

TEST_F(VariablesCommands, FeaturesTracesEveryChangeWhenItHappens) {
  std::string out, err;
  EXPECT_EQ(Run("features --trace --project " + project_ + " --install-type Full --deselect main", &out, &err), 0);
  EXPECT_EQ(out,
            "feature main 1\n"
            "feature help 1\n"
            "feature samples 1\n"
            "installtype Full\n"
            "main 1\n  help 1\n  samples 1\nlite 0\nplugin 0\n"
            "active install type: Full\n");
  EXPECT_EQ(err, "sxtool features: main stays selected\n");
}

TEST_F(VariablesCommands, FeaturesReportsUnknownNamesAndBadUsage) {
  std::string out, err;
  EXPECT_EQ(Run("features --project " + project_ + " --install-type none", &out, &err), 1);
  EXPECT_EQ(err, "sxtool features: no enabled install type 'none'\n");
  EXPECT_EQ(Run("features --project " + project_ + " --select none", &out, &err), 1);
  EXPECT_EQ(err, "sxtool features: no enabled feature 'none'\n");
  EXPECT_EQ(Run("features", &out), 2);
  EXPECT_EQ(Run("features --project " + project_ + " --select", &out), 2);
  EXPECT_EQ(Run("features --help", &out), 0);
}

}  // namespace
}  // namespace sx::test
