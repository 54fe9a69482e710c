#include "plugins/command_dispatcher.h"

#include <cstring>
#include <vector>

#include "database/sx_actions.h"
#include "platform/ini_cache.h"
#include "plugins/plugin_host.h"
#include "util/case_tables.h"
#include "util/str_utils.h"

namespace sx {

// A reply under the size protocol: a text with its NUL, or a record (a table of pointer-sized
// slots followed by the texts its pointer slots address, in slot order).
class TCommandDispatcher::TReply {
 public:
  static TReply Text(std::string_view text) {
    TReply reply(0);
    reply.texts_.assign(text);
    reply.texts_ += '\0';
    reply.isText_ = true;
    return reply;
  }
  explicit TReply(std::size_t slots) : slots_(slots) {}

  void Number(std::size_t slot, std::intptr_t value) { slots_[slot] = {false, value}; }
  // A pointer to a copy of the text; a nil text leaves the slot 0.
  void Pointer(std::size_t slot, const std::string* text) {
    if (!text) return Number(slot, 0);
    slots_[slot] = {true, static_cast<std::intptr_t>(texts_.size())};
    texts_ += *text;
    texts_ += '\0';
  }

  bool IsText() const { return isText_; }
  std::size_t Size() const { return TableSize() + texts_.size(); }

  // Writes the image into `buffer`, whose address the pointers are made from.
  void WriteTo(char* buffer) const {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      std::intptr_t value = slots_[i].value;
      if (slots_[i].isText) value = reinterpret_cast<std::intptr_t>(buffer + TableSize() + value);
      std::memcpy(buffer + i * sizeof(std::intptr_t), &value, sizeof value);
    }
    std::memcpy(buffer + TableSize(), texts_.data(), texts_.size());
  }

  // What fits into `room` bytes when the image does not: a text cut short with its NUL, a record
  // as zeros (every pointer nil).
  void WriteCut(char* buffer, std::size_t room) const {
    if (room == 0) return;
    if (isText_) {
      std::memcpy(buffer, texts_.data(), room - 1);
      buffer[room - 1] = '\0';
    } else {
      std::memset(buffer, 0, room);
    }
  }

 private:
  struct Slot {
    bool isText = false;
    std::intptr_t value = 0;  // the number, or the offset of the text among the texts
  };
  std::size_t TableSize() const { return slots_.size() * sizeof(std::intptr_t); }

  std::vector<Slot> slots_;
  std::string texts_;
  bool isText_ = false;
};

namespace {

constexpr std::intptr_t kRefused = -1;
constexpr char kNil[] = "\x01nil";  // the request key of a nil ID

const std::string* IdOf(const TsxFeature* feature) { return feature ? &feature->ID : nullptr; }
const std::string* IdOf(const TsxInstallType* type) { return type ? &type->ID : nullptr; }

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

// ---- the entry points: no C++ exception may cross them into a plug-in.

std::intptr_t SX_STDCALL RegisterMessageThunk(int32_t, const char* name) {
  TPluginHost* host = CurrentPluginHost();
  return host && name ? host->Commands().RegisterMessage(name) : 0;
}

std::intptr_t SX_STDCALL SendCommandThunk(int32_t pluginNumber, int32_t number,
                                          std::intptr_t param1, std::intptr_t param2,
                                          int32_t toAll) {
  TPluginHost* host = CurrentPluginHost();
  return host ? host->Commands().SendCommand(pluginNumber, number, param1, param2, toAll != 0) : 0;
}

std::intptr_t SX_STDCALL SendCommandByNameThunk(int32_t pluginNumber, const char* name,
                                                std::intptr_t param1, std::intptr_t param2,
                                                int32_t toAll) {
  TPluginHost* host = CurrentPluginHost();
  if (!host || !name) return 0;
  return host->Commands().SendCommandByName(pluginNumber, name, param1, param2, toAll != 0);
}

}  // namespace

SxRegisterMessageProc TCommandDispatcher::RegisterMessageEntry() { return RegisterMessageThunk; }
SxSendCommandProc TCommandDispatcher::SendCommandEntry() { return SendCommandThunk; }
SxSendCommandByNameProc TCommandDispatcher::SendCommandByNameEntry() {
  return SendCommandByNameThunk;
}

