#include "plugins/plugin_host.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "plugins/command_dispatcher.h"
#include "util/errors.h"
#include "util/file_find.h"
#include "util/message_queue.h"

namespace sx {

namespace {

std::atomic<TPluginHost*> g_currentHost{nullptr};

constexpr uint32_t kExcludeFoldersAndLabels = host::kAttrDirectory | host::kAttrVolumeLabel;

// The folder part of a path, with its trailing '\' (or ':').
std::string FolderOf(std::string_view path) {
  const size_t end = path.find_last_of("\\:");
  return end == std::string_view::npos ? std::string() : std::string(path.substr(0, end + 1));
}

// Copies the text into a fixed field, cut to leave room for its NUL.
template <size_t N>
void CopyField(char (&field)[N], std::string_view text) {
  const size_t count = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), count);
  field[count] = '\0';
}

std::string Quoted(const char* text) { return text ? "\"" + std::string(text) + "\"" : "nil"; }

// One parameter of a traced call: texts as texts, records as "*", numbers as numbers.
std::string TraceParam(int32_t number, const char* name, int which, std::intptr_t value) {
  const char* text = reinterpret_cast<const char*>(value);
  switch (number) {
    case EV_SETSTARTUPINFO:
    case EV_CALCFUNCTION:
      return which == 1 ? "*" : std::to_string(value);
    case EV_BEFOREPROCESSITEM:
    case EV_AFTERPROCESSITEM:
    case EV_PROCESSITEM:
      return which == 2 ? "*" : std::to_string(value);
    case EV_LANGUAGECHANGED:
    case EV_FEATURESTATECHANGED:
    case EV_INSTALLTYPECHANGED:
    case EV_VERSIONCONFLICT:
      return which == 1 ? Quoted(text) : std::to_string(value);
    case EV_GETPACKAGE:
      return Quoted(text);
    default:
      if (which == 1 && std::strcmp(name, SX_MSG_SHOWSTATUSTEXT) == 0) return Quoted(text);
      return std::to_string(value);
  }
}

}  // namespace

// ---- TPluginList

TPlugin& TPluginList::Add(std::unique_ptr<TPlugin> plugin) {
  items_.push_back(std::move(plugin));
  return *items_.back();
}

void TPluginList::Remove(const TPlugin* plugin) {
  for (auto it = items_.begin(); it != items_.end(); ++it)
    if (it->get() == plugin) {
      items_.erase(it);
      return;
    }
}

bool TPluginList::Contains(const TPlugin* plugin) const {
  for (const auto& item : items_)
    if (item.get() == plugin) return true;
  return false;
}

// ---- identification

TPluginRefusal IdentifyPlugin(std::string_view path, TPlugin& plugin) {
  plugin.Path = std::string(path);
  plugin.Module = host::CurrentHost().LoadLibrary(path);
  if (!plugin.Module) return TPluginRefusal::kCannotLoad;
  plugin.GetPluginInfo =
      reinterpret_cast<SxGetPluginInfoProc>(plugin.Module->Symbol("GetPluginInfo"));
  TPluginRefusal refusal = TPluginRefusal::kNone;
  if (!plugin.GetPluginInfo) {
    refusal = TPluginRefusal::kNoPluginInfo;
  } else {
    std::memset(&plugin.Info, 0, sizeof plugin.Info);
    plugin.Info.InterfaceMark = SX_INTERFACE_MARK;
    plugin.GetPluginInfo(&plugin.Info);
    // The ID is read within its field, whether or not the plug-in ended it.
    plugin.ID.assign(plugin.Info.ID, strnlen(plugin.Info.ID, SX_ID_SIZE - 1));
    plugin.EventHandler = plugin.Info.EventHandler;
    if (plugin.Info.RequiredVersion > SX_ENGINE_VERSION)
      refusal = TPluginRefusal::kNeedsNewerEngine;
    else if (plugin.Info.Reserved != 0)
      refusal = TPluginRefusal::kReservedSet;
    else if (!plugin.EventHandler)
      refusal = TPluginRefusal::kNoEventHandler;
  }
  if (refusal != TPluginRefusal::kNone) {
    plugin.GetPluginInfo = nullptr;
    plugin.EventHandler = nullptr;
    plugin.Module.reset();
  }
  return refusal;
}

