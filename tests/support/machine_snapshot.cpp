#include "tests/support/machine_snapshot.h"

#include <cstdio>

#include "util/case_tables.h"

namespace sx::test {
namespace {

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

bool IsExcluded(const std::string& path, const std::vector<std::string>& excluded) {
  for (const auto& prefix : excluded)
    if (path.size() >= prefix.size() && SameTextFast(path.substr(0, prefix.size()), prefix)) return true;
  return false;
}

std::string FileBytes(host::Host& host, const std::string& path) {
  auto file = host.OpenFile(path, {host::OpenMode::kRead, false});
  if (!file) return "<unreadable>";
  std::string data;
  char buffer[65536];
  for (;;) {
    auto n = file->Read(buffer, sizeof buffer);
    if (!n || *n == 0) break;
    data.append(buffer, *n);
  }
  return data;
}

void WalkFolder(host::Host& host, const std::string& folder, const std::vector<std::string>& excluded,
                MachineSnapshot& snapshot) {
  auto entries = host.FindFiles(folder + "*");
  if (!entries) return;
  for (const auto& entry : *entries) {
    if (entry.name == "." || entry.name == "..") continue;
    std::string path = folder + entry.name;
    if (IsExcluded(path, excluded)) continue;
    // The attributes of a folder say little (the simulation derives them); its presence counts.
    if (entry.info.attributes & host::kAttrDirectory) {
      snapshot.entries["folder " + path] = "";
      if (!(entry.info.attributes & host::kAttrReparsePoint)) WalkFolder(host, path + "\\", excluded, snapshot);
      continue;
    }
    char facts[96];
    std::snprintf(facts, sizeof facts, "attributes %02X, written %llu, bytes ",
                  entry.info.attributes & 0xFF & ~host::kAttrDirectory,
                  static_cast<unsigned long long>(entry.info.lastWriteTime.ticks));
    snapshot.entries["file " + path] = facts + Hex(FileBytes(host, path));
  }
}

void WalkKey(host::Host& host, host::RegRoot root, const std::string& rootName, const std::string& subKey,
             MachineSnapshot& snapshot) {
  std::string name = subKey.empty() ? rootName : rootName + "\\" + subKey;
  snapshot.entries["key " + LowerCaseFast(name)] = "";
  if (auto values = host.RegEnumValues(root, subKey)) {
    for (const auto& value : *values)
      snapshot.entries["value " + LowerCaseFast(name) + "\\\\" + LowerCaseFast(value.name)] =
          "type " + std::to_string(value.value.type) + ", data " + Hex(value.value.data);
  }
  if (auto keys = host.RegEnumKeys(root, subKey))
    for (const auto& key : *keys) WalkKey(host, root, rootName, subKey.empty() ? key : subKey + "\\" + key, snapshot);
}

}  // namespace

MachineSnapshot TakeSnapshot(const std::vector<std::string>& folders, const std::vector<std::string>& excluded) {
  auto& host = host::CurrentHost();
  MachineSnapshot snapshot;
  for (std::string folder : folders) {
    if (folder.back() != '\\') folder += '\\';
    WalkFolder(host, folder, excluded, snapshot);
  }
  WalkKey(host, host::RegRoot::kLocalMachine, "HKLM", "", snapshot);
  WalkKey(host, host::RegRoot::kCurrentUser, "HKCU", "", snapshot);
  WalkKey(host, host::RegRoot::kUsers, "HKU", "", snapshot);
  return snapshot;
}

std::string SnapshotDifference(const MachineSnapshot& before, const MachineSnapshot& after) {
  std::string difference;
  for (const auto& [name, what] : before.entries) {
    auto found = after.entries.find(name);
    if (found == after.entries.end())
      difference += "missing: " + name + "\n";
    else if (found->second != what)
      difference += "changed: " + name + " (" + what.substr(0, 120) + " -> " + found->second.substr(0, 120) + ")\n";
  }
  for (const auto& [name, what] : after.entries)
    if (!before.entries.count(name)) difference += "added: " + name + "\n";
  return difference;
}

}  // namespace sx::test
