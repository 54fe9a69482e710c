#include "uninstall/uninstall_steps.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>

#include "host/host.h"
#include "platform/file_utils.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "util/environment.h"
#include "util/errors.h"
#include "util/os_version.h"
#include "util/run_program.h"
#include "util/str_utils.h"

namespace sx {
namespace {

constexpr char kSystemEnvironment[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

bool SamePath(std::string_view a, std::string_view b) {
  return host::CurrentHost().CompareLocale(a, b, true) == 0;
}

bool Exists(std::string_view path) { return host::CurrentHost().GetFileInfo(path).has_value(); }

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The path list without the parts that were added (the last occurrence of each: additions are
// appended), or std::nullopt when none of them is there any more.
std::optional<std::string> WithoutAddedParts(std::string_view value, std::string_view added) {
  std::vector<std::string> parts = SplitList(value);
  bool changed = false;
  for (const std::string& part : SplitList(added)) {
    if (Trim(part).empty()) continue;
    auto found = std::find_if(parts.rbegin(), parts.rend(),
                              [&](const std::string& p) { return SamePath(Trim(p), Trim(part)); });
    if (found == parts.rend()) continue;
    parts.erase(std::next(found).base());
    changed = true;
  }
  if (!changed) return std::nullopt;
  std::string joined;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined += ';';
    joined += part;
  }
  return joined;
}

// "SET name=value" of C:\autoexec.bat (Windows 9x keeps its environment there).
std::optional<std::string> AutoexecVar(std::string_view name) {
  std::string text = ReadWholeFile("c:\\autoexec.bat");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.size() < 4 || !SamePath(line.substr(0, 4), "SET ")) continue;
    std::string rest = Trim(std::string_view(line).substr(4));
    size_t equals = rest.find('=');
    if (equals != std::string::npos && SamePath(Trim(rest.substr(0, equals)), name)) return rest.substr(equals + 1);
  }
  return std::nullopt;
}

// The persistent value of an environment variable ("" when it has none).
std::string MachineEnvVar(std::string_view name, bool system) {
  if (IsWin9x()) return AutoexecVar(name).value_or("");
  auto value = host::CurrentHost().RegQueryValue(system ? host::RegRoot::kLocalMachine : host::RegRoot::kCurrentUser,
                                                 system ? kSystemEnvironment : "Environment", name);
  return value ? value->data.substr(0, value->data.find('\0')) : std::string();
}

void UndoPathAddition(const TUninstallEnvVar& var, TUninstallReport& report) {
  auto& host = host::CurrentHost();
  if (IsWin9x()) {
    auto value = AutoexecVar(var.name);
    auto reduced = value ? WithoutAddedParts(*value, var.added) : std::nullopt;
    if (reduced && !SetEnvVar(var.name, *reduced, var.system))
      report.Note("the environment variable " + var.name + " keeps " + var.added);
    return;
  }
  host::RegRoot root = var.system ? host::RegRoot::kLocalMachine : host::RegRoot::kCurrentUser;
  std::string_view key = var.system ? kSystemEnvironment : "Environment";
  auto value = host.RegQueryValue(root, key, var.name);
  if (!value || (value->type != host::kRegSz && value->type != host::kRegExpandSz)) return;
  std::string text = value->data.substr(0, value->data.find('\0'));
  auto reduced = WithoutAddedParts(text, var.added);
  if (!reduced) return;
  // The value keeps its type: a REG_EXPAND_SZ path stays expandable.
  bool done = reduced->empty() ? host.RegDeleteValue(root, key, var.name)
                               : host.RegSetValue(root, key, var.name, {value->type, *reduced + '\0'});
  if (!done) report.Note("the environment variable " + var.name + " keeps " + var.added);
}

int ShowCommandOf(int windowCode) {
  switch (windowCode) {
    case 0: return 0;  // hidden
    case 2: return 3;  // maximised
    case 3: return 7;  // minimised, not activated
    default: return 1;
  }
}

std::string FontsKey() {
  return IsWin9x() ? "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts\\"
                   : "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\";
}

std::string FileNameOf(std::string_view path) {
  size_t slash = path.find_last_of('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool HasExtension(std::string_view path, std::string_view extension) {
  return path.size() >= extension.size() && SamePath(path.substr(path.size() - extension.size()), extension);
}

// Calls the server's DllUnregisterServer, or runs a program server with " /UNREGSERVER" (as at
// registration, nobody waits for it). Whether that worked; std::nullopt when the file has
// neither.
std::optional<bool> UnregisterImage(const std::string& server) {
  auto& host = host::CurrentHost();
  if (auto library = host.LoadLibrary(server)) {
    if (library->Symbol("DllRegisterServer")) {
      using Entry = int32_t (*)();
      auto unregister = reinterpret_cast<Entry>(library->Symbol("DllUnregisterServer"));
      return unregister && unregister() >= 0;
    }
  }
  if (HasExtension(server, ".exe")) return host.CreateProcess(server, "\"" + server + "\" /UNREGSERVER", "", 0) != nullptr;
  return std::nullopt;
}

// Paths sorted ignoring case, last first: a folder or key comes after everything below it.
std::vector<std::string> DeepestFirst(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return PathId(a) > PathId(b); });
  return paths;
}

}  // namespace

