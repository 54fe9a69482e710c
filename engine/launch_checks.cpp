#include "engine/launch_checks.h"

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "engine/engine_context.h"
#include "host/host.h"
#include "platform/security.h"
#include "plugins/plugin_host.h"
#include "util/message_boxes.h"
#include "util/os_version.h"
#include "util/str_utils.h"

namespace sx {
namespace {

bool Refuse(std::string_view text) {
  TEngineContext& engine = *CurrentEngine();
  const std::string title = MessageTitle();
  ShowMessageBox(engine.MainWindow().Handle(), title.empty() ? "Warning" : title, text,
                 kMbIconWarning);
  return false;
}

std::vector<std::string> Tokens(std::string_view list) {
  std::vector<std::string> tokens;
  std::string token;
  for (char c : list) {
    if (c == ',' || c == ';' || c == ' ' || c == '\t') {
      if (!token.empty()) tokens.push_back(token);
      token.clear();
    } else {
      token += c;
    }
  }
  if (!token.empty()) tokens.push_back(token);
  return tokens;
}

// A part of a version text; the system's own value when it is missing or no number.
uint32_t VersionPart(const std::vector<std::string>& parts, size_t index, uint32_t own) {
  if (index >= parts.size()) return own;
  const std::string text = Trim(parts[index]);
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || text[0] == '-' || text[0] == '+') return own;
  return static_cast<uint32_t>(value);
}

}  // namespace

bool SupportsRunningOS(std::string_view supportedOS) {
  const std::vector<std::string> tokens = Tokens(supportedOS);
  if (tokens.empty()) return true;
  const TOSVersion& os = OSVersion();
  std::vector<std::string> names;
  if (IsWin9x()) {
    names.push_back("9X");
    if (os.Kind == osWin95) names.push_back("95");
    if (os.Kind == osWin98) names.push_back("98");
    if (os.Kind == osWinMe) names.push_back("ME");
  } else {
    names.push_back("NT");
    if (os.Major == 4) names.push_back("NT4");
    if (os.Kind == osWin2000) names.push_back("2K");
    if (os.Kind == osWinXP) names.push_back("XP");
  }
  // Whole tokens: the "NT" inside "NT4" is no "NT".
  for (const auto& token : tokens)
    for (const auto& name : names)
      if (token == name) return true;
  return false;
}

bool MeetsMinimumVersion(std::string_view minOSVersion) {
  if (Trim(minOSVersion).empty()) return true;
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t dot = minOSVersion.find('.', start);
    parts.emplace_back(minOSVersion.substr(start, dot == std::string_view::npos ? dot : dot - start));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  const TOSVersion& os = OSVersion();
  const auto wanted = std::make_tuple(VersionPart(parts, 0, os.Major), VersionPart(parts, 1, os.Minor),
                                      VersionPart(parts, 2, os.Build));
  return std::make_tuple(os.Major, os.Minor, os.Build) >= wanted;
}

bool LaunchChecks(bool anotherSetupRuns) {
  TEngineContext& engine = *CurrentEngine();
  TsxMainDatabase& database = engine.Database();
  TLanguages& languages = engine.Languages();
  if (anotherSetupRuns)
    return Refuse(FormatLanguageText(languages.Text(21), ReadVariable(&database, "AppName", "")));
  const std::string supported =
      host::CurrentHost().UpperCaseLocale(ReadVariable(&database, "SupportedOS", ""));
  if (!SupportsRunningOS(supported)) return Refuse(languages.Text(13));
  const std::string minimum = ReadVariable(&database, "MinOSVersion", "");
  if (!MeetsMinimumVersion(minimum)) return Refuse(FormatLanguageText(languages.Text(14), minimum));
  if (ReadVariableBool(&database, "AdminRights", false) && !IsUserAdmin())
    return Refuse(languages.Text(10));
  for (const TsxLaunchCondition& condition : *database.LaunchConditions) {
    if (IsConditionTrue(condition)) continue;
    const std::string msg = ExpandText(&database, condition.Msg);
    if (!msg.empty()) Refuse(msg);
    return false;
  }
  return SendEvent(EV_CHECKLAUNCHCONDITIONS, 0, 0, false) == 0;
}

}  // namespace sx