std::string RefusalText(TPluginRefusal refusal, const TPlugin& plugin) {
  char version[32];
  switch (refusal) {
    case TPluginRefusal::kNone:
      return "it is accepted";
    case TPluginRefusal::kCannotLoad:
      return "it cannot be loaded as a library";
    case TPluginRefusal::kNoPluginInfo:
      return "it does not export GetPluginInfo";
    case TPluginRefusal::kNeedsNewerEngine:
      std::snprintf(version, sizeof version, "0x%08llX",
                    static_cast<unsigned long long>(plugin.Info.RequiredVersion));
      return std::string("it needs engine version ") + version + " (this engine is 0x00030400)";
    case TPluginRefusal::kReservedSet:
      return "the reserved byte of its PluginInfo is not 0";
    case TPluginRefusal::kNoEventHandler:
      return "its PluginInfo names no event handler";
    case TPluginRefusal::kUnknownID:
      return "its package has no plug-in item with the ID \"" + plugin.ID + "\"";
  }
  return "";
}

// ---- the host

TPluginHost::TPluginHost(TsxMainDatabase& database, TPluginEngineServices& services)
    : database_(database), services_(services),
      commands_(std::make_unique<TCommandDispatcher>(*this)) {
  SetMainThread();
  previous_ = g_currentHost.exchange(this);
}

TPluginHost::~TPluginHost() {
  if (databaseEventsConnected_) {
    database_.OnFeatureStateChange = nullptr;
    database_.OnInstallTypeChange = nullptr;
  }
  // Plug-ins still loaded go without events; their functions must not be called any more.
  while (plugins_.Count() > 0) Drop(plugins_[plugins_.Count() - 1]);
  TPluginHost* self = this;
  g_currentHost.compare_exchange_strong(self, previous_);
}

TPluginHost* CurrentPluginHost() { return g_currentHost.load(); }

TPlugin* TPluginHost::FindPlugin(int32_t pluginNumber) const {
  for (int i = 0; i < plugins_.Count(); ++i)
    if (plugins_[i].PluginNumber == pluginNumber) return &plugins_[i];
  return nullptr;
}

void TPluginHost::Drop(TPlugin& plugin) {
  services_.ReleaseFunctions(plugin);
  commands_->ForgetPlugin(plugin.PluginNumber);
  plugins_.Remove(&plugin);
}

bool TPluginHost::LoadPackagePlugins(TsxPackage& package) {
  if (!package.Plugins) return true;
  const std::string base = package.TempPath + "plugins";
  for (int i = 0; i < package.Plugins->Count(); ++i) {
    TsxPlugin& item = (*package.Plugins)[i];
    bool loaded = false;
    if (!item.DebugDll.empty()) {
      loaded = LoadPlugin(package, item.DebugDll);
    } else {
      const std::string folder = base + "\\" + std::to_string(i) + "\\";
      TSearchRecEx found;
      for (uint32_t rc = FindFirstMatch(folder + "*.dll", 0, kExcludeFoldersAndLabels, found);
           rc == 0 && !loaded; rc = FindNextMatch(found))
        loaded = LoadPlugin(package, folder + found.Name);
      FindCloseMatch(found);
    }
    if (!loaded) {
      ShowMessageBox(ActiveWindow(), "Error", "Cannot load \"" + item.ID + "\" plug-in.",
                     kMbIconError);
      return false;
    }
  }
  return true;
}

bool TPluginHost::LoadPlugin(TsxPackage& package, std::string_view path) {
  auto candidate = std::make_unique<TPlugin>();
  candidate->PluginNumber = plugins_.Count() + 1;
  candidate->Package = &package;
  if (IdentifyPlugin(path, *candidate) != TPluginRefusal::kNone) return false;
  TsxPlugin* item = package.Plugins ? package.Plugins->FindByID(candidate->ID) : nullptr;
  if (!item) return false;  // the DLL is unloaded with the candidate
  candidate->Config = item->Config.get();
  candidate->CustomConfig = item->CustomConfig.get();
  if (!IsConditionTrue(*item)) return true;  // not used

  TPlugin& plugin = plugins_.Add(std::move(candidate));
  if (!item->ConfigFile.empty()) {
    item->ConfigFile = FolderOf(plugin.Path) + item->ConfigFile;
    plugin.ConfigFile = item->ConfigFile;
  }

  SxStartupInfo startup;
  std::memset(&startup, 0, sizeof startup);
  startup.InterfaceMark = SX_INTERFACE_MARK;
  startup.EngineVersion = SX_ENGINE_VERSION;
  startup.PluginNumber = plugin.PluginNumber;
  CopyField(startup.ConfigFile, plugin.ConfigFile);
  startup.RegisterMessage = TCommandDispatcher::RegisterMessageEntry();
  startup.SendCommand = TCommandDispatcher::SendCommandEntry();
  startup.SendCommandByName = TCommandDispatcher::SendCommandByNameEntry();
  CallPlugin(plugin, EV_SETSTARTUPINFO, reinterpret_cast<std::intptr_t>(&startup), 0);

  if (CallPlugin(plugin, EV_LOAD, 0, 0) != 0) {
    Drop(plugin);  // declined: unloaded without EV_UNLOAD
    return true;
  }
  const std::string language = services_.ReadVariable(database_, "LangID", "ENU");
  CallPlugin(plugin, EV_LANGUAGECHANGED, reinterpret_cast<std::intptr_t>(language.c_str()), 0);
  return true;
}

