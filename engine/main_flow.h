// The main installation flow: from the engine's main window to the release of its last resource.
// It prepares the main package and loads the project, guards against a second setup of the same
// product, handles repair mode, chooses the language, loads the plug-ins, selects what is
// installed, runs the launch checks and the programs before the dialogs, lets the plug-ins show
// the dialogs, prepares the further packages, runs the installation and ends with the finish
// events, a rollback on failure and the reboot question.
//
// Plug-ins that saw EV_START always see EV_FINISH (unless a resume is pending), also after an
// abort or an error; an error after the project was set up runs the tail as a failure and then
// goes on to the caller.
#pragma once

namespace sx {

// Runs the flow once with the current engine (TEngineContext); true when the installation
// succeeded.
bool RunMainFlow();

}  // namespace sx
