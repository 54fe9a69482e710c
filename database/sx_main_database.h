// TsxMainDatabase: the single root of the project model. It is filled from the database of the
// main package, completed by merging the database of every other package, and written as the
// resume state file (root element "sx2project"). The silent settings have a root of their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "database/sx_feature.h"
#include "database/sx_launch_condition.h"
#include "database/sx_package.h"
#include "database/sx_variable.h"

namespace sx {

class TsxMainDatabase : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string Version;
  std::unique_ptr<TsxVariables> Variables = std::make_unique<TsxVariables>(this);
  std::unique_ptr<TsxPackages> Packages = std::make_unique<TsxPackages>(this);
  std::unique_ptr<TsxComponents> Components = std::make_unique<TsxComponents>(this);
  std::unique_ptr<TsxFeatures> Features = std::make_unique<TsxFeatures>(this);
  std::unique_ptr<TsxInstallTypes> InstallTypes = std::make_unique<TsxInstallTypes>(this);
  std::unique_ptr<TsxLaunchConditions> LaunchConditions = std::make_unique<TsxLaunchConditions>(this);
  std::string Password, TempFontsPath, TempGACPath, TempBackupPath;
  TsxInstallState InstallState = TsxInstallState::isUnknown;  // where a reboot stopped the run
  std::string InstallStateData;
  std::string ActiveInstallType;  // ID of the active install type
  bool RebootOnFinish = false;

  // Run-time notifications (not persisted): after the active install type changed, and when a
  // feature's state changed.
  std::function<void(TsxInstallType*)> OnInstallTypeChange;
  std::function<void(TsxFeature*)> OnFeatureStateChange;
};

class TsxSilentSettings : public TXMLObject {  // file root "silentsettings"
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::unique_ptr<TsxVariables> Variables = std::make_unique<TsxVariables>(this);
  std::unique_ptr<TsxFeatures> Features = std::make_unique<TsxFeatures>(this);
  std::string ActiveInstallType;
};

// The first TsxMainDatabase met following Owner from `object` upward (the object itself counts);
// nullptr when the chain ends first.
TsxMainDatabase* FindDatabase(TXMLObject* object);

}  // namespace sx
