// sxtool xml format: the engine's reading and writing from the command line.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

class XmlFormatCommand : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    return scratch_.Write(name, content);
  }
  int Run(const std::string& arguments, std::string* out, std::string* err = nullptr) {
    return scratch_.Run(arguments, out, err);
  }

  ToolScratch scratch_{"sxtool-xml-"};
};

TEST_F(XmlFormatCommand, WritesGetXmlByteForByte) {
  std::string path = Write("in.xml", "<?xml version='1.0'?>\n<Root  a=\"  x   y \"><B c='say \"hi\"'/>text</Root>");
  std::string out;
  EXPECT_EQ(Run("xml format " + path, &out), 0);
  EXPECT_EQ(out, "<root a=\"x   y\">\r\n\t<b c='say \"hi\"'/>\r\ntext\r\n</root>\r\n");
}

TEST_F(XmlFormatCommand, ReadsStandardInput) {
  std::string path = Write("in.xml", "<a><b/></a>");
  std::string out;
  EXPECT_EQ(Run("xml format - < " + path, &out), 0);
  EXPECT_EQ(out, "<a>\r\n\t<b/>\r\n</a>\r\n");
}

TEST_F(XmlFormatCommand, SyntaxErrorGoesToStandardErrorWithExitOne) {
  std::string path = Write("bad.xml", "<a>\r\n</b>");
  std::string out, err;
  EXPECT_EQ(Run("xml format " + path, &out, &err), 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "End tag \"b\" does not match the start tag \"a\". Line 2, position 3.\n");
}

TEST_F(XmlFormatCommand, MissingFileAndBadUsage) {
  std::string out, err;
  EXPECT_EQ(Run("xml format " + scratch_.PathOf("none.xml"), &out, &err), 1);
  EXPECT_NE(err.find("cannot read"), std::string::npos);
  EXPECT_EQ(Run("xml", &out), 2);
  EXPECT_EQ(Run("xml print x", &out), 2);
  EXPECT_EQ(Run("xml --help", &out), 0);
  EXPECT_NE(out.find("usage: sxtool xml format"), std::string::npos);
}

}  // namespace
}  // namespace sx::test
