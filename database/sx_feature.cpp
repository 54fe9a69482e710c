#include "database/sx_feature.h"

namespace sx {

const TXMLClass& TsxFeatures::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxFeatures, TXMLObjectList>("TsxFeatures", {}, {Item<TsxFeature>("feature")});
  return info;
}

const TXMLClass& TsxFeature::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxFeature, TsxConditionObject>(
      "TsxFeature",
      {Prop<&TsxFeature::ID>("ID"), Prop<&TsxFeature::Name>("Name"),
       Prop<&TsxFeature::Description>("Description"), Prop<&TsxFeature::Required>("Required"),
       Prop<&TsxFeature::Features>("Features"), Prop<&TsxFeature::Depends>("Depends"),
       Prop<&TsxFeature::Excepts>("Excepts"), Prop<&TsxFeature::Components>("Components")});
  return info;
}

const TXMLClass& TsxInstallType::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxInstallType, TsxConditionObject>(
      "TsxInstallType",
      {Prop<&TsxInstallType::ID>("ID"), Prop<&TsxInstallType::Name>("Name"),
       Prop<&TsxInstallType::Description>("Description"), Prop<&TsxInstallType::Features>("Features"),
       Prop<&TsxInstallType::Default>("Default"), Prop<&TsxInstallType::Custom>("Custom")});
  return info;
}

const TXMLClass& TsxInstallTypes::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxInstallTypes, TXMLObjectList>(
      "TsxInstallTypes", {}, {Item<TsxInstallType>("installtype")});
  return info;
}

}  // namespace sx
