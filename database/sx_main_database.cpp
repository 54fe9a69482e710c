#include "database/sx_main_database.h"

namespace sx {

const TXMLClass& TsxMainDatabase::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxMainDatabase, TXMLObject>(
      "TsxMainDatabase",
      {Prop<&TsxMainDatabase::Version>("Version"), Prop<&TsxMainDatabase::Variables>("Variables"),
       Prop<&TsxMainDatabase::Packages>("Packages"), Prop<&TsxMainDatabase::Components>("Components"),
       Prop<&TsxMainDatabase::Features>("Features"), Prop<&TsxMainDatabase::InstallTypes>("InstallTypes"),
       Prop<&TsxMainDatabase::LaunchConditions>("LaunchConditions"),
       Prop<&TsxMainDatabase::Password>("Password"), Prop<&TsxMainDatabase::TempFontsPath>("TempFontsPath"),
       Prop<&TsxMainDatabase::TempGACPath>("TempGACPath"),
       Prop<&TsxMainDatabase::TempBackupPath>("TempBackupPath"),
       Prop<&TsxMainDatabase::InstallState>("InstallState"),
       Prop<&TsxMainDatabase::InstallStateData>("InstallStateData"),
       Prop<&TsxMainDatabase::ActiveInstallType>("ActiveInstallType"),
       Prop<&TsxMainDatabase::RebootOnFinish>("RebootOnFinish")});
  return info;
}

const TXMLClass& TsxSilentSettings::StaticClass() {
  static const TXMLClass info = DefineXMLClass<TsxSilentSettings, TXMLObject>(
      "TsxSilentSettings",
      {Prop<&TsxSilentSettings::Variables>("Variables"), Prop<&TsxSilentSettings::Features>("Features"),
       Prop<&TsxSilentSettings::ActiveInstallType>("ActiveInstallType")});
  return info;
}

TsxMainDatabase* FindDatabase(TXMLObject* object) {
  for (; object; object = object->Owner)
    if (auto* root = dynamic_cast<TsxMainDatabase*>(object)) return root;
  return nullptr;
}

}  // namespace sx
