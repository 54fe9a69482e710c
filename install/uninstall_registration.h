// Registration for uninstall and repair: the uninstaller and the assembly tool copied beside the
// product, the product's entry in the system's list of installed programs, and the silent
// settings a later repair applies. The installation run calls these when the project sets
// Uninstall and the log is on; it writes the programs to run at uninstall time and the uninstall
// log itself, around RegisterUninstall.
//
// Every change is recorded with Log false, so that a rollback later in the run (a plug-in that
// refuses the end of the installation) removes the entry or gives it back its earlier values.
#pragma once

#include <string>
#include <string_view>

namespace sx {

class TsxMainDatabase;

// "HKLM" (or "HKCU") + "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + the product's
// AppID ("App" when it is missing or empty, so that the entry is never the list's key itself).
std::string UninstallKeyPath(TsxMainDatabase& database, bool machine);

// Copies a program the engine brings (uninstaller, assembly tool) to `target`, recorded as an
// installed file (written to the uninstall log when `log`). True when the source does not exist;
// false, after the box "Cannot copy system file "<target>".", when the copy failed.
bool CopySystemFile(const std::string& source, const std::string& target, bool log);

// "Uninstall.exe" (shared between the products of one folder, not logged) and "gacutil.exe"
// (logged) from the first package into the install folder (ending in a backslash). False when
// either copy failed: the installation fails.
bool CopyUninstaller(TsxMainDatabase& database, const std::string& installPath);

// The uninstall entry under HKLM, else HKCU (its key into "CreateKeys"), its values in order, and
// unless DisableRepair the silent settings at the log's path with ".sss". True when neither list
// can be written at all (the entry is passed over); false when the entry was begun but a value or
// the settings file could not be written: the installation fails.
bool RegisterUninstall(TsxMainDatabase& database, const std::string& installPath, const std::string& logPath);

}  // namespace sx
