// The file phase of the installation: removals, then the files of every package, then the
// external files that travel beside the setup.
//
// Removals run on the calling (main) thread. Package extraction and external copies run on the
// copy thread (copy_thread.h) while the main thread serves its queue; plug-in events and message
// boxes go through the install services, which hand them to the main thread.
//
// For every file the phase applies the overwrite rules (dont_overwrite, protected system files,
// versions or dates, the answer to a version conflict, RepairMode), backs up what it replaces
// (install_actions.h), handles files in use (the new content waits under a temporary name and
// the variable Reboot is set), counts shared files, stages fonts and assemblies, and reports
// progress and every decision to the plug-ins.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sx {

// The message for a package or cabinet that was not found and that no plug-in could locate
// ("%s" is its file name), shown titled "File not found".
inline constexpr char kFileNotFoundText[] =
    "File \"%s\" was not found on your computer. Setup is unable to proceed.\r"
    "If this problem persists contact the software vendor.";

// The whole file phase; false when it failed (its message was shown) or was aborted. An error
// raised on the copy thread is raised again on the calling thread.
bool InstallFiles();

// The file phase RunInstallation carries out: InstallFiles while empty. Tests of the run's own
// order put a stand-in here.
extern std::function<bool()> FilePhaseStandIn;

// Whether the system protects a file against replacement by setups. The engine sets it where the
// system offers the query (Windows NT 5 and later, Windows ME); unset, no file is protected.
using TProtectedFileHook = std::function<bool(std::string_view path)>;
extern TProtectedFileHook ProtectedFileHook;
// The query of the current host (Host::IsProtectedFile), for the engine to install as the
// hook on the systems that protect their files.
bool HostProtectsFile(std::string_view path);

// done ÷ total × 100 rounded to the nearest integer, halves to the even neighbour, kept within
// 0..100; a total of 0 counts as complete.
int ProgressPercent(std::uint64_t done, std::uint64_t total);


}  // namespace sx
