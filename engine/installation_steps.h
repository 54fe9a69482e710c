// What the engine asks of the installation subsystem: the installation run, the record of its
// changes (count and rollback), the install log and the preparation of a resume after reboot.
//
// The main flow reaches all of it through this one interface, so that the installation code plugs
// in at a single place (TEngineContext::SetInstallation) and tests put a double in its stead. The
// engine's own implementation is TEngineInstallation (engine/engine_installation.h).
//
// Calls come from the main thread; SuspendInstall and ResumeInstall may come from any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "database/sx_enums.h"

namespace sx {

class TsxComponent;
class TsxPackage;

// Runs the run-application items of one component for one moment (engine/run_app_items.h).
using TRunAppItemsFunction =
    std::function<bool(TsxPackage* package, TsxComponent& component, TsxWhenStart moment)>;
// Applies a per-component routine to a set of components; false at the first false.
using TComponentIterator =
    std::function<bool(const TRunAppItemsFunction& routine, TsxWhenStart moment)>;

// A text of the current language file by section and key, expanded ("" when missing).
using TLanguageTextFunction = std::function<std::string(std::string_view section, std::string_view key)>;

// What the engine hands the installation run: the run-application routine, the two iterators
// over components (all components, the main package's components) and the language texts.
struct TInstallationHooks {
  TRunAppItemsFunction RunAppItems;
  TComponentIterator ForAllComponents;
  TComponentIterator ForMainComponents;
  TLanguageTextFunction LanguageText;
};

class TInstallationSteps {
 public:
  virtual ~TInstallationSteps() = default;

  // The engine's hooks, set once before the installation runs.
  virtual void SetHooks(TInstallationHooks hooks) { hooks_ = std::move(hooks); }
  const TInstallationHooks& Hooks() const { return hooks_; }

  // Installs the marked components; true on success.
  virtual bool RunInstallation() = 0;
  // The changes recorded so far.
  virtual int ActionCount() = 0;
  // Undoes every recorded change, newest first.
  virtual void RollbackAll() = 0;
  // The install log's file (repair sets it from the "LogFile" variable).
  virtual void SetLogPath(std::string_view path) = 0;
  virtual std::string LogPath() = 0;
  // Writes "key=value" into a section of the install log.
  virtual void LogAddRecord(std::string_view section, std::string_view key, std::string_view value) = 0;
  // Records an installed file in the log's file-copy section, so that uninstalling removes it.
  virtual void LogInstalledFile(std::string_view path) = 0;
  // Registers the pending reboot-time file operations, then prepares a pending resume; true when
  // there is none or it was prepared.
  virtual bool PrepareResume() = 0;
  // Holds and releases the installation thread.
  virtual void SuspendInstall() {}
  virtual void ResumeInstall() {}

 private:
  TInstallationHooks hooks_;
};

}  // namespace sx
