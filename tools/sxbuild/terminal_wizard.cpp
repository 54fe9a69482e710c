#include "tools/sxbuild/terminal_wizard.h"

#include "util/case_tables.h"

namespace sx::build {
namespace {

constexpr char kComponentSizes[] = "ComponentSizes";
constexpr char kFeatureComponents[] = "FeatureComponents";

bool HasGroup(const TsxPlugin& plugin, const char* name) {
  for (const TsxParamGroup& group : *plugin.Config)
    if (SameTextFast(group.Name, name)) return true;
  return false;
}

TsxParamGroup& AddGroup(TsxPlugin& plugin, const char* name) {
  TsxParamGroup& group = plugin.Config->AddNew();
  group.Name = name;
  return group;
}

void AddParam(TsxParamGroup& group, const std::string& name, const std::string& value) {
  TsxParam& param = group.AddNew();
  param.Name = name;
  param.Value = value;
}

void ListFeatureComponents(const TsxFeatures& features, TsxParamGroup& group) {
  for (const TsxFeature& feature : features) {
    std::string components;
    for (const TsxComponent& component : *feature.Components)
      components += (components.empty() ? "" : ",") + component.ID();
    AddParam(group, feature.ID, components);
    ListFeatureComponents(*feature.Features, group);
  }
}

}  // namespace

bool IsTerminalWizard(const TsxPlugin& plugin) { return SameTextFast(plugin.ID, kTerminalWizardId); }

void AddTerminalWizard(TsxMainDatabase& db, const std::string& mainId) {
  TsxPackage* main = nullptr;
  for (TsxPackage& package : *db.Packages)
    if (package.Main) main = &package;
  if (!main) {
    for (const TsxPackage& package : *db.Packages)
      if (SameTextFast(package.ID, mainId)) return;  // the builder reports the clash
    main = &db.Packages->AddNew();
    main->ID = mainId;
    main->Main = true;
  }
  if (main->Plugins->Count() == 0) main->Plugins->AddNew().ID = kTerminalWizardId;
}

void DescribeSizesToWizard(TsxMainDatabase& db, const std::function<uint64_t(const TsxComponent&)>& bytesOf) {
  for (TsxPackage& package : *db.Packages)
    for (TsxPlugin& plugin : *package.Plugins) {
      if (!IsTerminalWizard(plugin) || HasGroup(plugin, kComponentSizes) || HasGroup(plugin, kFeatureComponents))
        continue;
      TsxParamGroup& sizes = AddGroup(plugin, kComponentSizes);
      for (const TsxComponent& component : *db.Components)
        AddParam(sizes, component.ID(), std::to_string(bytesOf(component)));
      ListFeatureComponents(*db.Features, AddGroup(plugin, kFeatureComponents));
    }
}

}  // namespace sx::build
