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

TEST_F(DbFormatCommand, InPlaceKeepsTheEncodingAndTheDeclaration) {
  // UTF-8, declared: "My Äpp" stays the UTF-8 bytes it was, under its declaration.
  std::string path = Write("utf8.xml",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- goes -->\n"
                           "<sx2project><variables><var name=\"AppName\" value=\"My \xC3\x84pp \xE2\x82\xAC\"/>"
                           "</variables></sx2project>");
  std::string out, err;
  ASSERT_EQ(Run("db format " + path + " --in-place", &out, &err), 0) << err;
  EXPECT_EQ(ReadHostFile(path),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<sx2project>\r\n\t<variables>\r\n"
            "\t\t<var name=\"AppName\" value=\"My \xC3\x84pp &#x80;\"/>\r\n\t</variables>\r\n</sx2project>\r\n");
  // What the builder reads from it is what it read before.
  ASSERT_EQ(Run("db format " + path, &out), 0);
  EXPECT_EQ(out, ReadHostFile(path));

  // UTF-8 without declaration, with a byte-order mark: both stay as they were.
  path = Write("bom.xml", "\xEF\xBB\xBF<sx2project version=\"\xC3\xA9t\xC3\xA9\"/>");
  ASSERT_EQ(Run("db format " + path + " --in-place", &out, &err), 0) << err;
  EXPECT_EQ(ReadHostFile(path), "\xEF\xBB\xBF<sx2project version=\"\xC3\xA9t\xC3\xA9\"/>\r\n");

  // An 8-bit file stays 8-bit.
  path = Write("ansi.xml", "<?xml version='1.0' encoding='windows-1252'?><sx2project version=\"\xC4\"/>");
  ASSERT_EQ(Run("db format " + path + " --in-place", &out, &err), 0) << err;
  EXPECT_EQ(ReadHostFile(path), "<?xml version='1.0' encoding='windows-1252'?>\r\n<sx2project version=\"\xC4\"/>\r\n");

  // Characters the code page cannot hold are refused, and the file is left alone.
  const std::string greek = "<sx2project version=\"\xCE\xB1\"/>";
  path = Write("greek.xml", greek);
  EXPECT_EQ(Run("db format " + path + " --in-place", &out, &err), 1);
  EXPECT_NE(err.find("line 1 holds characters that code page 1252 cannot hold"), std::string::npos) << err;
  EXPECT_EQ(ReadHostFile(path), greek);
  ASSERT_EQ(Run("db format " + path + " --codepage 1253 --in-place", &out, &err), 0) << err;
  EXPECT_EQ(ReadHostFile(path), greek + "\r\n");

  EXPECT_EQ(Run("db --help", &out), 0);
  EXPECT_NE(out.find("and so are comments: the model does not hold them"), std::string::npos) << out;
}

TEST_F(DbFormatCommand, OtherRootsSyntaxErrorsAndBadUsageFail) {
  std::string out, err;
  EXPECT_EQ(Run("db format " + Write("other.xml", "<silentsettings/>"), &out, &err), 1);
  EXPECT_NE(err.find("the root element is <silentsettings>, not <sx2project>"), std::string::npos);
  const std::string bad = Write("bad.xml", "<sx2project x=1/>");
  EXPECT_EQ(Run("db format " + bad, &out, &err), 1);
  EXPECT_EQ(err, "sxtool db: " + bad + ": line 1, column 15: not well-formed (invalid token) (the file is not "
                 "well-formed XML)\n");
  // What the tolerant reader would skip is not lost by rewriting the file.
  const std::string junk = "<sx2project version=\"1\"/><sx2project version=\"2\"/>";
  const std::string twoRoots = Write("two.xml", junk);
  EXPECT_EQ(Run("db format " + twoRoots + " --in-place", &out, &err), 1);
  EXPECT_NE(err.find("junk after document element"), std::string::npos) << err;
  EXPECT_EQ(ReadHostFile(twoRoots), junk);
  EXPECT_EQ(Run("db", &out), 2);
  EXPECT_EQ(Run("db format - --in-place", &out), 2);
  EXPECT_EQ(Run("db --help", &out), 0);
}

}  // namespace
}  // namespace sx::test
