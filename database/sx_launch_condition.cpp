#include "database/sx_launch_condition.h"

#include "util/case_tables.h"

namespace sx {

const TXMLClass& TsxLaunchCondition::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxLaunchCondition, TsxConditionObject>(
      "TsxLaunchCondition", {Prop<&TsxLaunchCondition::Msg>("Msg")});
  return info;
}

const TXMLClass& TsxLaunchConditions::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxLaunchConditions, TXMLObjectList>(
      "TsxLaunchConditions", {}, {Item<TsxLaunchCondition>("launchcondition")});
  return info;
}

const TXMLClass& TsxFileInfo::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxFileInfo, TXMLObject>(
      "TsxFileInfo", {Prop<&TsxFileInfo::Name>("Name"), Prop<&TsxFileInfo::Size>("Size"),
                      Prop<&TsxFileInfo::Version>("Version"), Prop<&TsxFileInfo::FontName>("FontName"),
                      Prop<&TsxFileInfo::AssemblyData>("AssemblyData")});
  return info;
}

const TXMLClass& TsxFileInfos::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxFileInfos, TXMLObjectList>("TsxFileInfos", {}, {Item<TsxFileInfo>("fileinfo")});
  return info;
}

TsxFileInfo* TsxFileInfos::FindByName(std::string_view name) const {
  for (TsxFileInfo& info : *this)
    if (SameTextFast(info.Name, name)) return &info;
  return nullptr;
}

}  // namespace sx
