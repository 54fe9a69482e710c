// Copying and clearing tags, and the ownership of children.
#include <gtest/gtest.h>

#include "xml/xml_tag.h"

namespace sx {
namespace {

TEST(XmlTagCopy, AssignCopiesNamesAttributesAndElementStructure) {
  TXMLTag source;
  source.Parse("<a k='1'><b x='2'><c/></b>text<!-- note --></a>");
  TXMLTag copy;
  copy.Assign(source);
  EXPECT_EQ(copy.Name(), "a");
  EXPECT_EQ(copy.Attributes, std::vector<std::string>{"k=1"});
  ASSERT_EQ(copy.Children.Count(), source.Children.Count());
  EXPECT_EQ(copy.Children[1].Name(), "b");
  EXPECT_EQ(copy.Children[1].Attributes, std::vector<std::string>{"x=2"});
  EXPECT_EQ(copy.Children[1].Children[1].Name(), "c");
  EXPECT_EQ(copy.Children[1].Parent(), &copy);
  EXPECT_EQ(copy.Children[1].Children[1].Parent(), &copy.Children[1]);
}

TEST(XmlTagCopy, TextOfTextAndCommentChildrenIsNotCarriedOver) {
  TXMLTag source;
  source.Parse("<a>text<!-- note --><b/></a>");
  TXMLTag copy;
  copy.Assign(source);
  ASSERT_EQ(copy.Children.Count(), 5);
  for (const TXMLTag& child : copy.Children) {
    EXPECT_EQ(child.Kind, xkElement);
    EXPECT_EQ(child.Text, "");
  }
  EXPECT_EQ(copy.GetXML(0), "<a>\r\n\t<b/>\r\n</a>\r\n");
}

TEST(XmlTagCopy, KindOfTheReceivingTagIsKept) {
  TXMLTag source("src");
  TXMLTag target;
  target.Kind = xkComment;
  target.Text = "old";
  target.Assign(source);
  EXPECT_EQ(target.Kind, xkComment);
  EXPECT_EQ(target.Text, "");
  EXPECT_EQ(target.Name(), "src");
}

TEST(XmlTagCopy, CopyingIntoItselfOrFromOwnChildKeepsData) {
  TXMLTag tag;
  tag.Parse("<a k='1'><b x='2'><c/></b></a>");
  tag.Assign(tag);
  EXPECT_EQ(tag.GetXML(0), "<a k=\"1\">\r\n\t<b x=\"2\">\r\n\t\t<c/>\r\n\t</b>\r\n</a>\r\n");
  tag.Assign(tag.Children[1]);
  EXPECT_EQ(tag.GetXML(0), "<b x=\"2\">\r\n\t<c/>\r\n</b>\r\n");
  EXPECT_EQ(tag.Children[0].Parent(), &tag);
}

TEST(XmlTagCopy, ClearEmptiesEverything) {
  TXMLTag tag;
  tag.Parse("<a k='1'><b/></a>");
  tag.Text = "t";
  tag.Clear();
  EXPECT_EQ(tag.Name(), "");
  EXPECT_EQ(tag.Text, "");
  EXPECT_TRUE(tag.Attributes.empty());
  EXPECT_EQ(tag.Children.Count(), 0);
}

TEST(XmlTagCopy, AddedChildrenBelongToTheirList) {
  TXMLTag parent("p");
  TXMLTag& child = parent.Children.Add(std::make_unique<TXMLTag>("c"));
  EXPECT_EQ(child.Parent(), &parent);
  TXMLTag& text = parent.Children.AddNew(xkText);
  EXPECT_EQ(text.Kind, xkText);
  EXPECT_EQ(text.Parent(), &parent);
  int names = 0;
  for (const TXMLTag& c : parent.Children) names += c.Name().empty() ? 0 : 1;
  EXPECT_EQ(names, 1);
}

}  // namespace
}  // namespace sx
