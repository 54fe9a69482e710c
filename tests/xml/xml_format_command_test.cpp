// sxtool xml format: the engine's reading and writing from the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST_F(XmlFormatCommand, FormatShowsWhatTheTolerantReaderReadsAndSaysSo) {
  // The engine's reader takes a document cut off inside an element as far as it goes.
  std::string out, err;
  EXPECT_EQ(Run("xml format " + Write("cut.xml", "<a><b x=\"1\"/><c"), &out, &err), 0) << err;
  EXPECT_EQ(out, "<a>\r\n\t<b x=\"1\"/>\r\n\t<c/>\r\n</a>\r\n");
  EXPECT_EQ(Run("xml --help", &out), 0);
  EXPECT_NE(out.find("the engine's\n        reader is tolerant"), std::string::npos) << out;
  EXPECT_NE(out.find("usage: sxtool xml format FILE|-\n       sxtool xml check FILE|-"), std::string::npos) << out;
}

// The strict check that sxbuild makes, for authors: the first error with its line and column.
TEST_F(XmlFormatCommand, CheckReportsTheFirstErrorWithLineAndColumn) {
  struct Case {
    std::string what, xml, message;
  };
  const std::vector<Case> cases = {
      {"unclosed element", "<a>\n  <b>\n</a>", "line 3, column 3: mismatched tag"},
      {"cut off in an attribute value", "<a>\n<b x=\"1", "line 2, column 1: unclosed token"},
      {"unclosed comment at the end", "<a/>\n<!-- x", "line 2, column 1: unclosed token"},
      {"empty file", "", "line 1, column 1: no element found"},
      {"NUL byte", std::string("<a>\0</a>", 8), "line 1, column 4: not well-formed (invalid token)"},
      {"undefined entity", "<a>&nbsp;</a>", "line 1, column 4: undefined entity"},
      {"second root element", "<a/>\n<b/>", "line 2, column 1: junk after document element"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Write("bad.xml", c.xml);
    std::string out, err;
    EXPECT_EQ(Run("xml check " + path, &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "sxtool xml: " + path + ": " + c.message + "\n");
  }
  std::string out, err;
  const std::string good = Write("good.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<a b=\"\xC4\">&amp;</a>\n");
  EXPECT_EQ(Run("xml check " + good, &out, &err), 0) << err;
  EXPECT_EQ(out, good + ": well-formed\n");
  for (const char* encoding : {"cp1251", "ISO-8859-2", "latin1", "ascii", "us-ascii", "UTF-8"}) {
    const std::string declared = Write("declared.xml", std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                                                           "\"?><a b=\"c\"/>");
    EXPECT_EQ(Run("xml check " + declared, &out, &err), 0) << encoding << ": " << err;
  }
  // 8-bit text without declaration, as sxbuild takes it.
  EXPECT_EQ(Run("xml check " + Write("ansi.xml", "<a b=\"\xC4\"/>"), &out, &err), 0) << err;
  EXPECT_EQ(Run("xml check - < " + good, &out, &err), 0) << err;
  EXPECT_EQ(out, "standard input: well-formed\n");
  EXPECT_EQ(Run("xml check", &out), 2);
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
