// Plug-ins of a package and their configuration. The simple configuration is a list of named
// parameter groups, each a list of name/value parameters:
//
//   <plugin id="wizard"><config><paramgroup name="Main"><param name="Title" value="Setup"/>
//
// A plug-in's free-form configuration element is kept as a tag (`CustomConfig`).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/sx_condition_object.h"

namespace sx {

class TsxParam : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Name, Value;
};

class TsxParamGroup : public TXMLList<TsxParam> {  // <paramgroup name="..."><param .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Name;
};

class TsxPluginSimpleConfig : public TXMLList<TsxParamGroup> {  // <config><paramgroup .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  // A spare group; never persisted, because a list writes only its simple properties and items.
  std::unique_ptr<TsxParamGroup> ParamGroup = std::make_unique<TsxParamGroup>(this);

  // The Value of parameter `name` of group `group` (both the first matching ignoring case), or
  // `fallback` when either is missing.
  std::string GetPluginParam(std::string_view group, std::string_view name, std::string_view fallback) const;
  // The names of all groups, in order (the list is emptied first).
  void GetParamGroupNames(std::vector<std::string>& names) const;
  // The names of the parameters of `group` (the list is emptied first; nothing when the group is
  // missing).
  void GetParamNames(std::string_view group, std::vector<std::string>& names) const;

 private:
  const TsxParamGroup* FindGroup(std::string_view group) const;
};

class TsxPlugin : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string ID, ConfigFile, DebugDll;
  std::unique_ptr<TsxPluginSimpleConfig> Config = std::make_unique<TsxPluginSimpleConfig>(this);
  std::unique_ptr<TXMLTag> CustomConfig;  // element <customconfig>, handed out as XML text
};

class TsxPlugins : public TXMLList<TsxPlugin> {  // <plugins><plugin .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

}  // namespace sx
