// Hostile documents: extreme depth, huge values, NUL bytes, cut-off and random text. Each gives a
// tree or a TXMLParserError, never a crash or a stack overflow.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "xml/xml_parser_error.h"
#include "xml/xml_tag.h"

namespace sx {
namespace {

constexpr int kDeep = 100000;

int DepthOf(const TXMLTag& root) {
  int depth = 0;
  const TXMLTag* tag = &root;
  for (;;) {
    const TXMLTag* next = nullptr;
    for (const TXMLTag& child : tag->Children)
      if (child.Kind == xkElement && !child.Name().empty()) next = &child;
    if (!next) return depth;
    tag = next;
    ++depth;
  }
}

std::string Nested(int levels, bool closed) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += "<e>";
  if (closed)
    for (int i = 0; i < levels; ++i) text += "</e>";
  return text;
}

// Parsing `text` either works or raises TXMLParserError; anything else fails the test.
void ParsesOrRejects(std::string_view text) {
  TXMLTag tag;
  try {
    tag.Parse(text);
  } catch (const TXMLParserError&) {
  }
  (void)tag.GetXML(0);
}

TEST(XmlBadInput, HundredThousandLevelsParseWriteCopyAndFree) {
  auto tag = std::make_unique<TXMLTag>();
  tag->Parse(Nested(kDeep, true));
  EXPECT_EQ(DepthOf(*tag), kDeep - 1);
  std::string xml = tag->GetXML(0);
  // Indentation stops growing at 128 levels, so the text stays proportional to the depth.
  EXPECT_GT(xml.size(), static_cast<size_t>(kDeep) * 8);
  EXPECT_LT(xml.size(), static_cast<size_t>(kDeep) * 300);
  EXPECT_NE(xml.find("\n" + std::string(128, '\t') + "<e>"), std::string::npos);
  EXPECT_EQ(xml.find(std::string(129, '\t')), std::string::npos);
  TXMLTag copy;
  copy.Assign(*tag);
  EXPECT_EQ(DepthOf(copy), kDeep - 1);
  tag.reset();  // freeing the deep tree must not recurse either
  TXMLTag reread;
  reread.Parse(xml);
  EXPECT_EQ(DepthOf(reread), kDeep - 1);
}

TEST(XmlBadInput, HundredThousandOpenLevelsAtTheEndOfTheText) {
  TXMLTag tag;
  tag.Parse(Nested(kDeep, false));
  EXPECT_EQ(DepthOf(tag), kDeep - 1);
}

TEST(XmlBadInput, DeepMismatchIsAnErrorAndKeepsTheTree) {
  TXMLTag tag;
  EXPECT_THROW(tag.Parse(Nested(kDeep, false) + "</x>"), TXMLParserError);
  EXPECT_EQ(DepthOf(tag), kDeep - 1);
}

TEST(XmlBadInput, HugeAttributeValues) {
  const std::size_t size = 8 * 1024 * 1024;
  std::string plain(size, 'v');
  TXMLTag tag;
  tag.Parse("<a x=\"" + plain + "\"/>");
  ASSERT_EQ(tag.Attributes.size(), 1u);
  EXPECT_EQ(tag.Attributes[0].size(), size + 2);

  std::string escaped;
  for (std::size_t i = 0; i < size / 6; ++i) escaped += "&#x41;";
  tag.Parse("<a x=\"" + escaped + "\"/>");
  EXPECT_EQ(tag.Attributes[0], "x=" + std::string(size / 6, 'A'));

  std::string blanks(size, ' ');
  tag.Parse("<a x=\"a" + blanks + "b\"/>");
  EXPECT_EQ(tag.Attributes[0], "x=a b");
}

TEST(XmlBadInput, NulBytes) {
  using namespace std::string_literals;
  TXMLTag tag;
  tag.Parse("<a x='1\0002'>t\0xt</a>"s);
  EXPECT_EQ(tag.Attributes[0], "x=1\0002"s);
  EXPECT_EQ(tag.Children[0].Text, "t\0xt"s);
  EXPECT_THROW(tag.Parse("<a\0b/>"s), TXMLParserError);
  EXPECT_THROW(tag.Parse("<a \0='1'/>"s), TXMLParserError);
  // A NUL next to the ends of a value is trimmed like any control character.
  tag.Parse("<a x='\0v\0'/>"s);
  EXPECT_EQ(tag.Attributes[0], "x=v");
}

TEST(XmlBadInput, EveryCutOffOfADocument) {
  const std::string document =
      "<?xml version=\"1.0\"?>\r\n<!-- head -->\r\n<root a=\"1\" b='x&#x26;y'>\r\n"
      "\t<item name=\"one\">text &amp; more</item>\r\n\t<empty/>\r\n\t<!-- c - d -->\r\n"
      "\t<deep><deeper x='\"'><deepest/></deeper></deep>\r\n</root>\r\n";
  for (std::size_t cut = 0; cut <= document.size(); ++cut)
    ParsesOrRejects(std::string_view(document).substr(0, cut));
  TXMLTag whole;
  whole.Parse(document);
  EXPECT_EQ(whole.Name(), "root");
}

TEST(XmlBadInput, RandomDocuments) {
  using namespace std::string_literals;
  // NUL and bytes of the upper half belong to the alphabet too (a plain literal would end at
  // the NUL).
  const std::string alphabet = "<>/!?-=\"' \t\r\nabAB&#x;0\0\xC0\x80"s;
  ASSERT_EQ(alphabet.size(), 25u);
  std::mt19937 random(20240601);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 200);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    int n = length(random);
    for (int i = 0; i < n; ++i) text += alphabet[pick(random)];
    ParsesOrRejects(text);
  }
}

}  // namespace
}  // namespace sx
