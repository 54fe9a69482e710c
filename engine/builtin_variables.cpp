#include "engine/builtin_variables.h"

#include "database/sx_main_database.h"
#include "database/sx_system_variables.h"
#include "database/sx_variable_access.h"
#include "engine/engine_state.h"
#include "util/os_version.h"

namespace sx {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

const char* OSVersionName(TOSKind kind) {
  switch (kind) {
    case osWin95: return "95";
    case osWin98: return "98";
    case osWinNT: return "NT4";
    case osWin2000: return "2K";
    case osWinMe: return "ME";
    default: return "XP";
  }
}

// The parameters joined by blanks; one that holds a blank is enclosed in double quotes.
std::string JoinParams(const std::vector<std::string>& params) {
  std::string text;
  for (const auto& p : params) {
    if (!text.empty()) text += ' ';
    text += p.find(' ') == std::string::npos ? p : "\"" + p + "\"";
  }
  return text;
}

}  // namespace

void SetBuiltinVariables(TsxMainDatabase& database, const TEngineState& state) {
  DefineSystemVariables(&database);
  WriteSystemPathVariable(&database, "SourcePath", FolderOf(state.ExeName));
  WriteSystemVariable(&database, "OSPlatform", IsWin9x() ? "9X" : "NT");
  WriteSystemVariable(&database, "OSVersion", OSVersionName(OSVersion().Kind));
  WriteSystemVariable(&database, "QuickLaunch",
                      "%ApplicationData%\\Microsoft\\Internet Explorer\\Quick Launch");
  WriteSystemVariable(&database, "ParamStr", JoinParams(state.Params));
  const int silent = LookupVariable(&database, "SilentMode")
                         ? ReadVariableInt(&database, "SilentMode", 0)
                         : (state.SilentSwitch ? 1 : 0);
  WriteVariableInt(&database, "SilentMode", silent);
  ImportEnvironment(&database);
}

void ApplySilentVariables(TsxMainDatabase& database, const TsxSilentSettings& settings) {
  for (const TsxVariable& variable : *settings.Variables)
    if (IsConditionTrue(variable)) WriteVariable(&database, variable.Name, variable.Value);
}

}  // namespace sx
