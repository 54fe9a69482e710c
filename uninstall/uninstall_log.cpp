#include "uninstall/uninstall_log.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <regex>

#include "host/host.h"
#include "util/ini_file.h"
#include "util/str_utils.h"

namespace sx {
namespace {

// The sections the uninstaller acts on; every other section holds texts.
constexpr std::array<std::string_view, 15> kEntrySections{
    "CopyFiles", "AddReg", "AddIni", "Shortcuts", "CreateDirs", "CreateKeys", "RegServers",
    "RegFonts", "SharedFiles", "PreRunApp", "RunApp", "SharedAssemblies", "EnvVars", "Strings",
    kSharedReleasedSection};

bool SameName(std::string_view a, std::string_view b) {
  return host::CurrentHost().CompareLocale(a, b, true) == 0;
}

bool IsEntrySection(std::string_view name) {
  return std::any_of(kEntrySections.begin(), kEntrySections.end(),
                     [&](std::string_view section) { return SameName(section, name); });
}

[[noreturn]] void Refuse(std::string_view section, std::string_view line, std::string_view why) {
  throw EUninstallLogError("the line \"" + std::string(line) + "\" of the section [" + std::string(section) +
                           "] " + std::string(why));
}

struct Line {
  std::string key, value, text;
};

// The lines of a section split at their first "=".
std::vector<Line> LinesOf(TqvIniFile& ini, std::string_view section) {
  TqvIniFile::StringList raw;
  ini.ReadSectionValues(section, raw);
  std::vector<Line> lines;
  for (std::string& text : raw) {
    size_t equals = text.find('=');
    Line line;
    line.key = text.substr(0, equals);
    if (equals != std::string::npos) line.value = text.substr(equals + 1);
    line.text = std::move(text);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> PathKeys(TqvIniFile& ini, std::string_view section) {
  std::vector<std::string> paths;
  for (const Line& line : LinesOf(ini, section)) {
    if (!IsFullWindowsPath(line.key)) Refuse(section, line.text, "does not name a full path");
    paths.push_back(line.key);
  }
  return paths;
}

TUninstallProgram ParseProgram(std::string_view section, const Line& line) {
  static const std::regex format("^'(.*?)','(.*?)','(.*)',(-?[0-9]+),'(.*)',([01]),([01])$");
  std::smatch match;
  bool number = !line.key.empty() && line.key.size() < 10 &&
                std::all_of(line.key.begin(), line.key.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!number || !std::regex_match(line.value, match, format))
    Refuse(section, line.text, "is not a program to run");
  TUninstallProgram program;
  program.number = std::stoi(line.key);
  program.cmdLine = match[1];
  program.args = match[2];
  program.workDir = match[3];
  program.windowCode = std::stoi(match[4].str().substr(0, 9));
  program.message = match[5];
  program.wait = match[6] == "1";
  program.checkExitCode = match[7] == "1";
  if (Trim(program.cmdLine).empty()) Refuse(section, line.text, "names no program");
  return program;
}

std::vector<TUninstallProgram> Programs(TqvIniFile& ini, std::string_view section) {
  std::vector<TUninstallProgram> programs;
  for (const Line& line : LinesOf(ini, section)) programs.push_back(ParseProgram(section, line));
  std::stable_sort(programs.begin(), programs.end(),
                   [](const auto& a, const auto& b) { return a.number < b.number; });
  return programs;
}

// "'file','section','key'": the file ends at the first "','", the key starts after the last.
TUninstallIniEntry ParseIniEntry(const Line& line) {
  const std::string& text = line.key;
  constexpr std::string_view kSeparator = "','";
  size_t first = text.find(kSeparator, 1);
  size_t last = text.rfind(kSeparator);
  if (text.size() < 8 || text.front() != '\'' || text.back() != '\'' || first == std::string::npos ||
      last == first)
    Refuse("AddIni", line.text, "is not an INI entry");
  TUninstallIniEntry entry;
  entry.file = text.substr(1, first - 1);
  entry.section = text.substr(first + 3, last - first - 3);
  entry.key = text.substr(last + 3, text.size() - last - 4);
  // A bare file name lies in the Windows folder, as INI files do; a relative path does not parse.
  bool bare = entry.file.find_first_of("\\/:") == std::string::npos;
  if (entry.file.empty() || (!bare && !IsFullWindowsPath(entry.file)) || entry.section.empty() ||
      entry.key.empty())
    Refuse("AddIni", line.text, "is not an INI entry");
  return entry;
}

TUninstallEnvVar ParseEnvVar(const Line& line) {
  if (line.key.empty() || line.value.size() < 2 || (line.value[0] != '0' && line.value[0] != '1') ||
      line.value[1] != ',')
    Refuse("EnvVars", line.text, "is not an environment change");
  return {line.key, line.value[0] == '1', line.value.substr(2)};
}

}  // namespace

bool IsFullWindowsPath(std::string_view path) {
  if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
      path[2] == '\\')
    return true;
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

bool IsRootedRegistryKey(std::string_view path) {
  size_t slash = path.find('\\');
  if (slash == std::string_view::npos) return false;
  std::string_view root = path.substr(0, slash);
  constexpr std::array<std::string_view, 4> kRoots{"HKCR", "HKCU", "HKLM", "HKU"};
  bool known = std::any_of(kRoots.begin(), kRoots.end(), [&](std::string_view name) { return SameName(root, name); });
  std::string_view rest = path.substr(slash + 1);
  return known && rest.find_first_not_of('\\') != std::string_view::npos;
}

std::vector<std::pair<std::string, std::string>> RegValueSplits(std::string_view entry) {
  std::vector<std::pair<std::string, std::string>> splits;
  if (entry.size() < 3 || entry.back() != '\'') return splits;
  for (size_t at = entry.find("\\'"); at != std::string_view::npos; at = entry.find("\\'", at + 1)) {
    if (at + 2 > entry.size() - 1) break;  // the closing quote itself
    std::string key(entry.substr(0, at));
    if (IsRootedRegistryKey(key))
      splits.emplace_back(std::move(key), std::string(entry.substr(at + 2, entry.size() - at - 3)));
  }
  return splits;
}

TUninstallLog ReadUninstallLog(std::string_view path) {
  auto& host = host::CurrentHost();
  auto info = host.GetFileInfo(path);
  if (!info || (info->attributes & host::kAttrDirectory))
    throw EUninstallLogError("the file does not exist");
  std::unique_ptr<TqvIniFile> ini;
  try {
    // Read-only and without stripping quotes: program lines start and end with quotes.
    ini = std::make_unique<TqvIniFile>(path, true, true, true, true, false);
  } catch (const EIniFileError&) {
    throw EUninstallLogError("the file cannot be opened");
  }
  TUninstallLog log;
  log.path = std::string(path);
  const std::string kMissing = "\x01";
  log.appId = ini->ReadString("Strings", "AppID", kMissing);
  if (log.appId == kMissing) throw EUninstallLogError("it is no install log (its [Strings] section names no AppID)");
  log.adminRights = ini->ReadInteger("Strings", "AdminRights", 0) != 0;

  log.files = PathKeys(*ini, "CopyFiles");
  log.sharedFiles = PathKeys(*ini, "SharedFiles");
  log.shortcuts = PathKeys(*ini, "Shortcuts");
  log.folders = PathKeys(*ini, "CreateDirs");
  log.servers = PathKeys(*ini, "RegServers");
  for (const Line& line : LinesOf(*ini, "AddReg")) {
    if (RegValueSplits(line.key).empty()) Refuse("AddReg", line.text, "is not a registry value");
    log.values.push_back(line.key);
  }
  for (const Line& line : LinesOf(*ini, "CreateKeys")) {
    if (!IsRootedRegistryKey(line.key)) Refuse("CreateKeys", line.text, "is not a registry key");
    log.keys.push_back(line.key);
  }
  for (const Line& line : LinesOf(*ini, "AddIni")) log.iniEntries.push_back(ParseIniEntry(line));
  for (const Line& line : LinesOf(*ini, "RegFonts")) {
    if (line.key.empty() || !IsFullWindowsPath(line.value)) Refuse("RegFonts", line.text, "is not a font");
    log.fonts.push_back({line.key, line.value});
  }
  for (const Line& line : LinesOf(*ini, "EnvVars")) log.envVars.push_back(ParseEnvVar(line));
  for (const Line& line : LinesOf(*ini, "SharedAssemblies")) {
    if (Trim(line.value).empty()) Refuse("SharedAssemblies", line.text, "names no assembly");
    log.assemblies.push_back(line.value);
  }
  for (const Line& line : LinesOf(*ini, kSharedReleasedSection)) {
    const std::string count = Trim(line.value);
    const bool number = !count.empty() && count.size() < 10 &&
                        std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!IsFullWindowsPath(line.key) || !number) Refuse(kSharedReleasedSection, line.text, "is not a released count");
    log.sharedReleased.emplace_back(line.key, std::stoi(count));
  }
  log.before = Programs(*ini, "PreRunApp");
  log.after = Programs(*ini, "RunApp");

  TqvIniFile::StringList sections;
  ini->ReadSections(sections);
  for (const std::string& section : sections) {
    if (IsEntrySection(section)) continue;
    TqvIniFile::StringList lines;
    ini->ReadSectionValues(section, lines);
    log.textSections.emplace_back(section, std::move(lines));
  }
  return log;
}

bool RecordSharedReleased(std::string_view logPath, const std::vector<std::pair<std::string, int32_t>>& counts) {
  try {
    // Every line kept as written: the rest of the log must read as before.
    TqvIniFile log(logPath, false, /*skipComments=*/false, /*skipLinesWithoutEquals=*/false,
                   /*trimAroundEquals=*/false, /*stripQuotes=*/false);
    for (const auto& [path, count] : counts) log.WriteString(kSharedReleasedSection, path, std::to_string(count));
    return log.UpdateFile();
  } catch (const EIniFileError&) {
    return false;
  }
}

std::string UninstallText(const TUninstallLog& log, std::string_view section, std::string_view key,
                          std::string_view def) {
  for (const auto& [name, lines] : log.textSections) {
    if (!SameName(name, section)) continue;
    for (const std::string& line : lines) {
      size_t equals = line.find('=');
      if (equals != std::string::npos && SameName(std::string_view(line).substr(0, equals), key))
        return ReplaceAll(std::string_view(line).substr(equals + 1), "||", "\r\n");
    }
  }
  return std::string(def);
}

}  // namespace sx
