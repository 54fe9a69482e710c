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

// The change time of a folder in nanoseconds, or -1 when it cannot be read.
int64_t ChangeTime(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == 0 ? "/" : path.substr(0, slash);
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
  const int index = Upper(letter) - 'A';
  if (index < 0 || index >= 26) return {};
  {
    std::lock_guard lock(mutex_);
    if (!drives_[index].empty() && IsFolder(drives_[index])) return drives_[index];
  }
  return ResolveDrive(index);
}

std::string PathMapper::KnownDriveFolder(char letter) const {
  const int index = Upper(letter) - 'A';
  if (index < 0 || index >= 26) return {};
  {
    std::lock_guard lock(mutex_);
    if (!drives_[index].empty()) return drives_[index];
  }
  return ResolveDrive(index);
}

std::string PathMapper::ResolveDrive(int index) const {
  std::string link = machineFolder_ + "/dosdevices/" + static_cast<char>('a' + index) + ":";
  std::string folder = IsFolder(link) ? RealPath(link) : std::string();
  std::lock_guard lock(mutex_);
  drives_[index] = folder;
  return folder;
}

std::string PathMapper::FindIgnoringCase(const std::string& folder, const std::string& name) const {
  return LookUpIgnoringCase(folder, name).value_or(std::string());
}

std::optional<std::string> PathMapper::LookUpIgnoringCase(const std::string& folder, const std::string& name) const {
  const int64_t changeTime = ChangeTime(folder);
  if (changeTime < 0) return std::nullopt;
  const std::u16string wanted = FoldCase(Utf8ToUtf16(name));
  std::lock_guard lock(mutex_);
  auto it = folders_.find(folder);
  if (it == folders_.end() || it->second.changeTime != changeTime) {
    // Read the folder once; later lookups in it cost a hash look-up while it stays unchanged.
    if (folders_.size() > 512) folders_.clear();
    FolderNames names;
    names.changeTime = changeTime;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return {};
    while (dirent* entry = readdir(dir.get()))
      names.byFoldedName.emplace(FoldCase(Utf8ToUtf16(entry->d_name)), entry->d_name);
    it = folders_.insert_or_assign(folder, std::move(names)).first;
  }
  auto found = it->second.byFoldedName.find(wanted);
  return found == it->second.byFoldedName.end() ? std::string() : found->second;
}

void PathMapper::Note(const std::string& hostPath, bool created) const {
  const std::string folder = ParentOf(hostPath);
  std::lock_guard lock(mutex_);
  auto it = folders_.find(folder);
  if (it == folders_.end()) return;
  const std::string name = hostPath.substr(hostPath.find_last_of('/') + 1);
  if (created)
    it->second.byFoldedName.emplace(FoldCase(Utf8ToUtf16(name)), name);
  else
    it->second.byFoldedName.erase(FoldCase(Utf8ToUtf16(name)));
  it->second.changeTime = ChangeTime(folder);
}

void PathMapper::NoteMoved(const std::string& fromHostPath, const std::string& toHostPath) const {
  const std::string folder = ParentOf(fromHostPath);
  if (folder != ParentOf(toHostPath)) {
    Note(fromHostPath, false);
    Note(toHostPath, true);
    return;
  }
  std::lock_guard lock(mutex_);
  auto it = folders_.find(folder);
  if (it == folders_.end()) return;
  auto nameOf = [](const std::string& path) { return path.substr(path.find_last_of('/') + 1); };
  const std::string to = nameOf(toHostPath);
  it->second.byFoldedName.erase(FoldCase(Utf8ToUtf16(nameOf(fromHostPath))));
  it->second.byFoldedName.emplace(FoldCase(Utf8ToUtf16(to)), to);
  it->second.changeTime = ChangeTime(folder);
}

void PathMapper::NoteCreated(const std::string& hostPath) const { Note(hostPath, true); }
void PathMapper::NoteRemoved(const std::string& hostPath) const { Note(hostPath, false); }

std::optional<std::string> PathMapper::ToHost(std::string_view fullPath, MappedEntry* entry) const {
  MappedEntry unused;
  MappedEntry& seen = entry ? *entry : unused;
  seen.state = MappedEntry::State::kUnknown;
  if (fullPath.size() < 3 || !IsDriveLetter(fullPath[0]) || fullPath[1] != ':' ||
      fullPath[2] != '\\') {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  // The drive's folder as found before: whatever is found below it proves that it still is
  // one. Only when nothing is, the drive is looked at again (it may have gone or moved).
  std::string host = KnownDriveFolder(fullPath[0]);
  if (host.empty()) {
    Fail(kErrorPathNotFound);
    return std::nullopt;
  }
  // Most paths are spelled as they stand on disk: one look settles them.
  {
    std::string_view below = fullPath.substr(3);
    while (!below.empty() && below.back() == '\\') below.remove_suffix(1);
    bool valid = true;
    std::string relative;
    relative.reserve(below.size());
    for (char c : below) {
      if (c == '/' || (c != '\\' && HasInvalidNameCharacter(std::string_view(&c, 1)))) valid = false;
      relative += c == '\\' ? '/' : c;
    }
    if (valid) {
      std::string exact = below.empty() ? host : (host == "/" ? "/" : host + "/") + ansi_.ToUtf8(relative);
      if (lstat(exact.c_str(), &seen.link) == 0) {
        seen.state = MappedEntry::State::kPresent;
        return exact;
      }
      // A name not made yet in a folder that exists as spelled (the usual target of a copy):
      // every folder of the path is found as written, so only the last name needs a look
      // ignoring case, in the folder's cached listing.
      if (!below.empty()) {
        const size_t slash = exact.find_last_of('/');
        const std::string folder = slash == 0 ? "/" : exact.substr(0, slash);
        if (auto found = LookUpIgnoringCase(folder, exact.substr(slash + 1))) {
          if (!found->empty()) return (folder == "/" ? "/" : folder + "/") + *found;
          seen.state = MappedEntry::State::kMissing;
          return exact;
        }
      }
    }
  }
  host = DriveFolder(fullPath[0]);
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
