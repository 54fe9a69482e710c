// The main installation flow: from the main window to the end of the installation.
#pragma once

namespace sx {

// Runs the flow once; true when the installation succeeded.
bool RunMainFlow();

}  // namespace sx
