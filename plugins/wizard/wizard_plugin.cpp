// The terminal wizard: the default user interface of a setup. It shows the dialogs before the
// installation, the progress and the questions while it runs, and the closing pages, on the
// terminal the setup was started from. In silent mode, or without a terminal, it shows nothing
// and lets the engine go its default way.
//
// Built as "sxwizard.dll" against plugins/sxplugin.h alone, as any plug-in author would.
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugins/sxplugin.h"
#include "plugins/wizard/dialogs.h"
#include "plugins/wizard/engine_link.h"
#include "plugins/wizard/install_view.h"
#include "plugins/wizard/terminal.h"
#include "plugins/wizard/ui.h"

namespace sxwizard {
namespace {

constexpr char kPluginId[] = "sxwizard";

struct Wizard {
  EngineLink engine;
  InstallView view;
  std::string activeInstallType;  // as the last EV_INSTALLTYPECHANGED named it
  bool cancelled = false;      // the user cancelled in the dialogs
  bool showingInstall = false; // the installation's page is up (decided once, not per block)
  bool rebootAsked = false;    // the finish page asked about the restart already
  bool restartNow = true;
};

Wizard& Me() {
  static Wizard wizard;
  return wizard;
}

std::string Text(intptr_t pointer) { return pointer ? reinterpret_cast<const char*>(pointer) : ""; }

// Dialogs appear only on a terminal and when the project or the command line asks for no
// silent installation.
bool Interactive() {
  if (!Terminal::Present()) return false;
  return std::atoi(Me().engine.Variable("SilentMode").c_str()) == 0;
}

std::string AppName() {
  const std::string name = Me().engine.Variable("AppName");
  return name.empty() ? "Application" : name;
}

bool RebootPending() { return std::atoi(Me().engine.Variable("Reboot").c_str()) != 0; }

bool AskRestart(std::vector<std::string> intro = {}) {
  Wizard& me = Me();
  me.rebootAsked = true;
  for (const char* line : {"", "Restart now? Answer n to restart later yourself."}) intro.emplace_back(line);
  intro.insert(intro.end() - 2, "The computer must be restarted to complete the installation of " + AppName() + ".");
  me.restartNow = AskYesNo(AppName() + " Setup - Restart", intro, true);
  // "Later": the engine does not restart at the end.
  if (!me.restartNow) me.engine.SetVariable("Reboot", "0");
  return me.restartNow;
}

// A silent installation takes its password from the variable "Password", which the silent
// settings file beside the setup sets (<var name="Password" value="..."/>). The variable is
// emptied at once, so the password is not written into the repair settings the installation
// leaves on the machine. A wrong or missing password is refused when the installation starts.
void OfferSilentPassword() {
  EngineLink& engine = Me().engine;
  if (!engine.NeedsPassword()) return;
  const std::string password = engine.Variable("Password");
  if (password.empty()) return;
  engine.SetPassword(password);
  engine.SetVariable("Password", "");
}

void Finish() {
  std::vector<std::string> body{"Setup has installed " + AppName() + " on your computer.", ""};
  if (RebootPending()) {
    AskRestart(body);
    return;
  }
  body.emplace_back("Press Enter to close the setup.");
  WaitForEnter(AppName() + " Setup - Finished", body);
}

void Failed() {
  Wizard& me = Me();
  if (me.cancelled) {
    Terminal::Write("\x1b[H\x1b[2JSetup was cancelled. Nothing was installed.\n");
    return;
  }
  WaitForEnter(AppName() + " Setup - Not finished",
               {"Setup did not complete the installation of " + AppName() + ".", "", "Press Enter to close the setup."});
}

intptr_t OnEvent(int32_t number, const char* name, intptr_t param1, intptr_t param2) {
  Wizard& me = Me();
  switch (number) {
    case EV_SETSTARTUPINFO:
      if (param1) me.engine.Connect(*reinterpret_cast<const SxStartupInfo*>(param1));
      return 0;
    case EV_SHOWDIALOGS:
      if (!Interactive()) {
        if (param1 == 0) OfferSilentPassword();
        return 0;
      }
      if (param1 == 0) {
        me.cancelled = !Dialogs(me.engine, me.activeInstallType).Run();
        return me.cancelled ? 1 : 0;
      }
      Finish();
      return 0;
    case EV_INSTALLTYPECHANGED:
      me.activeInstallType = Text(param1);
      return 0;
    case EV_BEFOREINSTALL:
      me.showingInstall = Interactive();
      if (me.showingInstall) me.view.Begin(AppName());
      return 0;
    case EV_BEFOREPROCESSITEMS:
      if (me.showingInstall) me.view.Stage(SX_STAGE_OF(param1));
      return 0;
    case EV_BEFOREPROCESSITEM:
      if (SX_STAGE_OF(param1) == SX_STAGE_FILES && param2 && me.showingInstall)
        me.view.File(Text(reinterpret_cast<intptr_t>(reinterpret_cast<const SxFileItem*>(param2)->Path)));
      return 0;
    case EV_FILEINSTALLPROGRESS:
      if (me.showingInstall) me.view.Progress(static_cast<int>(param1), static_cast<int>(param2));
      return 0;
    case EV_AFTERINSTALL:
      me.showingInstall = false;
      return 0;
    case EV_VERSIONCONFLICT:
      // Without anyone to ask, 0 leaves the engine's own decision (keep the newer file).
      if (!Interactive()) return 0;
      me.view.Name(AppName());
      return me.view.AskVersionConflict(Text(param1));
    case EV_GETPACKAGE: {
      if (!Interactive() || !param2) return 0;
      me.view.Name(AppName());
      char* folder = reinterpret_cast<char*>(param2);
      const std::string current(folder, strnlen(folder, SX_PACKAGE_FOLDER_SIZE));
      const std::string typed = me.view.AskPackageFolder(Text(param1), current, SX_PACKAGE_FOLDER_SIZE - 1);
      if (typed.empty()) return 0;
      std::memset(folder, 0, SX_PACKAGE_FOLDER_SIZE);
      std::memcpy(folder, typed.data(), typed.size());
      return 1;
    }
    case EV_QUERYREBOOT:
      // The engine may have asked for the restart after the finish page: the answer given there
      // stands.
      if (Interactive() && !me.rebootAsked) AskRestart();
      else if (me.rebootAsked && !me.restartNow) me.engine.SetVariable("Reboot", "0");
      return 0;
    case EV_FINISH:
      if (!Interactive()) return 0;
      if (param1 == 0) Failed();
      else Terminal::Write("\x1b[H\x1b[2J" + AppName() + " Setup has finished.\n");
      return 0;
    default:
      break;
  }
  // Messages the engine sends by name: the status text of longer steps such as a rollback.
  if (name && std::strcmp(name, SX_MSG_SHOWSTATUSTEXT) == 0 && Interactive()) {
    me.view.Status(Text(param1));
    return 1;
  }
  if (name && std::strcmp(name, SX_MSG_HIDESTATUSTEXT) == 0 && Interactive()) {
    me.view.Status("");
    return 1;
  }
  return 0;
}

intptr_t SX_STDCALL EventHandler(int32_t number, const char* name, intptr_t param1, intptr_t param2) {
  return OnEvent(number, name, param1, param2);
}

}  // namespace
}  // namespace sxwizard

SX_EXTERN_C SX_PLUGIN_EXPORT void SX_STDCALL GetPluginInfo(SxPluginInfo* info) {
  info->PluginVersion = 0x00010000;
  info->RequiredVersion = SX_ENGINE_VERSION;
  std::strncpy(info->ID, sxwizard::kPluginId, SX_ID_SIZE - 1);
  std::strncpy(info->Description, "Terminal setup wizard", SX_ID_SIZE - 1);
  info->EventHandler = sxwizard::EventHandler;
}
