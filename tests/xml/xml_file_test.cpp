// Tags and objects to and from files on a machine (Windows paths through the host).
#include <gtest/gtest.h>

#include <filesystem>

#include "host/host.h"
#include "tests/support/temp_machine.h"
#include "tests/xml/test_classes.h"
#include "xml/xml_parser_error.h"

namespace sx::test {
namespace {

TEST(XmlFile, TagSavesGetXmlByteForByteAndLoadsItBack) {
  TempMachine machine;
  TXMLTag tag;
  tag.Parse("<root a='1'><child b=\"x&#x26;y\"/></root>");
  ASSERT_TRUE(tag.SaveToFile("C:\\doc.xml"));
  EXPECT_EQ(ReadHostFile(machine.HostPath("drive_c/doc.xml")), tag.GetXML(0));
  TXMLTag read;
  ASSERT_TRUE(read.LoadFromFile("c:\\DOC.XML"));
  EXPECT_EQ(read.GetXML(0), tag.GetXML(0));
}

TEST(XmlFile, MissingFileIsFalseNotAnError) {
  TempMachine machine;
  TXMLTag tag;
  EXPECT_FALSE(tag.LoadFromFile("C:\\missing.xml"));
  EXPECT_FALSE(tag.LoadFromFile("Q:\\nodrive.xml"));
  TTestDocument document;
  document.Title = "kept";
  EXPECT_FALSE(document.LoadFromFile("C:\\missing.xml", "doc"));
  EXPECT_EQ(document.Title, "kept");
}

TEST(XmlFile, UnnamedTagIsNotWritten) {
  TempMachine machine;
  WriteHostFile(machine.HostPath("drive_c/keep.xml"), "old");
  TXMLTag unnamed;
  EXPECT_FALSE(unnamed.SaveToFile("C:\\keep.xml"));
  EXPECT_EQ(ReadHostFile(machine.HostPath("drive_c/keep.xml")), "old");
}

TEST(XmlFile, ReadOnlyFileIsReplaced) {
  TempMachine machine;
  WriteHostFile(machine.HostPath("drive_c/ro.xml"), "old");
  ASSERT_TRUE(machine.host().SetFileAttributes("C:\\ro.xml", host::kAttrReadOnly));
  TXMLTag tag("new");
  EXPECT_TRUE(tag.SaveToFile("C:\\ro.xml"));
  EXPECT_EQ(ReadHostFile(machine.HostPath("drive_c/ro.xml")), "<new/>\r\n");
}

TEST(XmlFile, SyntaxErrorInAFilePropagates) {
  TempMachine machine;
  WriteHostFile(machine.HostPath("drive_c/bad.xml"), "<doc>\r\n</other>");
  TXMLTag tag;
  EXPECT_THROW(tag.LoadFromFile("C:\\bad.xml"), TXMLParserError);
  TTestDocument document;
  EXPECT_THROW(document.LoadFromFile("C:\\bad.xml", "doc"), TXMLParserError);
}

TEST(XmlFile, ObjectRoundTripAndRootName) {
  TempMachine machine;
  TTestDocument document;
  document.Title = "T";
  TTestItem& item = document.Items->AddNew();
  item.Name = "n";
  item.Log = false;  // what a plain load leaves, so the copy compares equal
  EXPECT_FALSE(document.SaveToFile("C:\\doc.xml", ""));
  EXPECT_FALSE(std::filesystem::exists(machine.HostPath("drive_c/doc.xml")));
  ASSERT_TRUE(document.SaveToFile("C:\\doc.xml", "MyDoc"));
  EXPECT_EQ(ReadHostFile(machine.HostPath("drive_c/doc.xml")).substr(0, 18), "<mydoc title=\"T\">\r");

  TTestDocument other;
  other.Title = "untouched";
  EXPECT_FALSE(other.LoadFromFile("C:\\doc.xml", "notmydoc"));
  EXPECT_EQ(other.Title, "untouched");
  ASSERT_TRUE(other.LoadFromFile("C:\\doc.xml", "MYDOC"));
  EXPECT_EQ(other.Title, "T");
  ASSERT_EQ(other.Items->Count(), 1);
  EXPECT_EQ(other.Items->Items(0).Name, "n");
  TTestDocument any;
  EXPECT_TRUE(any.LoadFromFile("C:\\doc.xml", ""));
  EXPECT_EQ(any.SaveToString("mydoc"), document.SaveToString("mydoc"));
}

TEST(XmlFile, DocumentWithoutRootElementDoesNotLoad) {
  TempMachine machine;
  WriteHostFile(machine.HostPath("drive_c/empty.xml"), "<?xml version='1.0'?>\r\n<!-- nothing -->");
  TTestDocument document;
  document.Title = "kept";
  EXPECT_FALSE(document.LoadFromFile("C:\\empty.xml", ""));
  EXPECT_EQ(document.Title, "kept");
}

}  // namespace
}  // namespace sx::test
