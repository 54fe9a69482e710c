// Launch conditions (checked before the installation starts) and the file facts a package
// carries about its files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "database/sx_condition_object.h"

namespace sx {

class TsxLaunchCondition : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Msg;
};
class TsxLaunchConditions : public TXMLList<TsxLaunchCondition> {  // <launchconditions>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxFileInfo : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Name;
  std::int32_t Size = 0;
  std::string Version, FontName, AssemblyData;
};
class TsxFileInfos : public TXMLList<TsxFileInfo> {  // <fileinfos><fileinfo .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  // The first record whose Name equals `name` ignoring case.
  TsxFileInfo* FindByName(std::string_view name) const;
};

}  // namespace sx
