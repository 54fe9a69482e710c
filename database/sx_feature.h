// Features and install types. A feature holds its real sub-features in `Features`; its
// `Depends`, `Excepts` and `Components`, like an install type's `Features`, are references that
// carry only the IDs of features and components of the root (searched through the whole tree).
#pragma once

#include <memory>
#include <string>

#include "database/sx_component.h"

namespace sx {

class TsxFeature;

class TsxFeatures : public TXMLList<TsxFeature> {  // <features><feature .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxFeature : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string ID, Name, Description;
  bool Required = false;
  std::unique_ptr<TsxFeatures> Features = std::make_unique<TsxFeatures>(this);
  std::unique_ptr<TsxFeatures> Depends = std::make_unique<TsxFeatures>(this);
  std::unique_ptr<TsxFeatures> Excepts = std::make_unique<TsxFeatures>(this);
  std::unique_ptr<TsxComponents> Components = std::make_unique<TsxComponents>(this);

  // Run-time state, not persisted: chosen for installation, and chosen while some of its
  // sub-features are not.
  bool Selected = false;
  bool Partial = false;
};

class TsxInstallType : public TsxConditionObject {
 public:
  using TsxConditionObject::TsxConditionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string ID, Name, Description;
  std::unique_ptr<TsxFeatures> Features = std::make_unique<TsxFeatures>(this);
  bool Default = false;  // activated when no install type is named (first one whose condition holds)
  bool Custom = false;   // passed to plug-ins with the description
};

class TsxInstallTypes : public TXMLList<TsxInstallType> {  // <installtypes><installtype .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  // The active install type (run-time state, not owned, not persisted).
  TsxInstallType* Active = nullptr;
};

}  // namespace sx
