#include "database/sx_plugin.h"

#include "util/case_tables.h"

namespace sx {

const TXMLClass& TsxParam::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxParam, TXMLObject>(
      "TsxParam", {Prop<&TsxParam::Name>("Name"), Prop<&TsxParam::Value>("Value")});
  return info;
}

const TXMLClass& TsxParamGroup::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxParamGroup, TXMLObjectList>(
      "TsxParamGroup", {Prop<&TsxParamGroup::Name>("Name")}, {Item<TsxParam>("param")});
  return info;
}

const TXMLClass& TsxPluginSimpleConfig::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxPluginSimpleConfig, TXMLObjectList>(
      "TsxPluginSimpleConfig", {Prop<&TsxPluginSimpleConfig::ParamGroup>("ParamGroup")},
      {Item<TsxParamGroup>("paramgroup")});
  return info;
}

const TsxParamGroup* TsxPluginSimpleConfig::FindGroup(std::string_view group) const {
  for (const TsxParamGroup& candidate : *this)
    if (SameTextFast(candidate.Name, group)) return &candidate;
  return nullptr;
}

std::string TsxPluginSimpleConfig::GetPluginParam(std::string_view group, std::string_view name,
                                                  std::string_view fallback) const {
  if (const TsxParamGroup* found = FindGroup(group))
    for (const TsxParam& param : *found)
      if (SameTextFast(param.Name, name)) return param.Value;
  return std::string(fallback);
}

void TsxPluginSimpleConfig::GetParamGroupNames(std::vector<std::string>& names) const {
  names.clear();
  for (const TsxParamGroup& group : *this) names.push_back(group.Name);
}

void TsxPluginSimpleConfig::GetParamNames(std::string_view group, std::vector<std::string>& names) const {
  names.clear();
  if (const TsxParamGroup* found = FindGroup(group))
    for (const TsxParam& param : *found) names.push_back(param.Name);
}

const TXMLClass& TsxPlugin::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxPlugin, TsxConditionObject>(
      "TsxPlugin", {Prop<&TsxPlugin::ID>("ID"), Prop<&TsxPlugin::ConfigFile>("ConfigFile"),
                    Prop<&TsxPlugin::DebugDll>("DebugDll"), Prop<&TsxPlugin::Config>("Config"),
                    Prop<&TsxPlugin::CustomConfig>("CustomConfig")});
  return info;
}

const TXMLClass& TsxPlugins::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxPlugins, TXMLObjectList>("TsxPlugins", {}, {Item<TsxPlugin>("plugin")});
  return info;
}

}  // namespace sx
