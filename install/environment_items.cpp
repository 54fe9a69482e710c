#include "install/environment_items.h"

#include <unordered_set>

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "host/host.h"
#include "install/install_actions.h"
#include "install/install_services.h"
#include "util/case_tables.h"
#include "util/environment.h"
#include "util/errors.h"
#include "util/os_version.h"
#include "util/str_utils.h"

namespace sx {
namespace {

constexpr char kSystemEnvironment[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kUserEnvironment[] = "Environment";

host::RegRoot RootOf(bool system) {
  return system ? host::RegRoot::kLocalMachine : host::RegRoot::kCurrentUser;
}
std::string_view KeyOf(bool system) { return system ? kSystemEnvironment : kUserEnvironment; }

// A line of C:\autoexec.bat cannot hold a line break or NUL, nor a name an "=".
bool FitsAutoexec(std::string_view name, std::string_view value) {
  auto breaksLine = [](char c) { return c == '\r' || c == '\n' || c == '\0'; };
  for (char c : name)
    if (breaksLine(c) || c == '=') return false;
  for (char c : value)
    if (breaksLine(c)) return false;
  return true;
}

bool SetVariable(std::string_view name, std::string_view value, bool system) {
  if (IsWin9x()) {
    if (!FitsAutoexec(name, value)) return false;
    try {
      return SetStoredEnvVar(name, value, system);
    } catch (const EEngineError&) {
      return false;  // autoexec.bat could not be written
    }
  }
  return SetStoredEnvVar(name, value, system);
}

}  // namespace

std::string MergePathList(std::string_view /*name*/, std::string_view list) {
  // Short (8.3) forms of PATH items on Windows 9x would need the file system's short names,
  // which the machine does not keep: items stay as written.
  std::string merged;
  std::unordered_set<std::string> seen;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    std::string item = Trim(list.substr(start, end - start));
    if (!item.empty() && seen.insert(LowerCaseFast(item)).second) {
      if (!merged.empty()) merged += ';';
      merged += item;
    }
    start = end + 1;
  }
  return merged;
}

std::string StoredEnvVar(std::string_view name, bool system) {
  if (IsWin9x()) return GetEnvVar(name);
  auto value = host::CurrentHost().RegQueryValue(RootOf(system), KeyOf(system), name);
  if (!value || (value->type != host::kRegSz && value->type != host::kRegExpandSz)) return {};
  return value->data.substr(0, value->data.find('\0'));
}

bool SetStoredEnvVar(std::string_view name, std::string_view value, bool system) {
  if (IsWin9x() || name.empty()) return SetEnvVar(name, value, system);
  auto& host = host::CurrentHost();
  auto stored = host.RegQueryValue(RootOf(system), KeyOf(system), name);
  // Removing a variable that is not there is done already.
  if (value.empty()) return !stored || SetEnvVar(name, value, system);
  if (!stored || stored->type != host::kRegExpandSz) return SetEnvVar(name, value, system);
  return host.RegSetValue(RootOf(system), KeyOf(system), name,
                          {host::kRegExpandSz, std::string(value) + '\0'});
}

bool InstallEnvVars(TXMLObject* container, TsxVariables& variables, bool& anySet) {
  for (TsxVariable& variable : variables) {
    if (variable.VarType != TsxVarType::vtEnvVar || !IsConditionTrue(variable)) continue;
    const std::string name = ExpandText(container, variable.Name);
    std::string value = ExpandText(container, variable.Value);
    const bool addPath = variable.Flags.Contains(TsxFlag::add_path);
    const bool system = variable.Flags.Contains(TsxFlag::sys_envvar);
    // The value the variable keeps on the machine, which rollback restores and PATH extends.
    const std::string oldValue = StoredEnvVar(name, system);
    if (variable.Flags.Contains(TsxFlag::dont_overwrite) && !oldValue.empty()) continue;
    if (addPath) {
      value = MergePathList(name, value);
      if (value.empty()) continue;
    }
    auto& action = InstallActionList().AddActionOf<TInstallEnvVar>();
    action.Name = name;
    action.Value = value;
    action.OldValue = oldValue;
    action.AddPath = addPath;
    action.SysVar = system;
    action.Log = !variable.Flags.Contains(TsxFlag::dont_log);

    std::string newValue = value;
    if (addPath) {
      std::string joined = oldValue;
      if (!joined.empty() && joined.back() != ';') joined += ';';
      newValue = MergePathList(name, joined + value);
    }
    if (!SetVariable(name, newValue, system)) return false;
    anySet = true;
  }
  return true;
}

bool InstallEnvironment() {
  TsxMainDatabase& database = InstallServices().Database();
  bool anySet = false;
  bool ok = InstallEnvVars(&database, *database.Variables, anySet);
  for (TsxPackage& package : *database.Packages) {
    if (!ok) break;
    ok = InstallEnvVars(&package, *package.Variables, anySet);
  }
  if (anySet) {
    if (IsWin9x())
      WriteVariableBool(&database, "Reboot", true);
    else
      host::CurrentHost().BroadcastSettingChange("Environment");
  }
  return ok;
}

}  // namespace sx
