#include "host/posix/machine_settings.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/ini_lines.h"

namespace sx::host {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The keys each section may hold; an empty list: any key (associations name extensions).
struct KnownSection {
  const char* name;
  std::vector<const char*> keys;
};
const std::vector<KnownSection>& KnownSections() {
  static const std::vector<KnownSection> known = {
      {"System",
       {"Platform", "Version", "ServicePack", "Admin", "HKLMWritable", "UserName", "ComputerName",
        "Screen"}},
      {"Locale", {"User", "System", "Installed", "DecimalSeparator"}},
      {"Associations", {}},
      {"MessageBoxes", {"Answers", "Default"}},
      {"FilesInUse", {}},
      {"ProtectedFiles", {}},
      {"DiskSpace", {}},
  };
  return known;
}
const KnownSection* FindKnownSection(std::string_view name) {
  for (const auto& section : KnownSections())
    if (!CaseLess()(name, section.name) && !CaseLess()(section.name, name)) return &section;
  return nullptr;
}
bool KnowsKey(const KnownSection& section, std::string_view key) {
  if (section.keys.empty()) return true;
  for (const char* known : section.keys)
    if (!CaseLess()(key, known) && !CaseLess()(known, key)) return true;
  return false;
}
// Keys whose value must be a yes or no.
bool IsYesNoKey(std::string_view section, std::string_view key) {
  auto same = [](std::string_view a, std::string_view b) { return !CaseLess()(a, b) && !CaseLess()(b, a); };
  return same(section, "System") && (same(key, "Admin") || same(key, "HKLMWritable"));
}

std::optional<bool> ParseYesNo(std::string_view text) {
  for (const char* yes : {"1", "yes", "true"})
    if (text.size() == std::strlen(yes) && strncasecmp(text.data(), yes, text.size()) == 0) return true;
  for (const char* no : {"0", "no", "false"})
    if (text.size() == std::strlen(no) && strncasecmp(text.data(), no, text.size()) == 0) return false;
  return std::nullopt;
}

}  // namespace

OsPlatform ParsePlatform(std::string_view text) {
  const std::string value(Trim(text));
  for (const char* name : {"9x", "95", "98", "Me"})
    if (strcasecmp(value.c_str(), name) == 0) return OsPlatform::kWindows9x;
  if (strcasecmp(value.c_str(), "Win32s") == 0) return OsPlatform::kWin32s;
  return OsPlatform::kWindowsNT;
}

std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> items;
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view item = Trim(list.substr(0, comma));
    if (!item.empty()) items.emplace_back(item);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return items;
}

bool CaseLess::operator()(std::string_view a, std::string_view b) const {
  size_t n = std::min(a.size(), b.size());
  int c = strncasecmp(a.data(), b.data(), n);
  return c != 0 ? c < 0 : a.size() < b.size();
}

MachineSettings MachineSettings::Load(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<std::string> warnings;
  MachineSettings settings = Parse(text.str(), &warnings);
  for (const auto& warning : warnings) std::fprintf(stderr, "%s:%s\n", hostPath.c_str(), warning.c_str());
  return settings;
}

MachineSettings MachineSettings::Parse(std::string_view text, std::vector<std::string>* warnings) {
  MachineSettings settings;
  auto warn = [&](size_t number, std::string_view what, std::string_view line) {
    if (warnings)
      warnings->push_back(std::to_string(number) + ": " + std::string(what) + ": " + std::string(line));
  };
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  std::map<std::string, std::string, CaseLess>* current = nullptr;
  const KnownSection* known = nullptr;
  std::string currentName;
  // The engine's line rule (CR ends a line, LF is dropped), and a LF without a CR before it
  // ends a line too: files written on this computer end their lines so.
  std::string lines(text);
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines[i] = '\r';
  std::string_view rest = lines;
  std::string read;
  size_t number = 0;
  while (!rest.empty()) {
    read.clear();
    bool ended = false;
    rest.remove_prefix(TakeIniLine(rest, read, &ended));
    ++number;
    TrimIniControls(read);
    std::string_view line = read;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.find('\0') != std::string_view::npos) {
      std::string shown;
      for (char c : line) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
      warn(number, "a line with a NUL byte cannot be read", shown);
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']' || Trim(line.substr(1, line.size() - 2)).empty()) {
        warn(number, "not a section header", line);
        current = nullptr;
        continue;
      }
      currentName = std::string(Trim(line.substr(1, line.size() - 2)));
      known = FindKnownSection(currentName);
      if (!known) warn(number, "unknown section, its keys are not used", line);
      current = &settings.sections_[currentName];
      continue;
    }
    TrimAroundFirstEquals(read);
    line = read;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      warn(number, "neither a section, a key=value line nor a comment", line);
      continue;
    }
    std::string_view key = Trim(line.substr(0, eq));
    if (!current) {
      warn(number, "a key outside a section", line);
      continue;
    }
    if (key.empty()) {
      warn(number, "a value without a key", line);
      continue;
    }
    std::string_view value = Trim(line.substr(eq + 1));
    // A comment after the value: "Admin=1   ; the user is an administrator".
    if (size_t semi = value.find(" ;"); semi != std::string_view::npos) value = Trim(value.substr(0, semi));
    if (known && !KnowsKey(*known, key)) {
      warn(number, "unknown key of [" + currentName + "], not used", line);
      continue;
    }
    if (IsYesNoKey(currentName, key) && !ParseYesNo(value)) {
      warn(number, "not a yes/no value (1, 0, yes, no, true, false), not used", line);
      continue;
    }
    if (!current->try_emplace(std::string(key), value).second)
      warn(number, "the key was set before, the first one is used", line);
  }
  return settings;
}

const std::map<std::string, std::string, CaseLess>* MachineSettings::Section(
    std::string_view section) const {
  auto it = sections_.find(section);
  return it == sections_.end() ? nullptr : &it->second;
}

std::optional<std::string> MachineSettings::Get(std::string_view section,
                                                std::string_view key) const {
  const auto* s = Section(section);
  if (!s) return std::nullopt;
  auto it = s->find(key);
  if (it == s->end()) return std::nullopt;
  return it->second;
}

std::string MachineSettings::Get(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
  auto v = Get(section, key);
  return v ? *v : std::string(fallback);
}

std::optional<bool> MachineSettings::GetBool(std::string_view section, std::string_view key) const {
  auto v = Get(section, key);
  if (!v) return std::nullopt;
  return ParseYesNo(*v);
}

}  // namespace sx::host
