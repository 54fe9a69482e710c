// Run-application items: the programs and documents a component starts at a moment of the
// installation, or records for the uninstaller.
//
// While a started program runs, the project database's InstallState and InstallStateData
// ("<component ID>,<item index>") say where the installation stands, so that an engine resumed
// after the session ended continues after that item. The installation run reaches these
// routines through TInstallationHooks (RunAppHooks), never by calling the engine.
#pragma once

#include "engine/installation_steps.h"

namespace sx {

class TsxComponent;
class TsxPackage;

// Processes the component's items of that moment (texts expanded in the package's context):
// EV_BEFOREPROCESSITEM (a non-zero reply takes the item over), then the uninstall record or the
// program, then EV_AFTERPROCESSITEM. False when a check_exitcode program failed.
bool RunAppItems(TsxPackage* package, TsxComponent& component, TsxWhenStart moment);

// The routine for each component of the project with its package (found by its Package);
// false at the first false, true at once when a resume became pending.
bool ForAllComponents(const TRunAppItemsFunction& routine, TsxWhenStart moment);
// The same over the components of the main package's own database, with package 0.
bool ForMainComponents(const TRunAppItemsFunction& routine, TsxWhenStart moment);

// The three routines, as the installation run gets them.
TInstallationHooks RunAppHooks();

// The uninstall record's value: the fields quoted with single quotes, a quote inside doubled.
std::string UninstallRecord(const std::string& cmdLine, const std::string& arg,
                            const std::string& workDir, int show, const std::string& msg,
                            bool wait, bool checkExitCode);

}  // namespace sx