std::string PathId(std::string_view path) {
  std::string id = host::CurrentHost().UpperCaseLocale(path);
  while (id.size() > 3 && id.back() == '\\') id.pop_back();
  return id;
}

bool RunUninstallPrograms(const std::vector<TUninstallProgram>& programs, TUninstallReport& report) {
  auto& host = host::CurrentHost();
  for (const TUninstallProgram& program : programs) {
    const std::string file = Unquote(Trim(program.cmdLine), '"');
    const std::string folder = Unquote(Trim(program.workDir), '"');
    const int show = ShowCommandOf(program.windowCode);
    // A program of the product that a stopped earlier run removed with the other files cannot
    // run any more; failing on it would make the uninstallation impossible to finish.
    if (IsFullWindowsPath(file) && !Exists(file)) continue;
    if (!program.wait) {
      if (!host.ShellExecute(file, program.args, folder, show)) report.Note("\"" + file + "\" could not be started");
      continue;
    }
    int code = RunAndWait(0, file, program.args, show, folder);
    if (program.checkExitCode && code != 0) {
      report.Note("\"" + file + "\" ended with the code " + std::to_string(code));
      return false;
    }
  }
  return true;
}

void UndoEnvironment(const std::vector<TUninstallEnvVar>& vars, TUninstallReport& report) {
  for (auto var = vars.rbegin(); var != vars.rend(); ++var) {
    try {
      if (!var->added.empty())
        UndoPathAddition(*var, report);
      else if (!SetEnvVar(var->name, "", var->system) && !MachineEnvVar(var->name, var->system).empty())
        report.Note("the environment variable " + var->name + " stays");
    } catch (const EEngineError& e) {  // autoexec.bat could not be rewritten
      report.Note("the environment variable " + var->name + " stays: " + e.what());
    }
  }
}

void DeleteShortcuts(const std::vector<std::string>& links, TUninstallReport& report) {
  for (auto link = links.rbegin(); link != links.rend(); ++link) RemoveFile(*link, report);
}

void UnregisterFonts(const std::vector<TUninstallFont>& fonts, TUninstallReport& report) {
  auto& host = host::CurrentHost();
  const std::string key = FontsKey();
  bool removed = false;
  for (auto font = fonts.rbegin(); font != fonts.rend(); ++font) {
    // The registration names the file alone when it lies in the fonts folder, else the full path;
    // a registration that names another file belongs to someone else.
    std::string registered = RegReadString(key, font->name, "");
    if (!SamePath(registered, font->file) && !SamePath(registered, FileNameOf(font->file))) continue;
    // A registration that stays would name a file that is gone: the next run must try again.
    if (!RegDeleteValue(key, font->name)) {
      report.Note("the font registration \"" + font->name + "\" stays");
      continue;
    }
    // The font may not be loaded in this session; then there is nothing to release.
    host.RemoveFontResource(font->file);
    removed = true;
  }
  if (removed) host.BroadcastFontChange();
}

