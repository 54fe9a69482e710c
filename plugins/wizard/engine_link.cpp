#include "plugins/wizard/engine_link.h"

namespace sxwizard {
namespace {

std::string Text(const char* text) { return text ? text : ""; }

std::vector<std::string> Lines(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find("\r\n", start);
    if (end == std::string::npos) end = list.size();
    if (end > start) names.push_back(list.substr(start, end - start));
    start = end + 2;
  }
  return names;
}

}  // namespace

void EngineLink::Connect(const SxStartupInfo& info) {
  number_ = static_cast<int32_t>(info.PluginNumber);
  send_ = info.SendCommand;
}

intptr_t EngineLink::Send(int32_t command, intptr_t p1, intptr_t p2) const {
  return send_ ? send_(number_, command, p1, p2, 0) : 0;
}

std::vector<char> EngineLink::Fetch(int32_t command, intptr_t p1) const {
  const intptr_t size = Send(command, p1, 0);
  if (size <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');  // one more NUL as a guard
  const intptr_t buf = reinterpret_cast<intptr_t>(buffer.data());
  if (Send(command, p1, buf) != 0) return {};
  return buffer;
}

std::string EngineLink::Variable(const std::string& name) const {
  const auto buffer = Fetch(CM_GETVARIABLE, reinterpret_cast<intptr_t>(name.c_str()));
  return buffer.empty() ? std::string() : std::string(buffer.data());
}

void EngineLink::SetVariable(const std::string& name, const std::string& value) const {
  Send(CM_SETVARIABLE, reinterpret_cast<intptr_t>(name.c_str()), reinterpret_cast<intptr_t>(value.c_str()));
}

std::vector<Language> EngineLink::Languages() const {
  std::vector<Language> languages;
  std::string next;
  bool first = true;
  // The engine's list is finite; the bound guards against a list that names itself as next.
  for (int guard = 0; guard < 1000 && (first || !next.empty()); ++guard) {
    const auto buffer = Fetch(CM_GETLANGUAGE, first ? 0 : reinterpret_cast<intptr_t>(next.c_str()));
    first = false;
    if (buffer.size() < sizeof(SxLanguageRecord)) break;
    const auto* record = reinterpret_cast<const SxLanguageRecord*>(buffer.data());
    languages.push_back({Text(record->ID), Text(record->Name)});
    next = Text(record->NextID);
  }
  return languages;
}

void EngineLink::SetLanguage(const std::string& id) const {
  Send(CM_SETLANGUAGE, reinterpret_cast<intptr_t>(id.c_str()));
}

std::vector<InstallType> EngineLink::InstallTypes() const {
  std::vector<InstallType> types;
  std::string next;
  bool first = true;
  for (int guard = 0; guard < 1000 && (first || !next.empty()); ++guard) {
    const auto buffer = Fetch(CM_GETINSTALLTYPE, first ? 0 : reinterpret_cast<intptr_t>(next.c_str()));
    first = false;
    if (buffer.size() < sizeof(SxInstallTypeRecord)) break;
    const auto* record = reinterpret_cast<const SxInstallTypeRecord*>(buffer.data());
    types.push_back({Text(record->ID), Text(record->Name), Text(record->Description)});
    next = Text(record->NextID);
  }
  return types;
}

bool EngineLink::SetInstallType(const std::string& id) const {
  return Send(CM_SETINSTALLTYPE, reinterpret_cast<intptr_t>(id.c_str())) == 0;
}

FeatureTree EngineLink::Features() const {
  FeatureTree tree;
  std::string next;
  bool first = true;
  for (int guard = 0; guard < 100000 && (first || !next.empty()); ++guard) {
    const auto buffer = Fetch(CM_GETFEATURE, first ? 0 : reinterpret_cast<intptr_t>(next.c_str()));
    first = false;
    if (buffer.size() < sizeof(SxFeatureRecord)) break;
    const auto* record = reinterpret_cast<const SxFeatureRecord*>(buffer.data());
    FeatureRow row;
    row.id = Text(record->ID);
    row.name = Text(record->Name);
    row.description = Text(record->Description);
    row.parentId = Text(record->ParentID);
    row.required = record->Required != 0;
    row.state = StateOf(row.id);
    tree.Add(std::move(row));
    next = Text(record->NextID);
  }
  return tree;
}

FeatureState EngineLink::StateOf(const std::string& id) const {
  const intptr_t state = Send(CM_GETFEATURESTATE, reinterpret_cast<intptr_t>(id.c_str()));
  return state == 1 ? FeatureState::kOn : state == 2 ? FeatureState::kPartial : FeatureState::kOff;
}

bool EngineLink::SetFeature(const std::string& id, bool selected) const {
  return Send(CM_SETFEATURESTATE, reinterpret_cast<intptr_t>(id.c_str()), selected ? 1 : 0) == 0;
}

bool EngineLink::NeedsPassword() const { return !Variable("PswCheckHash").empty(); }

bool EngineLink::SetPassword(const std::string& password) const {
  return Send(CM_SETPASSWORD, reinterpret_cast<intptr_t>(password.c_str())) == 0;
}

std::map<std::string, std::string> EngineLink::Group(const std::string& group) const {
  std::map<std::string, std::string> values;
  const auto names = Fetch(CM_GETPCPARAMNAMES, reinterpret_cast<intptr_t>(group.c_str()));
  if (names.empty()) return values;
  for (const std::string& name : Lines(names.data())) {
    const std::string none;
    SxParamRequest request{group.c_str(), name.c_str(), none.c_str()};
    const auto value = Fetch(CM_GETPCPARAM, reinterpret_cast<intptr_t>(&request));
    values[name] = value.empty() ? std::string() : std::string(value.data());
  }
  return values;
}

SizeFacts EngineLink::Sizes() const { return ParseSizeFacts(Group("ComponentSizes"), Group("FeatureComponents")); }

}  // namespace sxwizard
