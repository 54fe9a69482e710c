// The install items of a component: files, registry values, INI entries, shortcuts and programs
// to run, each with its list. How the installation applies them belongs to the install engine.
#pragma once

#include <cstdint>
#include <string>

#include "database/sx_condition_object.h"

namespace sx {

class TsxFile : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Src, Dst;
};
class TsxFiles : public TXMLList<TsxFile> {  // <files><file .../></files>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxReg : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Key, Param, Value;
  TsxRegType ParamType = TsxRegType::rtStr;  // attribute "type"
};
class TsxRegistry : public TXMLList<TsxReg> {  // <registry><reg .../></registry>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxIni : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string IniFile;  // attribute "file"
  std::string Section, Param, Value;
};
class TsxIniFiles : public TXMLList<TsxIni> {  // <inifiles><ini .../></inifiles>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxShortcut : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string Name, CmdLine, Arg, WorkDir;
  TsxShowCmd ShowCmd = TsxShowCmd::scNormal;  // written without "sc"
  std::string IconFile;
  std::int32_t Icon = 0, Hotkey = 0;
  std::string Description;
};
class TsxShortcuts : public TXMLList<TsxShortcut> {  // <shortcuts><shortcut .../></shortcuts>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

class TsxRunApp : public TsxActionObject {
 public:
  using TsxActionObject::TsxActionObject;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
  std::string CmdLine, Arg, WorkDir;
  TsxShowCmd ShowCmd = TsxShowCmd::scNormal;  // written without "sc"
  std::string Msg;
  TsxWhenStart WhenStart = TsxWhenStart::after_install;
};
class TsxRunApps : public TXMLList<TsxRunApp> {  // <runapps><runapp .../></runapps>
 public:
  using TXMLList::TXMLList;
  static const TXMLClass& StaticClass();
  const TXMLClass& ClassInfo() const override { return StaticClass(); }
};

}  // namespace sx