std::intptr_t TCommandDispatcher::RegisterMessage(std::string_view name) noexcept {
  try {
    return host_.Messages().RegisterMessage(name);
  } catch (...) {
    return 0;
  }
}

std::intptr_t TCommandDispatcher::SendCommand(int32_t pluginNumber, int32_t number,
                                              std::intptr_t param1, std::intptr_t param2,
                                              bool toAll) noexcept {
  try {
    return Execute(pluginNumber, number, param1, param2, toAll);
  } catch (...) {
    return 0;
  }
}

std::intptr_t TCommandDispatcher::SendCommandByName(int32_t pluginNumber, std::string_view name,
                                                    std::intptr_t param1, std::intptr_t param2,
                                                    bool toAll) noexcept {
  try {
    return Execute(pluginNumber, host_.Messages().RegisterMessage(name), param1, param2, toAll);
  } catch (...) {
    return 0;
  }
}

void TCommandDispatcher::ForgetPlugin(int32_t pluginNumber) {
  std::lock_guard lock(sizesMutex_);
  for (auto it = answeredSizes_.begin(); it != answeredSizes_.end();)
    it = std::get<0>(it->first) == pluginNumber ? answeredSizes_.erase(it) : std::next(it);
}

std::string TCommandDispatcher::ReadText(std::intptr_t p) const {
  if (!p) return "";
  const char* text = reinterpret_cast<const char*>(p);
  if (std::optional<std::size_t> room = host_.Memory().RoomAt(text))
    return std::string(text, strnlen(text, *room));
  return std::string(text);
}

TXMLObject& TCommandDispatcher::ContextOf(int32_t pluginNumber) const {
  TPlugin* plugin = host_.FindPlugin(pluginNumber);
  if (plugin && plugin->Package) return *plugin->Package;
  return host_.Database();
}

std::intptr_t TCommandDispatcher::Execute(int32_t pluginNumber, int32_t number,
                                          std::intptr_t param1, std::intptr_t param2,
                                          bool toAll) {
  TPluginEngineServices& services = host_.Services();
  TsxMainDatabase& database = host_.Database();
  switch (number) {
    case CM_ABORTINSTALL:
      host_.AbortInstall();
      return 0;
    case CM_SUSPENDINSTALL:
      services.SuspendInstall();
      return 0;
    case CM_RESUMEINSTALL:
      services.ResumeInstall();
      return 0;
    case CM_PARSETEXT: {
      std::string text = ReadText(param1);
      return DeliverText(pluginNumber, number, text, param2,
                         services.ExpandText(ContextOf(pluginNumber), text));
    }
    case CM_GETLANGUAGE:
      return GetLanguage(pluginNumber, param1, param2);
    case CM_SETLANGUAGE:
      if (param1) services.SetLanguage(ReadText(param1));
      return 0;
    case CM_GETVARIABLE: {
      std::string name = ReadText(param1);
      return DeliverText(pluginNumber, number, name, param2,
                         services.ReadVariable(ContextOf(pluginNumber), name, ""));
    }
    case CM_SETVARIABLE:
      services.WriteVariable(ContextOf(pluginNumber), ReadText(param1), ReadText(param2));
      return 0;
    case CM_GETFEATURE:
      return GetFeature(pluginNumber, param1, param2);
    case CM_GETFEATURESTATE:
      return GetFeatureState(param1);
    case CM_SETFEATURESTATE:
      if (!param1) return kRefused;
      return services.SetFeatureState(database, ReadText(param1), param2 == 1) ? 0 : kRefused;
    case CM_GETINSTALLTYPE:
      return GetInstallType(pluginNumber, param1, param2);
    case CM_SETINSTALLTYPE:
      if (!param1) return kRefused;
      return services.SetActiveInstallType(database, ReadText(param1)) ? 0 : kRefused;
    case CM_SETPASSWORD:
      return services.SetPassword(ReadText(param1)) ? 0 : 1;
    case CM_GETPCPARAM: {
      TPlugin* plugin = host_.FindPlugin(pluginNumber);
      return plugin ? GetConfigParam(*plugin, param1, param2) : 0;
    }
    case CM_GETPCGROUPNAMES: {
      TPlugin* plugin = host_.FindPlugin(pluginNumber);
      return plugin ? GetConfigNames(*plugin, nullptr, param1) : 0;
    }
    case CM_GETPCPARAMNAMES: {
      TPlugin* plugin = host_.FindPlugin(pluginNumber);
      if (!plugin) return 0;
      std::string group = ReadText(param1);
      return GetConfigNames(*plugin, &group, param2);
    }
    case CM_GETPCCUSTOMCONFIG: {
      TPlugin* plugin = host_.FindPlugin(pluginNumber);
      if (!plugin || !plugin->CustomConfig) return 0;
      return DeliverText(pluginNumber, number, "", param1, plugin->CustomConfig->GetXML(0));
    }
    case CM_CALCEXPRESSION:
      return reinterpret_cast<std::intptr_t>(
          host_.Memory().AllocateText(services.EvaluateExpression(ReadText(param1), param2)));
    case CM_CALCBOOLEXPRESSION:
      return services.EvaluateCondition(ReadText(param1), param2) ? 1 : 0;
    case CM_REGISTERFUNCTION: {
      TPlugin* plugin = host_.FindPlugin(pluginNumber);
      std::string name = ReadText(param1);
      if (!plugin || name.empty()) return 0;
      return services.RegisterFunction(*plugin, name, static_cast<int32_t>(param2));
    }
    case CM_ALLOCMEM:
      return reinterpret_cast<std::intptr_t>(host_.Memory().Allocate(param1));
    case CM_FREEMEM:
      host_.Memory().Free(reinterpret_cast<const void*>(param1));
      return 0;
    case CM_ADDLOGRECORD:
      services.LogAddRecord(ReadText(param1), ReadText(param2));
      return 0;
    case CM_GETINSTALLICON:
      return services.InstallIcon(param1 != 0);
    case CM_ISPASSWORDVALID:
      return services.IsPasswordValid() ? 0 : 1;
    case CM_CALCACTIONS:
      return reinterpret_cast<std::intptr_t>(
          host_.Memory().AllocateText(TsxActions::RunActionsText(ReadText(param1), param2)));
    default:
      // Any other registered number is a message for the other plug-ins.
      if (!*host_.Messages().MessageName(number) || !host_.FindPlugin(pluginNumber)) return 0;
      return host_.SendToPlugins(pluginNumber, number, toAll, param1, param2);
  }
}

