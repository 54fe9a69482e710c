// Starting a program or document and waiting for it while the main thread stays responsive.
#pragma once

#include <atomic>
#include <string_view>

#include "util/message_boxes.h"

namespace sx {

// Set when Windows ends the session: every wait for a started program stops.
extern std::atomic<bool> SessionEnding;

// Programs (.exe, .com, .bat, .pif, .lnk that exist) start directly with the command line
// "\"file\" arguments"; anything else opens through the shell. Waits in slices of 100 ms,
// serving the message queue between them, until the program ends or the session ends.
// The program's exit code; 0 when the wait was ended by the session's end; -1 when nothing
// could be started.
int RunAndWait(WindowHandle owner, std::string_view file, std::string_view arguments, int show,
               std::string_view folder);

}  // namespace sx
