#include "database/sx_odbc.h"

namespace sx {

const TXMLClass& TsxODBCAttribute::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBCAttribute, TsxConditionObject>(
      "TsxODBCAttribute", {Prop<&TsxODBCAttribute::Name>("Name"), Prop<&TsxODBCAttribute::Value>("Value")});
  return info;
}

const TXMLClass& TsxODBCAttributes::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBCAttributes, TXMLParamList>(
      "TsxODBCAttributes", {}, {Item<TsxODBCAttribute>("attribute")});
  return info;
}

const TXMLClass& TsxODBCDataSource::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBCDataSource, TsxActionObject>(
      "TsxODBCDataSource",
      {Prop<&TsxODBCDataSource::DSType>("DSType").Attribute("type").Prefix("dst"),
       Prop<&TsxODBCDataSource::Driver>("Driver"), Prop<&TsxODBCDataSource::Name>("Name"),
       Prop<&TsxODBCDataSource::Attributes>("Attributes")});
  return info;
}

const TXMLClass& TsxODBCDataSources::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBCDataSources, TXMLObjectList>(
      "TsxODBCDataSources", {}, {Item<TsxODBCDataSource>("datasource")});
  return info;
}

const TXMLClass& TsxODBCDriver::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBCDriver, TsxActionObject>(
      "TsxODBCDriver",
      {Prop<&TsxODBCDriver::Name>("Name"), Prop<&TsxODBCDriver::DriverDLL>("DriverDLL"),
       Prop<&TsxODBCDriver::SetupDLL>("SetupDLL"), Prop<&TsxODBCDriver::Attributes>("Attributes")});
  return info;
}

const TXMLClass& TsxODBCDrivers::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxODBCDrivers, TXMLObjectList>("TsxODBCDrivers", {}, {Item<TsxODBCDriver>("driver")});
  return info;
}

const TXMLClass& TsxODBCTranslator::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBCTranslator, TsxActionObject>(
      "TsxODBCTranslator",
      {Prop<&TsxODBCTranslator::Name>("Name"), Prop<&TsxODBCTranslator::TranslatorDLL>("TranslatorDLL"),
       Prop<&TsxODBCTranslator::SetupDLL>("SetupDLL")});
  return info;
}

const TXMLClass& TsxODBCTranslators::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBCTranslators, TXMLObjectList>(
      "TsxODBCTranslators", {}, {Item<TsxODBCTranslator>("translator")});
  return info;
}

const TXMLClass& TsxODBC::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxODBC, TXMLObject>(
      "TsxODBC", {Prop<&TsxODBC::DataSources>("DataSources"), Prop<&TsxODBC::Drivers>("Drivers"),
                  Prop<&TsxODBC::Translators>("Translators")});
  return info;
}

}  // namespace sx