std::intptr_t TCommandDispatcher::GetLanguage(int32_t pluginNumber, std::intptr_t id,
                                              std::intptr_t buffer) {
  const std::vector<std::string> languages = host_.Services().LanguageList();
  std::size_t index = 0;
  const std::string wanted = ReadText(id);
  if (id) {
    while (index < languages.size() && !SameTextFast(NameOf(languages[index]), wanted)) ++index;
  }
  if (index >= languages.size()) return 0;
  const std::string languageId = NameOf(languages[index]);
  const std::string name = ValueOf(languages[index]);
  std::optional<std::string> next;
  if (index + 1 < languages.size()) next = NameOf(languages[index + 1]);
  TReply reply(3);
  reply.Pointer(0, &languageId);
  reply.Pointer(1, &name);
  reply.Pointer(2, next ? &*next : nullptr);
  return Deliver(pluginNumber, CM_GETLANGUAGE, id ? wanted : kNil, buffer, reply);
}

std::intptr_t TCommandDispatcher::GetFeature(int32_t pluginNumber, std::intptr_t id,
                                             std::intptr_t buffer) {
  TsxMainDatabase& database = host_.Database();
  const std::string wanted = ReadText(id);
  TsxFeature* parent = nullptr;
  TsxFeature* next = nullptr;
  TsxFeature* feature = host_.Services().FindFeature(*database.Features, wanted, parent, next);
  if (!feature) return 0;
  const std::string name = host_.Services().ExpandText(database, feature->Name);
  const std::string description = host_.Services().ExpandText(database, feature->Description);
  TReply reply(6);
  reply.Pointer(0, &feature->ID);
  reply.Pointer(1, &name);
  reply.Pointer(2, &description);
  reply.Number(3, feature->Required ? -1 : 0);
  reply.Pointer(4, IdOf(parent));
  reply.Pointer(5, IdOf(next));
  return Deliver(pluginNumber, CM_GETFEATURE, id ? wanted : kNil, buffer, reply);
}

