// The plug-in host: loads the plug-in DLLs of each package, sends them the numbered events of the
// installation and carries out the commands they send back (command_dispatcher.h).
//
// A plug-in DLL exports GetPluginInfo and names its event handler in the SxPluginInfo it fills
// (plugins/sxplugin.h). It is accepted when it asks for no newer engine, leaves the reserved byte
// 0, names an event handler and gives the ID of one of its package's plug-in items; an item whose
// condition is false leaves its plug-in unused. An accepted plug-in gets EV_SETSTARTUPINFO,
// EV_LOAD (a non-zero reply declines it) and EV_LANGUAGECHANGED, then every event, until
// UnloadAllPlugins sends EV_UNLOAD, last loaded first.
//
// Sending: to every plug-in in load order except the sender, stopping at the first non-zero
// reply unless the message goes to all. The engine is sender 0, which no plug-in has.
//
// Threads: plug-ins run on the main thread, the thread that created the host. A message sent on
// another thread (the installation thread) is handed to the main thread's queue
// (util/message_queue.h), and the sender waits for the reply; the main thread must keep pumping
// meanwhile. The one exception is EV_CALCFUNCTION, which goes straight to the owning plug-in
// from the thread that evaluates. Loading and unloading happen on the main thread while no other
// thread sends.
//
// One host serves the engine's run; while it exists it is the one the plug-ins' entry points
// reach (CurrentPluginHost).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/sx_main_database.h"
#include "host/host.h"
#include "plugins/msg_store.h"
#include "plugins/plugin_memory.h"
#include "plugins/plugin_services.h"
#include "plugins/sxplugin.h"
#include "util/message_boxes.h"

namespace sx {

class TCommandDispatcher;

// One loaded plug-in.
struct TPlugin {
  SxGetPluginInfoProc GetPluginInfo = nullptr;
  std::string Path;                      // the DLL, as loaded (a Windows path)
  std::unique_ptr<host::Library> Module;  // unloads the DLL when freed
  SxPluginInfo Info{};
  std::string ConfigFile;                // the configuration file; empty when there is none
  TsxPluginSimpleConfig* Config = nullptr;  // the item's parameter groups (not owned)
  TXMLTag* CustomConfig = nullptr;          // the item's free-form configuration (not owned)
  int32_t PluginNumber = 0;  // the number of loaded plug-ins plus 1 when it was loaded
  TsxPackage* Package = nullptr;  // the package that brought it (not owned)

  std::string ID;  // Info.ID, read within its field
  SxEventHandlerProc EventHandler = nullptr;
};

// The loaded plug-ins in load order. Owns them; what is still in it when it goes is unloaded
// without events.
class TPluginList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TPlugin& operator[](int index) const { return *items_[static_cast<size_t>(index)]; }
  TPlugin& Add(std::unique_ptr<TPlugin> plugin);
  // Frees the plug-in (unloading its DLL) when it is in the list.
  void Remove(const TPlugin* plugin);
  bool Contains(const TPlugin* plugin) const;

 private:
  std::vector<std::unique_ptr<TPlugin>> items_;
};

// Why a plug-in file is not accepted.
enum class TPluginRefusal {
  kNone,
  kCannotLoad,        // not a library the host can load
  kNoPluginInfo,      // no GetPluginInfo export
  kNeedsNewerEngine,  // RequiredVersion above SX_ENGINE_VERSION
  kReservedSet,       // the reserved byte is not 0
  kNoEventHandler,    // no event handler named
  kUnknownID,         // no plug-in item of the package has its ID
};

// Loads the DLL at `path` into `plugin` and identifies it: GetPluginInfo is called with a
// zero-filled record carrying the interface mark, and the version, the reserved byte and the
// event handler are checked. On a refusal the DLL is unloaded again.
TPluginRefusal IdentifyPlugin(std::string_view path, TPlugin& plugin);
// A sentence that says why, for messages and tools ("it does not export GetPluginInfo").
std::string RefusalText(TPluginRefusal refusal, const TPlugin& plugin);

class TPluginHost {
 public:
  // The host works on the project database and reaches the rest of the engine through
  // `services`; both must outlive it. It records the calling thread as the main thread and
  // becomes the current host.
  TPluginHost(TsxMainDatabase& database, TPluginEngineServices& services);
  ~TPluginHost();
  TPluginHost(const TPluginHost&) = delete;
  TPluginHost& operator=(const TPluginHost&) = delete;

  TsxMainDatabase& Database() { return database_; }
  TPluginEngineServices& Services() { return services_; }
  TMsgStore& Messages() { return messages_; }
  TPluginMemory& Memory() { return memory_; }
  TCommandDispatcher& Commands() { return *commands_; }
  const TPluginList& Plugins() const { return plugins_; }

