// The wizard's side of the plug-in interface: the engine's entry points from SxStartupInfo and
// the commands the wizard sends, with the size protocol and the records unpacked into strings.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plugins/sxplugin.h"
#include "plugins/wizard/feature_tree.h"

namespace sxwizard {

struct Language {
  std::string id, name;
};

struct InstallType {
  std::string id, name, description;
};

class EngineLink {
 public:
  void Connect(const SxStartupInfo& info);

  std::string Variable(const std::string& name) const;  // "" when unknown
  void SetVariable(const std::string& name, const std::string& value) const;

  std::vector<Language> Languages() const;
  void SetLanguage(const std::string& id) const;
  std::vector<InstallType> InstallTypes() const;
  bool SetInstallType(const std::string& id) const;

  // Every feature whose condition holds, depth-first, with its state.
  FeatureTree Features() const;
  FeatureState StateOf(const std::string& id) const;
  bool SetFeature(const std::string& id, bool selected) const;  // false: refused

  bool NeedsPassword() const;                          // the project asks for one
  bool SetPassword(const std::string& password) const;  // true: accepted

  // The groups "ComponentSizes" and "FeatureComponents" of the wizard's configuration.
  SizeFacts Sizes() const;

 private:
  intptr_t Send(int32_t command, intptr_t p1 = 0, intptr_t p2 = 0) const;
  // A command under the size protocol (Param1, then the buffer as Param2); empty for nothing.
  std::vector<char> Fetch(int32_t command, intptr_t p1) const;
  std::map<std::string, std::string> Group(const std::string& group) const;

  int32_t number_ = 0;
  SxSendCommandProc send_ = nullptr;
};

}  // namespace sxwizard