void TPluginHost::UnloadAllPlugins() {
  while (plugins_.Count() > 0) {
    TPlugin& plugin = plugins_[plugins_.Count() - 1];
    CallPlugin(plugin, EV_UNLOAD, 0, 0);
    Drop(plugin);
  }
}

std::intptr_t TPluginHost::CallPlugin(TPlugin& plugin, int32_t number, std::intptr_t param1,
                                      std::intptr_t param2) {
  const char* name = messages_.MessageName(number);
  if (!*name) return 0;
  const std::intptr_t reply = plugin.EventHandler(number, name, param1, param2);
  host::CurrentHost().Trace("plugin", plugin.ID + " " + name + " " +
                                          TraceParam(number, name, 1, param1) + " " +
                                          TraceParam(number, name, 2, param2) + " -> " +
                                          std::to_string(reply));
  return reply;
}

std::intptr_t TPluginHost::Dispatch(int32_t sender, int32_t number, bool toAll,
                                    std::intptr_t param1, std::intptr_t param2) {
  std::intptr_t result = 0;
  // By index: a plug-in may be dropped while a message goes round (one that declines at EV_LOAD).
  for (int i = 0; i < plugins_.Count(); ++i) {
    TPlugin& plugin = plugins_[i];
    if (plugin.PluginNumber == sender) continue;
    result = CallPlugin(plugin, number, param1, param2);
    if (!toAll && result != 0) break;
  }
  return result;
}

std::intptr_t TPluginHost::SendToPlugins(int32_t sender, int32_t number, bool toAll,
                                         std::intptr_t param1, std::intptr_t param2) {
  if (IsMainThread()) return Dispatch(sender, number, toAll, param1, param2);
  std::intptr_t result = 0;
  SendToMainThread([&] { result = Dispatch(sender, number, toAll, param1, param2); });
  return result;
}

std::intptr_t TPluginHost::SendEvent(int32_t number, std::intptr_t param1, std::intptr_t param2,
                                     bool toAll) {
  return SendToPlugins(0, number, toAll, param1, param2);
}

void TPluginHost::PostEvent(int32_t number, std::intptr_t param1, std::intptr_t param2,
                            std::shared_ptr<const void> hold) {
  PostToMainThread([this, number, param1, param2, hold = std::move(hold)] { Dispatch(0, number, true, param1, param2); });
}

std::intptr_t TPluginHost::SendNamedEvent(std::string_view name, std::intptr_t param1,
                                          std::intptr_t param2, bool toAll) {
  return SendEvent(messages_.RegisterMessage(name), param1, param2, toAll);
}

WindowHandle TPluginHost::ActiveWindow() {
  return SendNamedEvent(SX_MSG_GETACTIVEWINDOW, 0, 0, false);
}

void TPluginHost::ShowStatusText(std::string_view text) {
  const std::string copy(text);
  SendNamedEvent(SX_MSG_SHOWSTATUSTEXT, reinterpret_cast<std::intptr_t>(copy.c_str()),
                 SX_STATUS_TEXT_TIME, false);
}

void TPluginHost::HideStatusText() { SendNamedEvent(SX_MSG_HIDESTATUSTEXT, 0, 0, false); }

void TPluginHost::AbortInstall() {
  services_.SetAborted();
  SendEvent(EV_ABORTINSTALL, 0, 0, true);
}

