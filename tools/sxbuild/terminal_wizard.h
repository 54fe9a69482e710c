// The terminal wizard that setups get when their project names no user interface: the main
// package's plug-in list is the project's user interface, and an empty list gets the wizard
// (plug-in ID "sxwizard", packed from the sxwizard.dll that ships beside sxbuild). A project that
// names "sxwizard" itself without a plugins/sxwizard/ folder gets the shipped wizard as well.
//
// The wizard learns what the features weigh from two groups of its configuration, which the
// builder fills: "ComponentSizes" (component ID = bytes packed) and "FeatureComponents"
// (feature ID = its own components, separated by commas).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "database/sx_classes.h"

namespace sx::build {

inline constexpr char kTerminalWizardId[] = "sxwizard";
inline constexpr char kTerminalWizardDll[] = "sxwizard.dll";

bool IsTerminalWizard(const TsxPlugin& plugin);

// Adds the wizard to the main package when it names no plug-in. A project without a package
// marked main gets its implicit main package ("main") here, so that the wizard has a list to be
// in; `mainId` is that package's ID, and nothing is added when the ID is taken by another package.
void AddTerminalWizard(TsxMainDatabase& db, const std::string& mainId);

// Fills the size groups of every wizard item that has none of its own.
void DescribeSizesToWizard(TsxMainDatabase& db, const std::function<uint64_t(const TsxComponent&)>& bytesOf);

}  // namespace sx::build
