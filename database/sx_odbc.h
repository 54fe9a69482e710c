// ODBC data sources, drivers and translators of a component. They are loaded, merged and
// persisted with their component; the installation applies none of them.
#pragma once

#include <memory>
#include <string>

#include "database/sx_condition_object.h"

namespace sx {

class TsxODBCAttribute : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Name, Value;
};
class TsxODBCAttributes : public TXMLList<TsxODBCAttribute, TXMLParamList> {  // items <attribute/>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxODBCDataSource : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  TsxDSType DSType = TsxDSType::dstUser;  // attribute "type", written without "dst"
  std::string Driver, Name;
  std::unique_ptr<TsxODBCAttributes> Attributes = std::make_unique<TsxODBCAttributes>(this);
};
class TsxODBCDataSources : public TXMLList<TsxODBCDataSource> {  // <datasources><datasource/>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxODBCDriver : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Name, DriverDLL, SetupDLL;
  std::unique_ptr<TsxODBCAttributes> Attributes = std::make_unique<TsxODBCAttributes>(this);
};
class TsxODBCDrivers : public TXMLList<TsxODBCDriver> {  // <drivers><driver/>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxODBCTranslator : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Name, TranslatorDLL, SetupDLL;
};
class TsxODBCTranslators : public TXMLList<TsxODBCTranslator> {  // <translators><translator/>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxODBC : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::unique_ptr<TsxODBCDataSources> DataSources = std::make_unique<TsxODBCDataSources>(this);
  std::unique_ptr<TsxODBCDrivers> Drivers = std::make_unique<TsxODBCDrivers>(this);
  std::unique_ptr<TsxODBCTranslators> Translators = std::make_unique<TsxODBCTranslators>(this);
};

}  // namespace sx
