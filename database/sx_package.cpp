#include "database/sx_package.h"

#include "util/case_tables.h"

namespace sx {

const TXMLClass& TsxPackage::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxPackage, TXMLObject>(
      "TsxPackage",
      {Prop<&TsxPackage::ID>("ID"), Prop<&TsxPackage::Main>("Main"), Prop<&TsxPackage::FileName>("FileName"),
       Prop<&TsxPackage::Components>("Components"), Prop<&TsxPackage::Plugins>("Plugins"),
       Prop<&TsxPackage::Variables>("Variables"), Prop<&TsxPackage::FileInfos>("FileInfos"),
       Prop<&TsxPackage::TempPath>("TempPath"), Prop<&TsxPackage::FullFileName>("FullFileName"),
       Prop<&TsxPackage::Needed>("Needed"), Prop<&TsxPackage::Prepared>("Prepared"),
       Prop<&TsxPackage::PresetupSize>("PresetupSize"), Prop<&TsxPackage::DataSize>("DataSize"),
       Prop<&TsxPackage::Flags>("Flags")});
  return info;
}

const TXMLClass& TsxPackages::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxPackages, TXMLObjectList>("TsxPackages", {}, {Item<TsxPackage>("package")});
  return info;
}

TsxPackage* TsxPackages::FindByFileName(std::string_view fileName) const {
  for (TsxPackage& package : *this)
    if (SameTextFast(package.FileName, fileName)) return &package;
  return nullptr;
}

}  // namespace sx
