#include "database/sx_install_items.h"

namespace sx {

const TXMLClass& TsxFile::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxFile, TsxActionObject>(
      "TsxFile", {Prop<&TsxFile::Src>("Src"), Prop<&TsxFile::Dst>("Dst")});
  return info;
}

const TXMLClass& TsxFiles::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxFiles, TXMLObjectList>("TsxFiles", {}, {Item<TsxFile>("file")});
  return info;
}

const TXMLClass& TsxReg::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxReg, TsxActionObject>(
      "TsxReg", {Prop<&TsxReg::Key>("Key"), Prop<&TsxReg::Param>("Param"), Prop<&TsxReg::Value>("Value"),
                 Prop<&TsxReg::ParamType>("ParamType").Attribute("type")});
  return info;
}

const TXMLClass& TsxRegistry::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxRegistry, TXMLObjectList>("TsxRegistry", {}, {Item<TsxReg>("reg")});
  return info;
}

const TXMLClass& TsxIni::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxIni, TsxActionObject>(
      "TsxIni", {Prop<&TsxIni::IniFile>("IniFile").Attribute("file"), Prop<&TsxIni::Section>("Section"),
                 Prop<&TsxIni::Param>("Param"), Prop<&TsxIni::Value>("Value")});
  return info;
}

const TXMLClass& TsxIniFiles::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxIniFiles, TXMLObjectList>("TsxIniFiles", {}, {Item<TsxIni>("ini")});
  return info;
}

const TXMLClass& TsxShortcut::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxShortcut, TsxActionObject>(
      "TsxShortcut",
      {Prop<&TsxShortcut::Name>("Name"), Prop<&TsxShortcut::CmdLine>("CmdLine"),
       Prop<&TsxShortcut::Arg>("Arg"), Prop<&TsxShortcut::WorkDir>("WorkDir"),
       Prop<&TsxShortcut::ShowCmd>("ShowCmd").Prefix("sc"), Prop<&TsxShortcut::IconFile>("IconFile"),
       Prop<&TsxShortcut::Icon>("Icon"), Prop<&TsxShortcut::Hotkey>("Hotkey"),
       Prop<&TsxShortcut::Description>("Description")});
  return info;
}

const TXMLClass& TsxShortcuts::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxShortcuts, TXMLObjectList>("TsxShortcuts", {}, {Item<TsxShortcut>("shortcut")});
  return info;
}

const TXMLClass& TsxRunApp::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxRunApp, TsxActionObject>(
      "TsxRunApp",
      {Prop<&TsxRunApp::CmdLine>("CmdLine"), Prop<&TsxRunApp::Arg>("Arg"), Prop<&TsxRunApp::WorkDir>("WorkDir"),
       Prop<&TsxRunApp::ShowCmd>("ShowCmd").Prefix("sc"), Prop<&TsxRunApp::Msg>("Msg"),
       Prop<&TsxRunApp::WhenStart>("WhenStart")});
  return info;
}

const TXMLClass& TsxRunApps::StaticClass() {
  static const TXMLClass info =
      DefineXMLClass<TsxRunApps, TXMLObjectList>("TsxRunApps", {}, {Item<TsxRunApp>("runapp")});
  return info;
}

}  // namespace sx
