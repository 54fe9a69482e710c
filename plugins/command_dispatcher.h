// The command dispatcher: what plug-ins reach through the entry points of their SxStartupInfo
// (RegisterMessage, SendCommand, SendCommandByName).
//
// It carries out the commands CM_ABORTINSTALL (256) to CM_CALCACTIONS (282) on the engine's
// project database, evaluator, language list and plug-in list, and forwards every other
// registered number to the other plug-ins (a message bus between plug-ins). Several commands act
// in the context of the calling plug-in: variables and expansion use its package, the
// configuration commands its configuration.
//
// Size protocol: a command that returns a text or a record, called with a nil buffer, returns the
// bytes needed (text and NUL, or the whole record); called with a buffer, it fills it and returns
// 0; with nothing to return (an empty text, an unknown item) it returns 0 and writes nothing.
// The dispatcher never writes more than the plug-in has room for: into a block of CM_ALLOCMEM it
// writes at most the block's size, and into any other buffer at most the size it last answered
// this plug-in for the same request. When the answer has grown beyond that room since, it
// writes what fits (a text cut short with its NUL, a record as zeros) and returns the size now
// needed, so that the plug-in can ask again.
//
// Nothing raised while a command runs leaves the entry point: an error becomes the reply 0.
// Texts the plug-in passes may be nil, which reads as an empty text (or, for a feature, an
// install type or a language to switch to, as none: nothing changes).
//
// Threads: commands run on the calling plug-in's thread; only forwarded messages are handed to
// the main thread (TPluginHost::SendToPlugins).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "plugins/sxplugin.h"

namespace sx {

class TPluginHost;
class TXMLObject;
struct TPlugin;

class TCommandDispatcher {
 public:
  explicit TCommandDispatcher(TPluginHost& host) : host_(host) {}

  // Carries out command `number` for the plug-in `pluginNumber`; the command's result, 0 when
  // it failed.
  std::intptr_t SendCommand(int32_t pluginNumber, int32_t number, std::intptr_t param1,
                            std::intptr_t param2, bool toAll) noexcept;
  std::intptr_t SendCommandByName(int32_t pluginNumber, std::string_view name,
                                  std::intptr_t param1, std::intptr_t param2, bool toAll) noexcept;
  std::intptr_t RegisterMessage(std::string_view name) noexcept;

  // The entry points handed to plug-ins; they reach the current plug-in host.
  static SxRegisterMessageProc RegisterMessageEntry();
  static SxSendCommandProc SendCommandEntry();
  static SxSendCommandByNameProc SendCommandByNameEntry();

  // Forgets the sizes answered to a plug-in number (its plug-in is gone; the number is given
  // again to the next plug-in loaded).
  void ForgetPlugin(int32_t pluginNumber);

 private:
  class TReply;

  std::intptr_t Execute(int32_t pluginNumber, int32_t number, std::intptr_t param1,
                        std::intptr_t param2, bool toAll);
  // The text at `p` ("" for nil), read within its block when it is a block of CM_ALLOCMEM.
  std::string ReadText(std::intptr_t p) const;
  // The variables container of the calling plug-in: its package, else the project.
  TXMLObject& ContextOf(int32_t pluginNumber) const;

  std::intptr_t GetLanguage(int32_t pluginNumber, std::intptr_t id, std::intptr_t buffer);
  std::intptr_t GetFeature(int32_t pluginNumber, std::intptr_t id, std::intptr_t buffer);
  std::intptr_t GetFeatureState(std::intptr_t id);
  std::intptr_t GetInstallType(int32_t pluginNumber, std::intptr_t id, std::intptr_t buffer);
  std::intptr_t GetConfigParam(const TPlugin& plugin, std::intptr_t request, std::intptr_t buffer);
  std::intptr_t GetConfigNames(const TPlugin& plugin, const std::string* group,
                               std::intptr_t buffer);

  // The size protocol for a reply image: `key` tells requests apart.
  std::intptr_t Deliver(int32_t pluginNumber, int32_t command, const std::string& key,
                        std::intptr_t buffer, const TReply& reply);
  std::intptr_t DeliverText(int32_t pluginNumber, int32_t command, const std::string& key,
                            std::intptr_t buffer, const std::string& text);

  TPluginHost& host_;
  std::mutex sizesMutex_;
  // The size last answered per plug-in, command and request.
  std::map<std::tuple<int32_t, int32_t, std::string>, std::size_t> answeredSizes_;
};

}  // namespace sx