  // ---- loading
  // Loads the plug-ins of every plug-in item of the package: the item's DebugDll when it has
  // one, otherwise the first DLL of "<TempPath>plugins\<i>\" that is accepted. When an item gets
  // none, an error box "Cannot load "<ID>" plug-in." appears and loading stops: false.
  bool LoadPackagePlugins(TsxPackage& package);
  // Loads and starts one plug-in DLL of the package. True also when the plug-in is not used
  // (its item's condition is false) or declines at EV_LOAD.
  bool LoadPlugin(TsxPackage& package, std::string_view path);
  // EV_UNLOAD to each plug-in, last loaded first, each unloaded right after.
  void UnloadAllPlugins();
  // The loaded plug-in with that number, or nullptr.
  TPlugin* FindPlugin(int32_t pluginNumber) const;

  // ---- sending
  // Calls the plug-in's event handler, on the calling thread. 0, without a call, for a number
  // that has no name.
  std::intptr_t CallPlugin(TPlugin& plugin, int32_t number, std::intptr_t param1,
                           std::intptr_t param2);
  // Sends to every plug-in but `sender`, in load order; without `toAll` it stops at the first
  // non-zero reply. The last reply (0 when nobody was called). Handed to the main thread when
  // called on another.
  std::intptr_t SendToPlugins(int32_t sender, int32_t number, bool toAll, std::intptr_t param1,
                              std::intptr_t param2);
  std::intptr_t SendEvent(int32_t number, std::intptr_t param1, std::intptr_t param2, bool toAll);
  // SendEvent to all plug-ins for an event whose replies nobody reads: from another thread it is
  // queued for the main thread without waiting, in order with every other event. `hold` keeps
  // what the parameters point to alive until it was delivered. WaitForPostedTasks
  // (util/message_queue.h) waits until every posted event was delivered.
  void PostEvent(int32_t number, std::intptr_t param1, std::intptr_t param2, std::shared_ptr<const void> hold = {});
  // SendEvent with the number of the name, registering it when it is new.
  std::intptr_t SendNamedEvent(std::string_view name, std::intptr_t param1, std::intptr_t param2,
                               bool toAll);

  // ---- what the engine asks of its plug-ins
  // The window that owns the engine's message boxes (CM_GETACTIVEWINDOW); 0 when none answers.
  WindowHandle ActiveWindow();
  // CM_SHOWSTATUSTEXT (text, 750) and CM_HIDESTATUSTEXT, during longer internal steps.
  void ShowStatusText(std::string_view text);
  void HideStatusText();
  // The abort service: sets the engine's abort flag and sends EV_ABORTINSTALL to all plug-ins.
  void AbortInstall();
  // EV_GETPACKAGE for a package file missing in `folder`: the folder a plug-in names instead
  // (read from the 260-byte buffer), or std::nullopt when none does.
  std::optional<std::string> AskForPackageFolder(std::string_view fileName, std::string_view folder);
  // EV_CALCFUNCTION to the plug-in that registered the function, on the calling thread. The
  // plug-in's result text, freed here; std::nullopt when it answered 0. Raises an EEngineError
  // when the plug-in is no longer loaded.
  std::optional<std::string> CallPluginFunction(TPlugin* owner, int id, std::string_view name,
                                                const std::vector<std::string>& args,
                                                std::intptr_t context);
  // Connects the project's OnFeatureStateChange and OnInstallTypeChange to the events
  // EV_FEATURESTATECHANGED (ID, state) and EV_INSTALLTYPECHANGED (ID), to all plug-ins. The
  // host disconnects them when it goes.
  void ConnectDatabaseEvents();

 private:
  std::intptr_t Dispatch(int32_t sender, int32_t number, bool toAll, std::intptr_t param1,
                         std::intptr_t param2);
  // Everything the host and the dispatcher keep about a plug-in goes with it.
  void Drop(TPlugin& plugin);

  TsxMainDatabase& database_;
  TPluginEngineServices& services_;
  TMsgStore messages_;
  TPluginMemory memory_;
  TPluginList plugins_;
  std::unique_ptr<TCommandDispatcher> commands_;
  bool databaseEventsConnected_ = false;
  TPluginHost* previous_ = nullptr;
};

// The host the plug-ins' entry points reach; nullptr when there is none.
TPluginHost* CurrentPluginHost();

// SendEvent and SendNamedEvent of the current host; 0 when there is none.
std::intptr_t SendEvent(int32_t number, std::intptr_t param1, std::intptr_t param2, bool toAll);
std::intptr_t SendNamedEvent(std::string_view name, std::intptr_t param1, std::intptr_t param2,
                             bool toAll);

// The answers to version conflicts during one run. Before any answer the installed file is kept;
// once a plug-in answers "keep all" (3) or "overwrite all" (4), no further EV_VERSIONCONFLICT is
// sent and that answer stands for the rest of the run.
class TVersionConflicts {
 public:
  explicit TVersionConflicts(TPluginHost& host) : host_(host) {}
  // The decision for this target (SX_CONFLICT_KEEP ... SX_CONFLICT_OVERWRITE_ALL). A reply
  // outside 1 to 4 keeps the previous decision.
  int Ask(std::string_view targetPath);
  // True for the decisions that overwrite the installed file.
  static bool Overwrites(int decision) {
    return decision == SX_CONFLICT_OVERWRITE || decision == SX_CONFLICT_OVERWRITE_ALL;
  }

 private:
  TPluginHost& host_;
  int decision_ = SX_CONFLICT_KEEP;
};

}  // namespace sx
