// A component: the unit of installation, with its install items. A feature names the components
// it installs; the package whose own database describes a component in full is `Package`.
#pragma once

#include <memory>
#include <string>

#include "database/sx_install_items.h"
#include "database/sx_odbc.h"

namespace sx {

class TsxComponent : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  const std::string& ID() const { return id_; }
  // A different ID also becomes the Name while the Name is empty.
  void SetID(std::string id);

  std::string Name;
  std::string Package;  // FileName of the package that describes the component (ignoring case)
  std::unique_ptr<TsxFiles> Files = std::make_unique<TsxFiles>(this);
  std::unique_ptr<TsxRegistry> Registry = std::make_unique<TsxRegistry>(this);
  std::unique_ptr<TsxIniFiles> IniFiles = std::make_unique<TsxIniFiles>(this);
  std::unique_ptr<TsxShortcuts> Shortcuts = std::make_unique<TsxShortcuts>(this);
  std::unique_ptr<TsxRunApps> RunApps = std::make_unique<TsxRunApps>(this);
  std::unique_ptr<TsxODBC> ODBC;  // absent until an <odbc> element is read

 private:
  std::string id_;
};

class TsxComponents : public TXMLList<TsxComponent> {  // <components><component .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

}  // namespace sx