std::intptr_t TCommandDispatcher::GetFeatureState(std::intptr_t id) {
  if (!id) return 0;
  TsxFeature* parent = nullptr;
  TsxFeature* next = nullptr;
  TsxFeature* feature =
      host_.Services().FindFeature(*host_.Database().Features, ReadText(id), parent, next);
  if (!feature || !feature->Selected) return SX_FEATURE_OFF;
  return feature->Partial ? SX_FEATURE_PARTIAL : SX_FEATURE_ON;
}

std::intptr_t TCommandDispatcher::GetInstallType(int32_t pluginNumber, std::intptr_t id,
                                                 std::intptr_t buffer) {
  TsxMainDatabase& database = host_.Database();
  const std::string wanted = ReadText(id);
  TsxInstallType* next = nullptr;
  TsxInstallType* type = host_.Services().FindInstallType(*database.InstallTypes, wanted, next);
  if (!type) return 0;
  const std::string name = host_.Services().ExpandText(database, type->Name);
  const std::string description = host_.Services().ExpandText(database, type->Description);
  TReply reply(5);
  reply.Pointer(0, &type->ID);
  reply.Pointer(1, &name);
  reply.Pointer(2, &description);
  reply.Number(3, type->Custom ? -1 : 0);
  reply.Pointer(4, IdOf(next));
  return Deliver(pluginNumber, CM_GETINSTALLTYPE, id ? wanted : kNil, buffer, reply);
}

std::intptr_t TCommandDispatcher::GetConfigParam(const TPlugin& plugin, std::intptr_t request,
                                                 std::intptr_t buffer) {
  if (!request) return 0;
  const auto* fields = reinterpret_cast<const SxParamRequest*>(request);
  const std::string group = ReadText(reinterpret_cast<std::intptr_t>(fields->Group));
  const std::string name = ReadText(reinterpret_cast<std::intptr_t>(fields->Name));
  const std::string fallback = ReadText(reinterpret_cast<std::intptr_t>(fields->Default));
  std::string value;
  if (!plugin.ConfigFile.empty())
    value = IniReadString(plugin.ConfigFile, group, name, fallback);
  else
    value = plugin.Config ? plugin.Config->GetPluginParam(group, name, fallback) : fallback;
  const std::string key = group + '\x01' + name + '\x01' + fallback;
  return DeliverText(plugin.PluginNumber, CM_GETPCPARAM, key, buffer, value);
}

std::intptr_t TCommandDispatcher::GetConfigNames(const TPlugin& plugin, const std::string* group,
                                                 std::intptr_t buffer) {
  std::vector<std::string> names;
  if (!plugin.ConfigFile.empty()) {
    if (group)
      IniReadKeyNames(plugin.ConfigFile, *group, names);
    else
      IniReadSectionNames(plugin.ConfigFile, names);
  } else if (plugin.Config) {
    if (group)
      plugin.Config->GetParamNames(*group, names);
    else
      plugin.Config->GetParamGroupNames(names);
  }
  const int32_t command = group ? CM_GETPCPARAMNAMES : CM_GETPCGROUPNAMES;
  return DeliverText(plugin.PluginNumber, command, group ? *group : "", buffer, JoinLines(names));
}

std::intptr_t TCommandDispatcher::DeliverText(int32_t pluginNumber, int32_t command,
                                              const std::string& key, std::intptr_t buffer,
                                              const std::string& text) {
  if (text.empty()) return 0;  // nothing to return: 0 for both calls, nothing written
  return Deliver(pluginNumber, command, key, buffer, TReply::Text(text));
}

std::intptr_t TCommandDispatcher::Deliver(int32_t pluginNumber, int32_t command,
                                          const std::string& key, std::intptr_t buffer,
                                          const TReply& reply) {
  const std::size_t needed = reply.Size();
  auto request = std::make_tuple(pluginNumber, command, key);
  if (!buffer) {
    std::lock_guard lock(sizesMutex_);
    answeredSizes_[request] = needed;
    return static_cast<std::intptr_t>(needed);
  }
  char* target = reinterpret_cast<char*>(buffer);
  std::optional<std::size_t> room = host_.Memory().RoomAt(target);
  if (!room) {
    std::lock_guard lock(sizesMutex_);
    if (auto answered = answeredSizes_.find(request); answered != answeredSizes_.end())
      room = answered->second;
  }
  if (room && needed > *room) {
    reply.WriteCut(target, *room);
    return static_cast<std::intptr_t>(needed);
  }
  reply.WriteTo(target);
  return 0;
}

}  // namespace sx
