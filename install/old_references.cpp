#include "install/old_references.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "database/sx_enums.h"
#include "install/file_steps.h"
#include "install/install_actions.h"
#include "install/reg_capture.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "util/case_tables.h"

namespace sx {
namespace {

constexpr std::string_view kUninstallKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The section's keys sorted ignoring case.
std::vector<std::string> SortedKeys(const std::string& logPath, std::string_view section) {
  std::vector<std::string> keys;
  IniReadKeyNames(logPath, section, keys);
  std::sort(keys.begin(), keys.end(),
            [](const std::string& a, const std::string& b) { return LowerCaseFast(a) < LowerCaseFast(b); });
  return keys;
}

bool EndsWithText(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && LowerCaseFast(text.substr(text.size() - end.size())) == end;
}

// "X:\..." or "\\server\share\...": never a path relative to wherever the engine happens to be.
bool IsFullPath(std::string_view path) {
  const bool drive = path.size() > 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     path[2] == '\\';
  const bool unc = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  return drive || unc;
}

std::string WithExtension(const std::string& path, std::string_view extension) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('\\');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + std::string(extension);
}

// The link is deleted through a recorded file action (not logged), so a rollback restores it.
void RemoveLink(const std::string& path) {
  if (FileExistsAt(path)) InstallActionList().AddFileAction(path, TsxFlags{TsxFlag::dont_log}, true, TFileChange::kRemove);
}

// HKLM or HKCU, exactly one name below the list of installed programs, and its uninstaller is
// started with this log: that entry is this product's own from before.
bool IsOwnUninstallEntry(const std::string& key, const std::string& logPath) {
  const std::string lower = LowerCaseFast(key);
  const std::string prefixTail = LowerCaseFast(kUninstallKey);
  if (lower.size() <= 4 + prefixTail.size()) return false;
  const std::string root = lower.substr(0, 4);
  if ((root != "hklm" && root != "hkcu") || lower.compare(4, prefixTail.size(), prefixTail) != 0) return false;
  if (key.find('\\', 4 + prefixTail.size()) != std::string::npos) return false;
  const std::string command = LowerCaseFast(RegReadString(key, "UninstallString", ""));
  return command.find("\"" + LowerCaseFast(logPath) + "\"") != std::string::npos;
}

// Records every value of the key and its sub-keys (Log false), so that a rollback writes them
// back after the key was deleted.
void RecordKeyTree(const std::string& key) {
  const RegPath path = RegSplitPath(key);
  if (auto values = host::CurrentHost().RegEnumValues(path.root, path.subKey))
    for (const auto& value : *values) {
      auto& action = InstallActionList().AddActionOf<TInstallReg>();
      action.Log = false;
      CaptureRegValue(action, key, value.name);
    }
  std::vector<std::string> subKeys;
  RegEnumKeys(key, subKeys);
  for (const std::string& subKey : subKeys) RecordKeyTree(key + "\\" + subKey);
}

}  // namespace

void RemoveOldReferencesFromLog(const std::string& logPath) {
  for (const std::string& link : SortedKeys(logPath, "Shortcuts")) {
    if (!IsFullPath(link) || !(EndsWithText(link, ".lnk") || EndsWithText(link, ".pif"))) continue;
    RemoveLink(link);
    RemoveLink(WithExtension(link, ".pif"));
  }
  const std::vector<std::string> folders = SortedKeys(logPath, "CreateDirs");
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
    if (IsFullPath(*folder)) host::CurrentHost().RemoveFolder(*folder);  // only when empty
  const std::vector<std::string> keys = SortedKeys(logPath, "CreateKeys");
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
    if (!IsOwnUninstallEntry(*key, logPath)) continue;
    RecordKeyTree(*key);
    RegDeleteKeyPath(*key, true);
  }
}

}  // namespace sx
