// The variables the engine defines from the machine at start-up: folders, registry facts, the
// date, and the process environment. All are written as system variables (Transient, never
// saved) and overwrite a project variable of the same name; the environment only fills names
// that nothing defines yet.
#pragma once

#include <string>
#include <vector>

namespace sx {

class TXMLObject;

// BootDrive, Windows, System, the shell folders (Desktop, Fonts, NetHood, Personal,
// ProgramsMenu, Recent, SendTo, StartMenu, StartupMenu, Templates and the common start menu,
// programs, startup and desktop folders, which fall back to the user's own), ProgramFiles,
// CommonFiles, ApplicationData, Office97, Office2000, BDE, Delphi, Date, IIS-WWWRoot and
// IIS-Scripts, in this order. Registry defaults that refer to other variables are stored as
// written and resolve when read.
void DefineSystemVariables(TXMLObject* root);

// The names of the variables the engine defines itself: those of DefineSystemVariables, then
// the engine's built-in SourcePath, OSPlatform, OSVersion, QuickLaunch, ParamStr and SilentMode
// and the variables it sets while it runs (Reboot, LogFile, AdminRights). The environment it
// imports is not among them.
const std::vector<std::string>& SystemVariableNames();

// Every "NAME=value" of the process environment whose name is not empty and not found in the
// root becomes a system variable.
void ImportEnvironment(TXMLObject* root);

// Today as "mm/dd/yyyy" by the machine's local clock.
std::string TodayText();

}  // namespace sx
