// sxtool db format: normalising a project file through the model.
#include <gtest/gtest.h>

#include <string>

#include "tests/database/sample_project.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

class DbFormatCommand : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    return scratch_.Write(name, content);
  }
  int Run(const std::string& arguments, std::string* out, std::string* err = nullptr) {
    return scratch_.Run(arguments, out, err);
  }

  ToolScratch scratch_{"sxtool-db-"};
};

TEST_F(DbFormatCommand, NormalisesOrderDefaultsAndUnknownNames) {
  std::string path = Write("p.xml",
                           "<SX2Project Version='1' bogus='x'>\n"
                           "  <components><component name='Core' id='core' condition=''>"
                           "<registry><reg value='v' type='str' key='K' param='P'/></registry>"
                           "<unknown/></component></components>\n"
                           "  <!-- comment -->\n</SX2Project>");
  std::string out;
  EXPECT_EQ(Run("db format " + path, &out), 0);
  EXPECT_EQ(out,
            "<sx2project version=\"1\">\r\n"
            "\t<components>\r\n"
            "\t\t<component id=\"core\" name=\"Core\">\r\n"
            "\t\t\t<registry>\r\n"
            "\t\t\t\t<reg key=\"K\" param=\"P\" value=\"v\"/>\r\n"
            "\t\t\t</registry>\r\n"
            "\t\t</component>\r\n"
            "\t</components>\r\n"
            "</sx2project>\r\n");
}

TEST_F(DbFormatCommand, FormattingIsStableAndInPlaceRewritesTheFile) {
  std::string path = Write("sample.xml", kSampleProject);
  std::string once;
  ASSERT_EQ(Run("db format " + path, &once), 0);
  std::string normalised = Write("normalised.xml", once);
  std::string twice;
  EXPECT_EQ(Run("db format " + normalised, &twice), 0);
  EXPECT_EQ(twice, once);
  std::string ignored;
  EXPECT_EQ(Run("db format " + path + " --in-place", &ignored), 0);
  EXPECT_EQ(ignored, "");
  EXPECT_EQ(ReadHostFile(path), once);
}

TEST_F(DbFormatCommand, OtherRootsSyntaxErrorsAndBadUsageFail) {
  std::string out, err;
  EXPECT_EQ(Run("db format " + Write("other.xml", "<silentsettings/>"), &out, &err), 1);
  EXPECT_NE(err.find("the root element is <silentsettings>, not <sx2project>"), std::string::npos);
  EXPECT_EQ(Run("db format " + Write("bad.xml", "<sx2project x=1/>"), &out, &err), 1);
  EXPECT_EQ(err, "Opening quote character (single or double) expected. Line 1, position 15.\n");
  EXPECT_EQ(Run("db", &out), 2);
  EXPECT_EQ(Run("db format - --in-place", &out), 2);
  EXPECT_EQ(Run("db --help", &out), 0);
}

}  // namespace
}  // namespace sx::test
