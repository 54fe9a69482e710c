// A package of the setup: its own database (components, plug-ins, variables, file facts) and the
// state of its preparation. Item 0 of the root's Packages is the main package.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "database/sx_component.h"
#include "database/sx_launch_condition.h"
#include "database/sx_plugin.h"
#include "database/sx_variable.h"

namespace sx {

class TsxPackage : public TXMLObject {
 public:
  using TXMLObject::TXMLObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }

  std::string ID;
  bool Main = false;
  std::string FileName;
  std::unique_ptr<TsxComponents> Components = std::make_unique<TsxComponents>(this);
  std::unique_ptr<TsxPlugins> Plugins = std::make_unique<TsxPlugins>(this);
  std::unique_ptr<TsxVariables> Variables = std::make_unique<TsxVariables>(this);
  std::unique_ptr<TsxFileInfos> FileInfos = std::make_unique<TsxFileInfos>(this);
  std::string TempPath;      // folder of the extracted files, with a trailing backslash
  std::string FullFileName;
  bool Needed = false;       // carries something to install
  bool Prepared = false;     // already extracted
  std::int32_t PresetupSize = 0;  // bytes that preparing the package needs on disk
  std::int32_t DataSize = 0;
  std::int32_t Flags = 0;
};

class TsxPackages : public TXMLList<TsxPackage> {  // <packages><package .../>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  // The first package whose FileName equals `fileName` ignoring case.
  TsxPackage* FindByFileName(std::string_view fileName) const;
};

}  // namespace sx
