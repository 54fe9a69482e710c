// Hostile project files: endless feature nesting, huge values, NUL bytes and cut-off text give a
// TXMLParserError or a model, never a crash.
#include <gtest/gtest.h>

#include <string>

#include "database/sx_classes.h"
#include "tests/database/sample_project.h"
#include "xml/xml_parser_error.h"

namespace sx::test {
namespace {

TEST(DbBadInput, EndlesslyNestedFeaturesAreRefused) {
  std::string text = "<sx2project><features>";
  for (int i = 0; i < 100000; ++i) text += "<feature><features>";
  TsxMainDatabase root;
  EXPECT_THROW(root.LoadFromString(text, "sx2project"), TXMLParserError);
}

TEST(DbBadInput, ReasonablyNestedFeaturesLoad) {
  std::string text = "<sx2project><features>";
  for (int i = 0; i < 100; ++i) text += "<feature id='f" + std::to_string(i) + "'><features>";
  TsxMainDatabase root;
  root.LoadFromString(text, "sx2project");
  int depth = 0;
  for (TsxFeatures* level = root.Features.get(); level->Count() > 0; level = level->Items(0).Features.get())
    ++depth;
  EXPECT_EQ(depth, 100);
  TsxMainDatabase copy;
  copy.Assign(root);
  EXPECT_EQ(copy.SaveToString("sx2project"), root.SaveToString("sx2project"));
}

TEST(DbBadInput, HugeValuesAndNulBytes) {
  std::string huge(4 * 1024 * 1024, 'x');
  TsxComponent component;
  component.LoadFromString("<component id='" + huge + "'/>", "");
  EXPECT_EQ(component.ID().size(), huge.size());
  EXPECT_EQ(component.Name.size(), huge.size());
  component.LoadFromString(std::string("<component id='a\0b' name='n'/>", 30), "");
  EXPECT_EQ(component.ID(), std::string("a\0b", 3));
  std::string saved = component.SaveToString("component");
  EXPECT_NE(saved.find("a&#x00;b"), std::string::npos);
  TsxComponent read;
  read.LoadFromString(saved, "");
  EXPECT_EQ(read.ID(), component.ID());
}

TEST(DbBadInput, NumbersThatDoNotConvertReadAsZero) {
  TsxPackage package;
  package.LoadFromString("<package presetupsize='99999999999' datasize='12k' flags='-7' main='yes'/>", "");
  EXPECT_EQ(package.PresetupSize, 0);
  EXPECT_EQ(package.DataSize, 0);
  EXPECT_EQ(package.Flags, -7);
  EXPECT_FALSE(package.Main);
}

TEST(DbBadInput, EveryCutOffOfTheSampleProject) {
  const std::string text = kSampleProject;
  for (std::size_t cut = 0; cut <= text.size(); cut += 7) {
    TsxMainDatabase root;
    try {
      root.LoadFromString(std::string_view(text).substr(0, cut), "");
    } catch (const TXMLParserError&) {
    }
    // Whatever part was read is a model like any other: written and read back, it is the same.
    const std::string saved = root.SaveToString("sx2project");
    TsxMainDatabase again;
    again.LoadFromString(saved, "sx2project");
    EXPECT_EQ(again.SaveToString("sx2project"), saved) << "cut at " << cut;
  }
}

TEST(DbBadInput, DuplicateVariablesKeepTheLastDefinition) {
  TsxVariables variables;
  variables.LoadFromString(
      "<variables><var name='X' value='1' defvalue='d'/><var name='x' value='2'/></variables>", "");
  ASSERT_EQ(variables.Count(), 1);
  EXPECT_EQ(variables[0].Name, "x");
  EXPECT_EQ(variables[0].Value, "2");
  EXPECT_EQ(variables[0].DefValue, "");
}

}  // namespace
}  // namespace sx::test
