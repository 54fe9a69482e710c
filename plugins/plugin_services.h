// What the plug-in host needs from the engine around it. The engine gives the host one
// implementation for the whole run; tests give recording doubles.
//
// Each call names the engine operation it stands for, so that the engine's implementation is a
// plain forward: variables and expansion, feature and install-type selection, the evaluator, the
// abort flag and the installation thread, the language list, the password, the install log and
// the setup icon. Calls come from the thread of the calling plug-in: normally the main thread,
// the installation thread when a plug-in function runs in a condition evaluated there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "database/sx_main_database.h"

namespace sx {

struct TPlugin;

class TPluginEngineServices {
 public:
  virtual ~TPluginEngineServices() = default;

  // ---- variables. The container is the project database or one of its packages (a package
  // looks a name up in itself first, then in the project).
  // The value of the variable, expanded; `def` when there is none.
  virtual std::string ReadVariable(TXMLObject& container, std::string_view name,
                                   std::string_view def) = 0;
  // Sets the variable; a name that neither the container nor the project defines is created in
  // the project.
  virtual void WriteVariable(TXMLObject& container, std::string_view name,
                             std::string_view value) = 0;
  // The text with its %Name% references replaced.
  virtual std::string ExpandText(TXMLObject& container, std::string_view text) = 0;

  // ---- features and install types
  // The enabled feature with that ID in the tree (the first enabled one for an empty ID), or
  // nullptr. `parent` (in/out, start with nullptr) becomes the feature whose sub-features hold
  // it; `next` the following enabled feature in depth-first order, nullptr after the last.
  virtual TsxFeature* FindFeature(TsxFeatures& features, std::string_view id, TsxFeature*& parent,
                                  TsxFeature*& next) = 0;
  // The enabled install type with that ID (the first enabled one for an empty ID), or nullptr;
  // `next` the following enabled install type, nullptr after the last.
  virtual TsxInstallType* FindInstallType(TsxInstallTypes& installTypes, std::string_view id,
                                          TsxInstallType*& next) = 0;
  // Selects or deselects the feature with all consequences (the project's OnFeatureStateChange
  // reports each change). False when the feature is missing or ends in the other state.
  virtual bool SetFeatureState(TsxMainDatabase& database, std::string_view id, bool value) = 0;
  // Makes the install type active (OnInstallTypeChange reports it). False when it is missing or
  // disabled.
  virtual bool SetActiveInstallType(TsxMainDatabase& database, std::string_view id) = 0;

  // ---- the evaluator. Errors of the expression are raised.
  virtual std::string EvaluateExpression(std::string_view text, std::intptr_t context) = 0;
  virtual bool EvaluateCondition(std::string_view text, std::intptr_t context) = 0;
  // Adds a function implemented by the plug-in; its calls come back through
  // TPluginHost::CallPluginFunction. 0 when the name is taken (ignoring case, built-ins
  // included); otherwise the function's ID.
  virtual int RegisterFunction(TPlugin& owner, std::string_view name, int32_t paramCount) = 0;
  // The plug-in is being unloaded: its functions stay registered but must not be called.
  virtual void ReleaseFunctions(TPlugin& owner) = 0;

  // ---- the installation
  // Sets the engine's abort flag, nothing more: the host tells the plug-ins (EV_ABORTINSTALL).
  virtual void SetAborted() = 0;
  // Suspend and resume the installation thread.
  virtual void SuspendInstall() = 0;
  virtual void ResumeInstall() = 0;

  // ---- languages
  // The offered languages in order, as lines "ID=display name".
  virtual std::vector<std::string> LanguageList() = 0;
  // Switches the interface language; the switch itself announces it to every plug-in with
  // EV_LANGUAGECHANGED.
  virtual void SetLanguage(std::string_view id) = 0;

  // ---- password
  // Stores the password when it is valid for the project; true when it was valid.
  virtual bool SetPassword(std::string_view password) = 0;
  // True when the project's current password is valid or none is needed.
  virtual bool IsPasswordValid() = 0;

  // ---- install log: writes a plug-in's "name=value" record into the section (both expanded)
  // while the installation is logged; nothing otherwise.
  virtual void LogAddRecord(std::string_view section, std::string_view record) = 0;

  // ---- the setup program's icon ("MAINICON"), 32x32 or 16x16: a handle, 0 when there is none.
  virtual std::intptr_t InstallIcon(bool small) = 0;
};

}  // namespace sx
