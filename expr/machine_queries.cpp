#include "expr/machine_queries.h"

#include <optional>
#include <string>

#include "host/host.h"

namespace sx {

namespace {

// %NAME% references replaced by the process environment, as ExpandEnvironmentStrings does; a
// reference to a missing variable stays as written.
std::string ExpandEnvironment(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    if (open == std::string::npos) break;
    const size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, i, open - i);
    const std::string name = text.substr(open + 1, close - open - 1);
    auto value = name.empty() ? std::nullopt : host::CurrentHost().GetEnv(name);
    if (value) {
      out += *value;
    } else {
      out.append(text, open, close - open + 1);
    }
    i = close + 1;
  }
  out.append(text, i);
  return out;
}

bool IsFile(host::Host& host, const std::string& path) {
  const auto info = host.GetFileInfo(path);
  return info && !(info->attributes & host::kAttrDirectory);
}

}  // namespace

bool ComClassAvailable(std::string_view classId, std::string_view /*interfaceId*/) {
  host::Host& host = host::CurrentHost();
  const std::string key = "CLSID\\" + std::string(classId) + "\\InprocServer32";
  const auto value = host.RegQueryValue(host::RegRoot::kClassesRoot, key, "");
  if (!value || (value->type != host::kRegSz && value->type != host::kRegExpandSz)) return false;
  std::string server = value->data.substr(0, value->data.find('\0'));
  if (value->type == host::kRegExpandSz) server = ExpandEnvironment(server);
  if (server.size() >= 2 && server.front() == '"' && server.back() == '"')
    server = server.substr(1, server.size() - 2);
  if (server.empty()) return false;
  if (server.find_first_of("\\:") != std::string::npos) return IsFile(host, server);
  const auto& facts = host.Facts();
  return IsFile(host, facts.systemFolder + "\\" + server) ||
         IsFile(host, facts.windowsFolder + "\\" + server);
}

}  // namespace sx
