// The start of the simulated Windows after a reboot.
#include <strings.h>

#include <vector>

#include "host/posix/command_line.h"
#include "host/posix/posix_host.h"
#include "host/posix/simulated_file_states.h"

namespace sx::host {
namespace {

constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::vector<std::string> MultiStrings(const std::string& data) {
  std::vector<std::string> items;
  size_t i = 0;
  while (i < data.size()) {
    size_t end = data.find('\0', i);
    if (end == std::string::npos) end = data.size();
    items.push_back(data.substr(i, end - i));
    i = end + 1;
  }
  // The list ends in an empty string of its own; the empty strings inside are delete markers.
  if (!items.empty() && items.back().empty()) items.pop_back();
  return items;
}

std::string StripDevicePrefix(std::string path) {
  if (path.rfind("\\??\\", 0) == 0) path.erase(0, 4);
  return path;
}

// Deletes a file, or a folder when the path names one.
bool DeleteEntry(Host& host, const std::string& path) {
  auto info = host.GetFileInfo(path);
  if (!info) return false;
  if (info->attributes & kAttrDirectory) return host.RemoveFolder(path);
  host.SetFileAttributes(path, kAttrNormal);
  return host.DeleteFile(path);
}

void PendingRenames(Host& host, const std::function<void(const std::string&)>& report) {
  auto value = host.RegQueryValue(RegRoot::kLocalMachine, kSessionManager, kPendingRenames);
  if (!value) return;
  std::vector<std::string> items = MultiStrings(value->data);
  for (size_t i = 0; i < items.size(); i += 2) {
    std::string source = StripDevicePrefix(items[i]);
    std::string target = i + 1 < items.size() ? items[i + 1] : "";
    bool ok;
    if (target.empty()) {
      ok = DeleteEntry(host, source);
      report("delete " + source + (ok ? "" : " (failed)"));
    } else {
      bool replace = target[0] == '!';
      if (replace) target.erase(0, 1);
      target = StripDevicePrefix(target);
      ok = host.MoveFile(source, target, replace);
      report("move " + source + " -> " + target + (ok ? "" : " (failed)"));
    }
  }
  host.RegDeleteValue(RegRoot::kLocalMachine, kSessionManager, kPendingRenames);
}

void WininitRenames(Host& host, const std::function<void(const std::string&)>& report) {
  const std::string folder = host.Facts().windowsFolder + "\\";
  auto file = host.OpenFile(folder + "wininit.ini", {OpenMode::kRead, false});
  if (!file) return;
  std::string text;
  char buffer[4096];
  while (auto n = file->Read(buffer, sizeof buffer)) {
    if (*n == 0) break;
    text.append(buffer, *n);
  }
  file.reset();
  bool inRename = false;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find_first_of("\r\n", i);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(i, end - i);
    i = end + 1;
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ') line.pop_back();
    while (!line.empty() && static_cast<unsigned char>(line.front()) <= ' ') line.erase(0, 1);
    if (line.empty()) continue;
    if (line[0] == '[') {
      inRename = strcasecmp(line.c_str(), "[Rename]") == 0;
      continue;
    }
    size_t eq = line.find('=');
    if (!inRename || eq == std::string::npos) continue;
    std::string target = line.substr(0, eq), source = line.substr(eq + 1);
    if (strcasecmp(target.c_str(), "NUL") == 0) {
      bool ok = DeleteEntry(host, source);
      report("delete " + source + (ok ? "" : " (failed)"));
    } else {
      DeleteEntry(host, target);  // the list names the target's deletion first; be sure of it
      bool ok = host.MoveFile(source, target, true);
      report("move " + source + " -> " + target + (ok ? "" : " (failed)"));
    }
  }
  // As Windows 9x does: the processed list is kept as wininit.bak.
  host.MoveFile(folder + "wininit.ini", folder + "wininit.bak", true);
}

void RunOnce(Host& host, RegRoot root, const char* rootName,
             const std::function<void(const std::string&)>& report) {
  auto values = host.RegEnumValues(root, kRunOnce);
  if (!values) return;
  for (const auto& v : *values) {
    if (v.value.type != kRegSz && v.value.type != kRegExpandSz) continue;
    std::string command = v.value.data;
    while (!command.empty() && command.back() == '\0') command.pop_back();
    bool deleteAfter = !v.name.empty() && v.name[0] == '!';
    if (!deleteAfter) host.RegDeleteValue(root, kRunOnce, v.name);
    std::vector<std::string> args = SplitWindowsCommandLine(command);
    std::unique_ptr<Process> process;
    if (!args.empty()) process = host.CreateProcess(args[0], command, "", 1);
    if (process) {
      process->Wait(0xFFFFFFFF);
      report(std::string("runonce ") + rootName + " " + v.name + ": " + command + " (exit code " +
             std::to_string(process->ExitCode()) + ")");
    } else {
      report(std::string("runonce ") + rootName + " " + v.name + ": " + command +
             " (could not start, error " + std::to_string(host.LastError()) + ")");
    }
    if (deleteAfter) host.RegDeleteValue(root, kRunOnce, v.name);
  }
}

}  // namespace

void PerformReboot(Host& host, const std::function<void(const std::string&)>& report) {
  // The programs that held files open are gone after the restart.
  if (const std::string folder = host.MachineFolder(); !folder.empty()) ReleaseFilesInUse(folder);
  PendingRenames(host, report);
  WininitRenames(host, report);
  host.RegFlush();
  RunOnce(host, RegRoot::kLocalMachine, "HKLM", report);
  RunOnce(host, RegRoot::kCurrentUser, "HKCU", report);
  host.RegFlush();
}

}  // namespace sx::host
