#include "host/posix/batch_script.h"

#include <strings.h>

#include <cctype>

namespace sx::host {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

bool StartsWithWord(std::string_view line, std::string_view word) {
  return line.size() >= word.size() && strncasecmp(line.data(), word.data(), word.size()) == 0 &&
         (line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t');
}

std::string ShellQuote(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

// A path argument: quoted ("C:\a b\x") or up to the next blank. Advances `rest`.
std::string TakePath(std::string_view& rest) {
  rest = Trim(rest);
  std::string path;
  if (!rest.empty() && rest.front() == '"') {
    size_t end = rest.find('"', 1);
    path = std::string(rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  } else {
    size_t end = rest.find_first_of(" \t");
    path = std::string(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  return path;
}

std::string LabelName(std::string_view label) {
  std::string name = "L_";
  for (char c : Trim(label)) {
    unsigned char u = static_cast<unsigned char>(c);
    name += std::isalnum(u) ? static_cast<char>(std::tolower(u)) : '_';
  }
  return name;
}

}  // namespace

std::optional<std::string> TranslateBatch(
    std::string_view batch, const std::function<std::optional<std::string>(std::string_view)>& mapPath) {
  std::string body = "__l=L_start\nwhile :; do\ncase \"$__l\" in\nL_start)\n";
  auto mapped = [&](const std::string& path) -> std::optional<std::string> {
    auto host = mapPath(path);
    if (!host) return std::nullopt;
    return ShellQuote(*host);
  };
  while (!batch.empty()) {
    size_t end = batch.find_first_of("\r\n");
    std::string_view line = Trim(batch.substr(0, end));
    batch = end == std::string_view::npos ? std::string_view() : batch.substr(end + 1);
    if (!line.empty() && line.front() == '@') line = Trim(line.substr(1));
    if (line.empty() || StartsWithWord(line, "rem") || (line.front() == ':' && line.size() > 1 && line[1] == ':'))
      continue;
    if (line.front() == ':') {
      std::string label = LabelName(line.substr(1));
      body += "  __l=" + label + "; continue ;;\n" + label + ")\n";
    } else if (StartsWithWord(line, "echo")) {
      std::string_view text = Trim(line.substr(4));
      if (strcasecmp(std::string(text).c_str(), "off") == 0 || strcasecmp(std::string(text).c_str(), "on") == 0)
        continue;
      body += "  printf '%s\\n' " + ShellQuote(text) + "\n";
    } else if (StartsWithWord(line, "goto")) {
      body += "  __l=" + LabelName(line.substr(4)) + "; continue\n";
    } else if (StartsWithWord(line, "del") || StartsWithWord(line, "erase") || StartsWithWord(line, "rd") ||
               StartsWithWord(line, "rmdir")) {
      bool folder = StartsWithWord(line, "rd") || StartsWithWord(line, "rmdir");
      std::string_view rest = line.substr(line.find_first_of(" \t"));
      auto path = mapped(TakePath(rest));
      if (!path || !Trim(rest).empty()) return std::nullopt;
      body += folder ? "  rmdir -- " + *path + " 2>/dev/null\n" : "  rm -f -- " + *path + "\n";
    } else if (StartsWithWord(line, "if")) {
      std::string_view rest = Trim(line.substr(2));
      bool negate = StartsWithWord(rest, "not");
      if (negate) rest = Trim(rest.substr(3));
      if (!StartsWithWord(rest, "exist")) return std::nullopt;
      rest = rest.substr(5);
      auto path = mapped(TakePath(rest));
      rest = Trim(rest);
      if (!path || !StartsWithWord(rest, "goto")) return std::nullopt;
      std::string label = LabelName(rest.substr(4));
      body += std::string("  if ") + (negate ? "! " : "") + "[ -e " + *path + " ]; then __l=" + label +
              "; continue; fi\n";
    } else {
      return std::nullopt;
    }
  }
  body += "  __l=L_end_; continue ;;\nL_end_) break ;;\n*) break ;;\nesac\ndone\n";
  return body;
}

}  // namespace sx::host
