// The installation run: the single entry into the installation engine. The main flow calls it
// once, after the dialogs and EV_BEFOREINSTALL, and again after a reboot to continue at the
// stored resume point. It performs the item kinds in a fixed order, each framed by the per-kind
// plug-in events, writes the install log and the uninstall registration, and can stop for a
// reboot. It never rolls back by itself: on failure the main flow calls RollbackAll.
//
// Everything the engine has is reached through the install services (install_services.h). A
// project that needs a phase the engine cannot carry out is refused before anything changes.
#pragma once

#include <cstdint>

namespace sx {

// The item kinds, carried in the high word of the per-kind and per-item events' first argument.
enum TItemKind : int {
  ikFiles = 0,
  ikRegistry = 1,
  ikIniEntries = 2,
  ikShortcuts = 3,
  ikServers = 4,
  ikFonts = 5,
  ikPrograms = 6,
};

// True when the installation succeeded (or stopped for a reboot with a resume prepared).
bool RunInstallation();

}  // namespace sx