void DeleteIniEntries(const std::vector<TUninstallIniEntry>& entries, const std::vector<std::string>& installedFiles,
                      TUninstallReport& report) {
  std::vector<std::string> files;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (IniReadString(entry->file, entry->section, entry->key, "\x01") == "\x01") continue;
    IniDeleteKey(entry->file, entry->section, entry->key);
    // A file that cannot be opened for writing keeps the key.
    if (IniReadString(entry->file, entry->section, entry->key, "\x01") != "\x01") {
      report.Note("the INI entry [" + entry->section + "] " + entry->key + " of " + entry->file + " stays");
      continue;
    }
    std::vector<std::string> keys;
    IniReadKeyNames(entry->file, entry->section, keys);
    if (keys.empty()) IniWriteString(entry->file, entry->section, "", "");  // erases the section
    if (std::none_of(files.begin(), files.end(), [&](const std::string& f) { return SamePath(f, entry->file); }))
      files.push_back(entry->file);
  }
  for (const std::string& file : files) {
    std::vector<std::string> sections;
    IniReadSectionNames(file, sections);
    if (!IniCloseFile(file)) {
      report.Note("the INI file " + file + " could not be written");
      continue;
    }
    // A file left without sections goes when the installation brought it; a file the machine had
    // before (win.ini, say) stays, however empty.
    const std::string path = TqvIniFile::ExpandFileName(file);
    const bool installed = std::any_of(installedFiles.begin(), installedFiles.end(),
                                       [&](const std::string& f) { return SamePath(f, path); });
    if (sections.empty() && installed && Exists(path)) DeleteFileForced(path);
  }
}

void DeleteRegistryValues(const std::vector<std::string>& values, TUninstallReport& report) {
  for (auto value = values.rbegin(); value != values.rend(); ++value) {
    for (const auto& [key, name] : RegValueSplits(*value)) {
      if (!RegValueExists(key, name)) continue;
      if (!RegDeleteValue(key, name)) report.Note("the registry value \"" + name + "\" of " + key + " stays");
      break;
    }
  }
}

void UnregisterServers(const std::vector<std::string>& servers, TUninstallReport& report) {
  auto& host = host::CurrentHost();
  for (auto server = servers.rbegin(); server != servers.rend(); ++server) {
    if (!Exists(*server)) continue;
    const std::optional<bool> image = UnregisterImage(*server);
    // The entry may already have removed the type library; a separate type library (a ".tlb")
    // is taken back by this alone.
    const bool typeLibrary = [&] {
      auto library = host.LoadTypeLib(host.FullPath(*server));
      return library && host.UnRegisterTypeLib(*library);
    }();
    if (image ? !*image : !typeLibrary) report.Note(*server + " could not be unregistered");
  }
}

void RemoveAssemblies(const std::vector<std::string>& assemblies, const std::vector<std::string>& files,
                      TUninstallReport& report) {
  if (assemblies.empty()) return;
  auto tool = std::find_if(files.begin(), files.end(), [](const std::string& f) {
    return SamePath(FileNameOf(f), "gacutil.exe") && Exists(f);
  });
  for (auto assembly = assemblies.rbegin(); assembly != assemblies.rend(); ++assembly) {
    int code = tool == files.end() ? -1 : RunAndWait(0, *tool, "/ur " + *assembly, 0, "");
    if (code != 0) report.Note("the assembly reference " + *assembly + " stays");
  }
}

