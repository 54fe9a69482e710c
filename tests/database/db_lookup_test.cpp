// Finding things in the model: by ID, file name, record name; the plug-in configuration; the
// root of any object.
#include <gtest/gtest.h>

#include "database/sx_classes.h"

namespace sx {
namespace {

TEST(DbLookup, FindDatabaseFollowsOwners) {
  TsxMainDatabase root;
  TsxComponent& component = root.Components->AddNew();
  TsxFile& file = component.Files->AddNew();
  EXPECT_EQ(FindDatabase(&file), &root);
  EXPECT_EQ(FindDatabase(&root), &root);
  TsxPackage& package = root.Packages->AddNew();
  EXPECT_EQ(FindDatabase(&package.Variables->AddNew()), &root);
  TsxComponent loose;
  EXPECT_EQ(FindDatabase(&loose), nullptr);
  EXPECT_EQ(FindDatabase(nullptr), nullptr);
}

TEST(DbLookup, ItemsFoundByIdIgnoringCase) {
  TsxMainDatabase root;
  root.LoadFromString(
      "<sx2project><components><component id='Core'/><component id='docs'/></components>"
      "<features><feature id='Main'><features><feature id='Sub'/></features></feature></features>"
      "<installtypes><installtype id='Full'/></installtypes></sx2project>", "");
  EXPECT_EQ(root.Components->FindByID("CORE"), &root.Components->Items(0));
  EXPECT_EQ(root.Components->FindByID("nothing"), nullptr);
  EXPECT_EQ(root.Features->FindByID("main"), &root.Features->Items(0));
  EXPECT_EQ(root.Features->FindByID("sub"), nullptr);  // the generic lookup searches one level
  EXPECT_EQ(root.InstallTypes->FindByID("full")->ID, "Full");
}

TEST(DbLookup, PackagesByFileNameAndFileInfosByName) {
  TsxPackages packages;
  packages.LoadFromString(
      "<packages><package id='m' filename='Setup.exe'/><package id='x' filename='Extra.SXP'/></packages>", "");
  EXPECT_EQ(packages.FindByFileName("extra.sxp")->ID, "x");
  EXPECT_EQ(packages.FindByFileName("other.sxp"), nullptr);
  TsxFileInfos infos;
  infos.LoadFromString("<fileinfos><fileinfo name='App.EXE' size='10'/><fileinfo name='app.exe' size='20'/></fileinfos>", "");
  EXPECT_EQ(infos.FindByName("app.exe")->Size, 10);
  EXPECT_EQ(infos.FindByName("none"), nullptr);
}

TEST(DbLookup, PluginParametersByGroupAndName) {
  TsxPlugin plugin;
  plugin.LoadFromString(
      "<plugin id='w'><config><paramgroup name='Main'><param name='Title' value='Setup'/>"
      "<param name='title' value='second'/><param name='Width' value='640'/></paramgroup>"
      "<paramgroup name='main'><param name='Other' value='x'/></paramgroup>"
      "<paramgroup name='Colors'/></config></plugin>", "");
  const TsxPluginSimpleConfig& config = *plugin.Config;
  EXPECT_EQ(config.GetPluginParam("MAIN", "TITLE", "none"), "Setup");
  EXPECT_EQ(config.GetPluginParam("main", "Other", "none"), "none");  // only the first group counts
  EXPECT_EQ(config.GetPluginParam("Missing", "Title", "dflt"), "dflt");
  std::vector<std::string> names{"stale"};
  config.GetParamGroupNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Main", "main", "Colors"}));
  config.GetParamNames("main", names);
  EXPECT_EQ(names, (std::vector<std::string>{"Title", "title", "Width"}));
  config.GetParamNames("missing", names);
  EXPECT_TRUE(names.empty());
}

TEST(DbLookup, CustomConfigIsHandedOutAsXml) {
  TsxPlugin plugin;
  plugin.LoadFromString("<plugin><customconfig a='1'><x/></customconfig></plugin>", "");
  ASSERT_NE(plugin.CustomConfig, nullptr);
  EXPECT_EQ(plugin.CustomConfig->GetXML(0), "<customconfig a=\"1\">\r\n\t<x/>\r\n</customconfig>\r\n");
  EXPECT_EQ(plugin.CustomConfig->Parent(), nullptr);
}

TEST(DbLookup, TypedItemAccessAndIteration) {
  TsxComponent component;
  component.LoadFromString("<component><files><file src='a'/><file src='b'/></files></component>", "");
  std::string sources;
  for (TsxFile& file : *component.Files) sources += file.Src;
  EXPECT_EQ(sources, "ab");
  EXPECT_EQ((*component.Files)[1].Src, "b");
  EXPECT_EQ(component.Files->Items(0).Owner, component.Files.get());
}

}  // namespace
}  // namespace sx
