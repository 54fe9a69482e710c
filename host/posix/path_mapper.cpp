#include "host/posix/path_mapper.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

#include "host/host.h"
#include "host/posix/thread_error.h"

namespace sx::host {
namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::u16string FoldCase(std::u16string s) {
  for (auto& c : s) c = UnicodeUpper(c);
  return s;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

// The name of the entry of `folder` equal to `name` ignoring case, or "" when there is none.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return {};
  const std::u16string wanted = FoldCase(Utf8ToUtf16(name));
  while (dirent* entry = readdir(dir.get())) {
    std::string_view candidate = entry->d_name;
    if (FoldCase(Utf8ToUtf16(candidate)) == wanted) return std::string(candidate);
  }
  return {};
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return {};
  return buffer;
}

}  // namespace

bool HasInvalidNameCharacter(std::string_view component) {
  for (char ch : component) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || ch == '<' || ch == '>' || ch == ':' || ch == '"' || ch == '|' || ch == '?' ||
        ch == '*')
      return true;
  }
  return false;
}

std::optional<std::string> NormalizeWindowsPath(std::string_view path,
                                                std::string_view currentFolder) {
  std::string p(path);
  for (char& c : p)
    if (c == '/') c = '\\';
  if (p.rfind("\\\\?\\", 0) == 0 || p.rfind("\\??\\", 0) == 0) p.erase(0, 4);
  if (p.empty()) return std::nullopt;
  if (p.rfind("\\\\", 0) == 0) return std::nullopt;  // UNC: no network on the machine

  std::string base;  // "X:" of the result
  std::string rest;  // the part below the drive, relative to `base`'s root
  std::string current(currentFolder);
  for (char& c : current)
    if (c == '/') c = '\\';
  const bool haveCurrent = current.size() >= 2 && IsDriveLetter(current[0]) && current[1] == ':';

  if (p.size() >= 2 && IsDriveLetter(p[0]) && p[1] == ':') {
    base = {Upper(p[0]), ':'};
    std::string tail = p.substr(2);
    if (!tail.empty() && tail[0] == '\\') {
      rest = tail;
    } else if (haveCurrent && Upper(current[0]) == base[0]) {
      rest = current.substr(2) + "\\" + tail;  // drive-relative: from that drive's current folder
    } else {
      rest = "\\" + tail;
    }
  } else {
    if (!haveCurrent) return std::nullopt;
    base = {Upper(current[0]), ':'};
    rest = p[0] == '\\' ? p : current.substr(2) + "\\" + p;
  }

  const bool trailingSlash = !rest.empty() && rest.back() == '\\' && rest.size() > 1;
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = rest.find('\\', i);
    if (j == std::string::npos) j = rest.size();
    std::string part = rest.substr(i, j - i);
    i = j + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  if (!parts.empty() && !trailingSlash) {
    std::string& last = parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) parts.pop_back();
  }
  std::string result = base + "\\";
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) result += '\\';
    result += parts[k];
  }
  if (trailingSlash && !parts.empty()) result += '\\';
  return result;
}

PathMapper::PathMapper(std::string machineFolder, const CodePage& ansi)
    : machineFolder_(std::move(machineFolder)), ansi_(ansi) {}

std::string PathMapper::DriveFolder(char letter) const {
  char lower = static_cast<char>(Upper(letter) + 32);
  std::string link = machineFolder_ + "/dosdevices/" + lower + ":";
  if (!IsFolder(link)) return {};
  return RealPath(link);
}

std::optional<std::string> PathMapper::ToHost(std::string_view fullPath) const {
  if (fullPath.size() < 3 || !IsDriveLetter(fullPath[0]) || fullPath[1] != ':' ||
      fullPath[2] != '\\') {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  std::string host = DriveFolder(fullPath[0]);
  if (host.empty()) {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  bool parentExists = true;
  size_t i = 3;
  while (i < fullPath.size()) {
    size_t j = fullPath.find('\\', i);
    if (j == std::string_view::npos) j = fullPath.size();
    std::string_view component = fullPath.substr(i, j - i);
    i = j + 1;
    if (component.empty()) continue;
    if (HasInvalidNameCharacter(component)) {
      Fail(kErrorInvalidName);
      return std::nullopt;
    }
    std::string name = ansi_.ToUtf8(component);
    if (parentExists) {
      std::string exact = host + "/" + name;
      if (!Exists(exact)) {
        std::string found = FindIgnoringCase(host, name);
        if (!found.empty()) {
          name = found;
        } else {
          parentExists = false;
        }
      }
    }
    if (host != "/") host += '/';
    host += name;
  }
  return host;
}

std::optional<std::string> PathMapper::ToWindows(std::string_view hostPath) const {
  std::string path(hostPath);
  // Resolve the longest existing prefix; keep what does not exist yet as written.
  std::string suffix;
  std::string real = RealPath(path);
  while (real.empty()) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::nullopt;
    suffix = path.substr(slash) + suffix;
    path = slash == 0 ? "/" : path.substr(0, slash);
    real = RealPath(path);
  }
  real += suffix;
  std::string bestFolder;
  char bestLetter = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string folder = DriveFolder(letter);
    if (folder.empty()) continue;
    bool inside = real == folder || folder == "/" ||
                  (real.size() > folder.size() && real.compare(0, folder.size(), folder) == 0 &&
                   real[folder.size()] == '/');
    if (inside && folder.size() > bestFolder.size()) {
      bestFolder = folder;
      bestLetter = letter;
    }
  }
  if (!bestLetter) return std::nullopt;
  std::string rest = real.substr(bestFolder == "/" ? 1 : bestFolder.size());
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char& c : rest)
    if (c == '/') c = '\\';
  return std::string{bestLetter, ':', '\\'} + ansi_.FromUtf8(rest);
}

}  // namespace sx::host