std::optional<std::string> TPluginHost::AskForPackageFolder(std::string_view fileName,
                                                            std::string_view folder) {
  const std::string name(fileName);
  char buffer[SX_PACKAGE_FOLDER_SIZE] = {};
  CopyField(buffer, folder);
  if (SendEvent(EV_GETPACKAGE, reinterpret_cast<std::intptr_t>(name.c_str()),
                reinterpret_cast<std::intptr_t>(buffer), false) == 0)
    return std::nullopt;
  // A plug-in may have filled all 260 bytes without a NUL.
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::optional<std::string> TPluginHost::CallPluginFunction(TPlugin* owner, int id,
                                                           std::string_view name,
                                                           const std::vector<std::string>& args,
                                                           std::intptr_t context) {
  if (!owner || !plugins_.Contains(owner))
    throw EEngineError("The plug-in of the function \"" + std::string(name) +
                       "\" is not loaded.");
  // The record, then the name and the argument block, in one zero-filled piece of memory. The
  // block ends with one more NUL; an empty block is two NULs.
  size_t size = sizeof(SxFunctionCall) + name.size() + 1 + 1;
  for (const std::string& arg : args) size += arg.size() + 1;
  if (args.empty()) ++size;
  std::vector<std::intptr_t> storage((size + sizeof(std::intptr_t) - 1) / sizeof(std::intptr_t));
  char* bytes = reinterpret_cast<char*>(storage.data());
  char* text = bytes + sizeof(SxFunctionCall);
  SxFunctionCall call;
  call.ID = id;
  call.Name = text;
  std::memcpy(text, name.data(), name.size());
  text += name.size() + 1;
  call.Args = text;
  for (const std::string& arg : args) {
    std::memcpy(text, arg.data(), arg.size());
    text += arg.size() + 1;
  }
  call.ArgCount = static_cast<std::intptr_t>(args.size());
  call.Context = context;
  std::memcpy(bytes, &call, sizeof call);

  const std::intptr_t reply =
      CallPlugin(*owner, EV_CALCFUNCTION, reinterpret_cast<std::intptr_t>(bytes), 0);
  if (!reply) return std::nullopt;
  const char* result = reinterpret_cast<const char*>(reply);
  std::string copy;
  if (std::optional<size_t> room = memory_.RoomAt(result)) {
    copy.assign(result, strnlen(result, *room));
    memory_.Free(result);
  } else {
    copy.assign(result);  // not the engine's memory: the plug-in keeps it
  }
  return copy;
}

void TPluginHost::ConnectDatabaseEvents() {
  database_.OnFeatureStateChange = [this](TsxFeature* feature) {
    if (!feature) return;
    const std::intptr_t state =
        !feature->Selected ? SX_FEATURE_OFF : feature->Partial ? SX_FEATURE_PARTIAL : SX_FEATURE_ON;
    SendEvent(EV_FEATURESTATECHANGED, reinterpret_cast<std::intptr_t>(feature->ID.c_str()), state,
              true);
  };
  database_.OnInstallTypeChange = [this](TsxInstallType* type) {
    if (!type) return;
    SendEvent(EV_INSTALLTYPECHANGED, reinterpret_cast<std::intptr_t>(type->ID.c_str()), 0, true);
  };
  databaseEventsConnected_ = true;
}

std::intptr_t SendEvent(int32_t number, std::intptr_t param1, std::intptr_t param2, bool toAll) {
  TPluginHost* host = CurrentPluginHost();
  return host ? host->SendEvent(number, param1, param2, toAll) : 0;
}

std::intptr_t SendNamedEvent(std::string_view name, std::intptr_t param1, std::intptr_t param2,
                             bool toAll) {
  TPluginHost* host = CurrentPluginHost();
  return host ? host->SendNamedEvent(name, param1, param2, toAll) : 0;
}

// ---- version conflicts

int TVersionConflicts::Ask(std::string_view targetPath) {
  if (decision_ == SX_CONFLICT_KEEP_ALL || decision_ == SX_CONFLICT_OVERWRITE_ALL) return decision_;
  const std::string path(targetPath);
  const std::intptr_t reply =
      host_.SendEvent(EV_VERSIONCONFLICT, reinterpret_cast<std::intptr_t>(path.c_str()), 0, false);
  if (reply >= SX_CONFLICT_KEEP && reply <= SX_CONFLICT_OVERWRITE_ALL)
    decision_ = static_cast<int>(reply);
  return decision_;
}

}  // namespace sx
