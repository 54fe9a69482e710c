#include "host/posix/machine_settings.h"

#include <strings.h>

#include <fstream>
#include <sstream>

namespace sx::host {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
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
  return Parse(text.str());
}

MachineSettings MachineSettings::Parse(std::string_view text) {
  MachineSettings settings;
  std::map<std::string, std::string, CaseLess>* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      current = &settings.sections_[std::string(Trim(line.substr(1, line.size() - 2)))];
      continue;
    }
    size_t eq = line.find('=');
    if (!current || eq == std::string_view::npos) continue;
    std::string_view value = Trim(line.substr(eq + 1));
    // A comment after the value: "Admin=1   ; the user is an administrator".
    if (size_t semi = value.find(" ;"); semi != std::string_view::npos) value = Trim(value.substr(0, semi));
    (*current)[std::string(Trim(line.substr(0, eq)))] = std::string(value);
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
  if (strcasecmp(v->c_str(), "1") == 0 || strcasecmp(v->c_str(), "yes") == 0 ||
      strcasecmp(v->c_str(), "true") == 0)
    return true;
  if (strcasecmp(v->c_str(), "0") == 0 || strcasecmp(v->c_str(), "no") == 0 ||
      strcasecmp(v->c_str(), "false") == 0)
    return false;
  return std::nullopt;
}

}  // namespace sx::host
