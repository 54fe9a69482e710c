#include "host/ini_lines.h"

#include <cstring>

namespace sx::host {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

size_t TakeIniLine(std::string_view data, std::string& line, bool* ended) {
  const char* cr = static_cast<const char*>(std::memchr(data.data(), '\r', data.size()));
  const size_t take = cr ? static_cast<size_t>(cr - data.data()) : data.size();
  std::string_view part = data.substr(0, take);
  while (!part.empty()) {
    const size_t lf = part.find('\n');
    line.append(part.substr(0, lf));
    if (lf == std::string_view::npos) break;
    part.remove_prefix(lf + 1);
  }
  *ended = cr != nullptr;
  return cr ? take + 1 : take;
}

void TrimIniControls(std::string& line) {
  auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  size_t end = line.size();
  while (end > 0 && isControl(line[end - 1])) --end;
  size_t start = 0;
  while (start < end && isControl(line[start])) ++start;
  line.erase(end);
  line.erase(0, start);
}

void TrimAroundFirstEquals(std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  size_t before = eq;
  while (before > 0 && IsBlank(line[before - 1])) --before;
  line.erase(before, eq - before);
  eq = before;
  size_t after = eq + 1;
  while (after < line.size() && IsBlank(line[after])) ++after;
  line.erase(eq + 1, after - eq - 1);
}

}  // namespace sx::host
