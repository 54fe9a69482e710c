// Preparing the packages of a setup: each package file is located (a plug-in may name another
// folder, EV_GETPACKAGE), checked against its trailer, and every file of its archive before the
// installable data ("data\") is extracted into the package's folder under TempDir, while the
// preparing window shows the progress and the main package's splash picture is shown. Then the
// package's own database ("db.pdb") is loaded into it.
#pragma once

namespace sx {

class TsxPackage;

// Locates the package file, reads and checks its trailer (PresetupSize, DataSize and Flags go
// into the package) and sets FileName and TempPath; for the main package also writes the
// engine's resume copy "Resume.exe" into TempDir. False after showing why.
bool CheckPackage(TsxPackage& package);

// Extracts every package not yet prepared, after checking the free disk space. False when a
// package cannot be extracted (the caller shows the message) or there is too little space.
// The preparing window and the splash are gone when it returns.
bool PreparePackages();

// Loads the package's "db.pdb" into it (merged: its preparation state stays) and sets its own
// variable "Presetup" to TempPath + "presetup". Raises an EEngineError when the file is missing
// or damaged.
bool LoadPackageDatabase(TsxPackage& package);

}  // namespace sx
