// What the installer's evaluator needs from the engine around it: the expansion of operands and
// the project's variables, the selection state of the project, and the engine services that some
// functions of the library call (abort, suspending the installation thread, the language, the
// password, the install log, the plug-ins' active window and plug-in functions).
//
// The engine gives its evaluator one implementation for the whole run; tests give recording
// doubles; TDatabaseServices (database_services.h) serves evaluations over a project outside an
// installation.
// The evaluator calls these from whichever thread evaluates (the main thread or the installation
// thread), one evaluation at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/message_boxes.h"

namespace sx {

// One call of a function that a plug-in registered: what the EV_CALCFUNCTION record carries.
struct TPluginFunctionCall {
  int ID = 0;                     // the function's ID
  std::string Name;               // as registered
  std::vector<std::string> Args;  // in order; empty when named without parentheses
  std::intptr_t Context = 0;      // the context value of the evaluation
};

class TEvaluatorServices {
 public:
  virtual ~TEvaluatorServices() = default;

  // ---- variables
  // The text with its %Name% references replaced by variable values (the project's expansion).
  virtual std::string ExpandText(std::string_view text) = 0;
  // The value of a variable, expanded; "" when there is none.
  virtual std::string ReadVariable(std::string_view name) = 0;
  // Sets a variable, creating it when the project has none of that name.
  virtual void WriteVariable(std::string_view name, std::string_view value) = 0;

  // ---- features and install types
  // The ID of the active install type; "" when none is active.
  virtual std::string ActiveInstallType() = 0;
  // Makes the install type with that ID active.
  virtual void SetInstallType(std::string_view id) = 0;
  // True when a feature with that ID is found (features whose condition is false are passed
  // over), is selected and its own condition holds.
  virtual bool FeatureEnabled(std::string_view id) = 0;

  // ---- the installation
  // Sets the abort flag and tells the plug-ins (EV_ABORTINSTALL).
  virtual void AbortInstall() = 0;
  // Suspend and resume the installation thread. Suspending from the installation thread itself
  // holds it until another thread resumes it.
  virtual void SuspendInstall() = 0;
  virtual void ResumeInstall() = 0;
  // Switches the user-interface language to the language with that ID.
  virtual void SetLanguage(std::string_view id) = 0;
  // Stores the text as the project's password when it is a valid installation password;
  // otherwise nothing changes.
  virtual void SetPassword(std::string_view password) = 0;
  // Records a file in the file-copy section of the install log, so that uninstalling removes it.
  virtual void LogInstalledFile(std::string_view path) = 0;

  // ---- plug-ins
  // The window the plug-ins name as active (CM_GETACTIVEWINDOW); 0 when none answers. Message
  // boxes of the library are owned by it.
  virtual WindowHandle ActiveWindow() = 0;
  // Calls a function that the plug-in `owner` registered (EV_CALCFUNCTION, sent to that plug-in
  // only). The plug-in's result text, or std::nullopt when it answered none.
  virtual std::optional<std::string> CallPluginFunction(void* owner,
                                                        const TPluginFunctionCall& call) = 0;
};

}  // namespace sx
