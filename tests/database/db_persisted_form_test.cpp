// The XML vocabulary of the model: element and attribute names, renames, prefixes, flags, and
// what is left out of files.
#include <gtest/gtest.h>

#include "database/sx_classes.h"

namespace sx {
namespace {

template <class T>
std::vector<std::string> AttributesOf(const T& object) {
  TXMLTag tag("x");
  object.AssignTo(tag);
  return tag.Attributes;
}

TEST(DbPersistedForm, ComponentIdFillsAnEmptyName) {
  TsxComponent byId;
  byId.LoadFromString("<component id=\"core\"/>", "");
  EXPECT_EQ(byId.ID(), "core");
  EXPECT_EQ(byId.Name, "core");
  TsxComponent nameFirst;
  nameFirst.LoadFromString("<component name=\"Core\" id=\"core\"/>", "");
  EXPECT_EQ(nameFirst.Name, "Core");
  TsxComponent idFirst;
  idFirst.LoadFromString("<component id=\"core\" name=\"Core\"/>", "");
  EXPECT_EQ(idFirst.Name, "Core");
  TsxComponent coded;
  coded.Name = "kept";
  coded.SetID("other");
  EXPECT_EQ(coded.Name, "kept");
}

TEST(DbPersistedForm, RegistryTypeIsReadUnderBothNamesAndWrittenAsType) {
  TsxReg byAttribute;
  byAttribute.LoadFromString("<reg type=\"mstr\"/>", "");
  EXPECT_EQ(byAttribute.ParamType, TsxRegType::rtMStr);
  TsxReg byProperty;
  byProperty.LoadFromString("<reg paramtype=\"mstr\"/>", "");
  EXPECT_EQ(byProperty.ParamType, TsxRegType::rtMStr);
  EXPECT_EQ(AttributesOf(byProperty), std::vector<std::string>{"type=mstr"});
  TsxReg plain;
  EXPECT_TRUE(AttributesOf(plain).empty());  // "str" is the default
}

TEST(DbPersistedForm, IniFileIsAttributeFile) {
  TsxIni ini;
  ini.LoadFromString("<ini file=\"%WinDir%\\app.ini\" section=\"S\" param=\"P\" value=\"V\"/>", "");
  EXPECT_EQ(ini.IniFile, "%WinDir%\\app.ini");
  EXPECT_EQ(AttributesOf(ini),
            (std::vector<std::string>{"file=%WinDir%\\app.ini", "param=P", "section=S", "value=V"}));
}

TEST(DbPersistedForm, ShowCmdIsWrittenWithoutPrefixAndOnlyWhenNotNormal) {
  TsxShortcut shortcut;
  shortcut.Name = "App";
  EXPECT_EQ(AttributesOf(shortcut), std::vector<std::string>{"name=App"});
  shortcut.ShowCmd = TsxShowCmd::scHide;
  EXPECT_EQ(AttributesOf(shortcut), (std::vector<std::string>{"name=App", "showcmd=hide"}));
  TsxRunApp app;
  app.LoadFromString("<runapp showcmd=\"MAX\" whenstart=\"before_dialogs\"/>", "");
  EXPECT_EQ(app.ShowCmd, TsxShowCmd::scMax);
  EXPECT_EQ(app.WhenStart, TsxWhenStart::before_dialogs);
  EXPECT_EQ(AttributesOf(app), (std::vector<std::string>{"showcmd=max", "whenstart=before_dialogs"}));
}

TEST(DbPersistedForm, FlagsAreCommaSeparatedNames) {
  TsxFile file;
  file.Flags = {TsxFlag::shared, TsxFlag::reg_server};
  file.Action = TsxInstallAction::remove;
  EXPECT_EQ(AttributesOf(file), (std::vector<std::string>{"action=remove", "flags=reg_server,shared"}));
  TsxFile read;
  read.LoadFromString("<file flags=\"SHARED, dont_log,unknown\" src=\"a\" dst=\"b\"/>", "");
  EXPECT_EQ(read.Flags, (TsxFlags{TsxFlag::shared, TsxFlag::dont_log}));
  EXPECT_EQ(read.Src, "a");
  EXPECT_EQ(read.Dst, "b");
}

TEST(DbPersistedForm, VariableTypeAndTransientVariables) {
  TsxVariables variables;
  variables.LoadFromString(
      "<variables><var name=\"A\" type=\"reg\" regkey=\"HKLM\\S\" regparam=\"P\" defvalue=\"d\"/>"
      "<var name=\"Path\" type=\"envvar\" value=\"x\" flags=\"add_path,sys_envvar\"/></variables>", "");
  ASSERT_EQ(variables.Count(), 2);
  EXPECT_EQ(variables[0].VarType, TsxVarType::vtReg);
  EXPECT_EQ(variables[1].VarType, TsxVarType::vtEnvVar);
  variables[0].Transient = true;
  EXPECT_EQ(variables.SaveToString("variables"),
            "<variables>\r\n\t<var flags=\"add_path,sys_envvar\" name=\"Path\" value=\"x\" type=\"envvar\"/>\r\n"
            "</variables>\r\n");
}

TEST(DbPersistedForm, DataSourceTypeAndAttributes) {
  TsxODBCDataSource source;
  source.LoadFromString(
      "<datasource type=\"system\" name=\"DSN\" driver=\"SQL\"><attributes>"
      "<attribute name=\"Server\" value=\"db\" condition=\"1\"/></attributes></datasource>", "");
  EXPECT_EQ(source.DSType, TsxDSType::dstSystem);
  ASSERT_EQ(source.Attributes->Count(), 1);
  EXPECT_EQ(source.Attributes->Items(0).Condition, "1");
  EXPECT_EQ(&source.Attributes->ParamClass(), &TsxODBCAttribute::StaticClass());
  EXPECT_EQ(AttributesOf(source), (std::vector<std::string>{"driver=SQL", "type=system", "name=DSN"}));
}

TEST(DbPersistedForm, EmptyOdbcElementCreatesTheOdbcObject) {
  TsxComponent component;
  EXPECT_EQ(component.ODBC, nullptr);
  component.LoadFromString("<component id=\"c\"><odbc/></component>", "");
  ASSERT_NE(component.ODBC, nullptr);
  EXPECT_EQ(component.SaveToString("component"),
            "<component id=\"c\" name=\"c\">\r\n\t<odbc/>\r\n</component>\r\n");
}

TEST(DbPersistedForm, ComponentWithRegistryIsWrittenInPropertyOrder) {
  TsxComponent component;
  component.SetID("core");
  component.Name = "Core";
  TsxReg& reg = component.Registry->AddNew();
  reg.Key = "HKLM\\Software\\Example";
  reg.Param = "Path";
  reg.Value = "x";
  EXPECT_EQ(component.SaveToString("component"),
            "<component id=\"core\" name=\"Core\">\r\n"
            "\t<registry>\r\n"
            "\t\t<reg key=\"HKLM\\Software\\Example\" param=\"Path\" value=\"x\"/>\r\n"
            "\t</registry>\r\n"
            "</component>\r\n");
}

TEST(DbPersistedForm, ReferenceListsAreNamedAfterTheirProperty) {
  TsxFeature feature;
  feature.ID = "f";
  feature.Depends->AddNew().ID = "base";
  feature.Excepts->AddNew().ID = "lite";
  feature.Components->AddNew().SetID("core");
  feature.Features->AddNew().ID = "sub";
  feature.Required = true;
  EXPECT_EQ(feature.SaveToString("feature"),
            "<feature id=\"f\" required=\"1\">\r\n"
            "\t<components>\r\n\t\t<component id=\"core\" name=\"core\"/>\r\n\t</components>\r\n"
            "\t<depends>\r\n\t\t<feature id=\"base\"/>\r\n\t</depends>\r\n"
            "\t<excepts>\r\n\t\t<feature id=\"lite\"/>\r\n\t</excepts>\r\n"
            "\t<features>\r\n\t\t<feature id=\"sub\"/>\r\n\t</features>\r\n"
            "</feature>\r\n");
}

TEST(DbPersistedForm, InstallStateIsWrittenWithoutPrefix) {
  TsxMainDatabase root;
  root.InstallState = TsxInstallState::isRegServers;
  root.RebootOnFinish = true;
  root.Version = "2";
  EXPECT_EQ(root.SaveToString("sx2project"),
            "<sx2project installstate=\"isregservers\" rebootonfinish=\"1\" version=\"2\"/>\r\n");
}

TEST(DbPersistedForm, PluginConfigIsWrittenButItsSpareGroupIsNot) {
  TsxPlugin plugin;
  plugin.ID = "wizard";
  TsxParamGroup& group = plugin.Config->AddNew();
  group.Name = "Main";
  TsxParam& param = group.AddNew();
  param.Name = "Title";
  param.Value = "Setup";
  plugin.Config->ParamGroup->Name = "spare";
  plugin.CustomConfig = std::make_unique<TXMLTag>();
  plugin.CustomConfig->Parse("<customconfig><page n='1'/></customconfig>");
  EXPECT_EQ(plugin.SaveToString("plugin"),
            "<plugin id=\"wizard\">\r\n"
            "\t<config>\r\n\t\t<paramgroup name=\"Main\">\r\n\t\t\t<param name=\"Title\" value=\"Setup\"/>\r\n"
            "\t\t</paramgroup>\r\n\t</config>\r\n"
            "\t<customconfig>\r\n\t\t<page n=\"1\"/>\r\n\t</customconfig>\r\n"
            "</plugin>\r\n");
}

}  // namespace
}  // namespace sx