std::set<std::string> ReleaseSharedFiles(const TUninstallLog& log, TUninstallReport& report) {
  struct Release {
    std::string path;
    int32_t count;  // the value it gets; 0 deletes it
  };
  std::set<std::string> kept;
  std::vector<Release> releases;
  std::vector<std::pair<std::string, int32_t>> toRecord;
  for (const std::string& path : log.sharedFiles) {
    const int32_t count = RegReadInteger(kSharedDllsKey, path, -1);
    auto recorded = std::find_if(log.sharedReleased.begin(), log.sharedReleased.end(),
                                 [&](const auto& r) { return SamePath(r.first, path); });
    // An earlier run released this count already when it holds the recorded value.
    if (recorded != log.sharedReleased.end() && (count == recorded->second || (count < 0 && recorded->second == 0))) {
      if (recorded->second > 0) kept.insert(PathId(path));
      continue;
    }
    if (count < 0) {
      // Without a count nobody can tell who else uses the file: it stays.
      kept.insert(PathId(path));
      continue;
    }
    releases.push_back({path, count - 1});
    if (recorded == log.sharedReleased.end() || recorded->second != count - 1) toRecord.emplace_back(path, count - 1);
  }
  // The log learns first what the counts become, so that a run stopped half-way does not lead
  // the next run to lower them once more (taking away another product's count).
  if (!toRecord.empty() && !RecordSharedReleased(log.path, toRecord)) {
    for (const Release& release : releases) {
      report.Note("the shared count of " + release.path + " stays: the log could not be written");
      kept.insert(PathId(release.path));
    }
    return kept;
  }
  for (const Release& release : releases) {
    if (release.count > 0) {
      if (!RegWriteInteger(kSharedDllsKey, release.path, static_cast<uint32_t>(release.count)))
        report.Note("the shared count of " + release.path + " could not be lowered");
      kept.insert(PathId(release.path));
    } else if (!RegDeleteValue(kSharedDllsKey, release.path)) {
      report.Note("the shared count of " + release.path + " could not be removed");
      kept.insert(PathId(release.path));
    }
  }
  return kept;
}

void RemoveFile(std::string_view path, TUninstallReport& report) {
  auto info = host::CurrentHost().GetFileInfo(path);
  if (!info || (info->attributes & host::kAttrDirectory)) return;
  // Only a read-only file needs its attributes cleared before it can go; a plain delete that
  // fails is tried once more the forced way.
  const bool readOnly = (info->attributes & host::kAttrReadOnly) != 0;
  if ((!readOnly && host::CurrentHost().DeleteFile(path)) || DeleteFileForced(path)) return;
  DeleteAtReboot(path);
  report.NoteAtRestart(std::string(path) + " will be removed at the next restart");
}

void RemoveEmptyFolders(const std::vector<std::string>& folders, TUninstallReport& report) {
  auto& host = host::CurrentHost();
  for (const std::string& folder : DeepestFirst(folders)) {
    if (host.RemoveFolder(folder)) continue;
    auto entries = host.FindFiles(folder + (folder.empty() || folder.back() != '\\' ? "\\*" : "*"));
    if (!entries) continue;  // gone, or never made
    const bool empty = std::all_of(entries->begin(), entries->end(),
                                   [](const host::FindEntry& e) { return e.name == "." || e.name == ".."; });
    // A folder that holds the user's own files stays silently; an empty one, or one whose files
    // go at the next restart, goes then too.
    if (!empty && report.atRestart == 0) continue;
    DeleteAtReboot(folder);
    report.NoteAtRestart(folder + " will be removed at the next restart");
  }
}

void DeleteEmptyKeys(const std::vector<std::string>& keys, TUninstallReport& report) {
  for (const std::string& key : DeepestFirst(keys)) {
    if (RegDeleteKeyPath(key, false) || !RegKeyExists(key)) continue;
    // A key that still holds something of someone else's stays silently; an empty one is a failure.
    const RegPath path = RegSplitPath(key);
    auto& host = host::CurrentHost();
    const auto values = host.RegEnumValues(path.root, path.subKey);
    const auto subKeys = host.RegEnumKeys(path.root, path.subKey);
    if ((values && !values->empty()) || (subKeys && !subKeys->empty())) continue;
    report.Note("the registry key " + key + " stays");
  }
}

}  // namespace sx
