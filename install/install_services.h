// What the installation library needs from the engine around it.
//
// install/ sits below engine/ and never includes its headers. Everything that only the engine has
// is reached through this one interface: the project database and the engine's state flags, the
// plug-in events sent with the engine's rules, language texts, message boxes owned by the
// engine's windows, the programs to run, the resume state, and the installation phases that are
// not part of this library yet.
//
// The engine derives one implementation, installs it with SetInstallServices at start-up (before
// any install action is made) and keeps it alive until shutdown. Tests install recording doubles.
//
// Threads: the installation run, rollback and the log's end-of-run writes call these services on
// the main thread. The file phase runs on the copy thread (install/copy_thread.h) and calls
// SendEvent, PostEvent, ShowErrorBox, ShowBox, LanguageString, Aborted, SetAborted, RepairMode
// and Database from there while the main thread only serves its queue (util/message_queue.h).
// The engine's implementation hands events and boxes over to the main thread through that
// queue, as the plug-in host does (SendToMainThread: the copy thread waits for the answer;
// PostToMainThread for posted events: it does not).
// Aborted and SetAborted must be safe across threads (an atomic flag).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "database/sx_main_database.h"
#include "plugins/sxplugin.h"

namespace sx {

class TsxRunApp;

// The owner of a message box.
enum class TBoxOwner : std::uint8_t {
  kActiveWindow,  // the window the plug-ins name for CM_GETACTIVEWINDOW
  kMainWindow,    // the engine's main window
};

class TInstallServices {
 public:
  virtual ~TInstallServices() = default;

  // ---- the project and the engine's state
  // The process-wide project database (TempBackupPath, InstallState, InstallStateData,
  // Password, the components and the variables).
  virtual TsxMainDatabase& Database() = 0;
  // The abort flag a plug-in or the user sets; RunInstallation clears it at its start.
  virtual bool Aborted() = 0;
  virtual void SetAborted(bool value) = 0;
  // The engine was started to continue an installation after a reboot.
  virtual bool ResumeMode() = 0;
  virtual void SetResumeMode(bool value) = 0;
  // A resume has been prepared: the engine's temporary folder must survive.
  virtual bool ResumePending() = 0;
  virtual void SetResumePending(bool value) = 0;
  // The setup program being run (the installation source file).
  virtual std::string ExeName() = 0;
  // The engine repairs an installed product: files of the same version and size are written
  // again. The base answers false.
  virtual bool RepairMode() { return false; }

  // ---- plug-ins
  // SendEvent with the engine's rules (carried to the main thread, traced, first non-zero reply
  // unless `toAll`). 0 when no plug-in answers.
  virtual std::intptr_t SendEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2,
                                  bool toAll) = 0;
  // SendEvent to all for an event whose replies nobody reads (progress, an item processed or
  // done). Called off the main thread, the engine's implementation returns at once and delivers
  // the event later, in order with every other event; PostItemEvent copies the item (with its
  // path) and passes the copy as param2. WaitForEvents waits until every posted event was
  // delivered, so that what their handlers changed (the abort flag, a suspension, variables) is
  // seen; it raises again what a handler raised. The base sends at once and never waits.
  virtual void PostEvent(std::int32_t number, std::intptr_t param1, std::intptr_t param2) {
    SendEvent(number, param1, param2, true);
  }
  virtual void PostItemEvent(std::int32_t number, std::intptr_t param1, const SxFileItem& item) {
    SendEvent(number, param1, reinterpret_cast<std::intptr_t>(&item), true);
  }
  virtual void WaitForEvents() {}
  // CM_SHOWSTATUSTEXT with the text and 750, and CM_HIDESTATUSTEXT.
  virtual void ShowStatusText(std::string_view text) = 0;
  virtual void HideStatusText() = 0;

  // ---- texts and boxes
  // The numbered text of the current language file's "Strings" section ("" when missing).
  virtual std::string LanguageString(int number) = 0;
  // The section names of the current language file, in file order, and the "key=value" lines of
  // one section (raw, before expansion).
  virtual std::vector<std::string> LanguageSectionNames() = 0;
  virtual std::vector<std::string> LanguageSectionLines(std::string_view section) = 0;
  // ShowErrorBox: the error icon and the engine's message title, owned by the window the
  // plug-ins name for CM_GETACTIVEWINDOW. Also used for failures inside Undo.
  virtual int ShowErrorBox(std::string_view text) = 0;
  // ShowMessageBox with the title and style as given (ExtraBoxFlags and task-modal added as for
  // every box), owned by the window `owner` names; the answer (an ID* code).
  virtual int ShowBox(TBoxOwner owner, std::string_view title, std::string_view text,
                      std::uint32_t style) = 0;

  // ---- programs and resume
  // Runs the programs to run at `when` (before_install, after_install), from the position that
  // InstallStateData holds when the engine resumes. Sets ResumePending (and stores the resume
  // point) itself when a program asks for a reboot. False when a program failed the run.
  virtual bool RunApplications(TsxWhenStart when) = 0;
  // The program items of the project to run at uninstall time at `when` (before_uninstall,
  // after_uninstall), in the engine's order, conditions already checked.
  virtual std::vector<TsxRunApp*> UninstallRunApps(TsxWhenStart when) = 0;
  // Saves the project database and InstallActionList() into the resume folder and sets up the
  // restart after the reboot (the engine calls ScheduleRebootOperations first). False when the
  // state could not be saved; the run then fails.
  virtual bool SaveResumeState() = 0;

  // ---- fonts and servers, as the undo of a file action needs them
  // Removes the font resource of the file and broadcasts WM_FONTCHANGE.
  virtual void RemoveFontResource(std::string_view path) = 0;
  // Registers or unregisters a self-registering server (DllRegisterServer/DllUnregisterServer or
  // the program's /regserver switch). False when it failed.
  virtual bool RegisterServer(std::string_view path, bool registering) = 0;

};

// The services in force. InstallServices raises EEngineError when none were set.
TInstallServices& InstallServices();
bool HasInstallServices();
// Installs `services` (not owning); returns the previous ones.
TInstallServices* SetInstallServices(TInstallServices* services);

}  // namespace sx
