// Files in use and protected system files of the simulated machine.
#include "host/posix/simulated_file_states.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "host/posix/machine_settings.h"

namespace sx::host {
namespace {

constexpr std::string_view kInUseSection = "FilesInUse";
constexpr std::string_view kProtectedSection = "ProtectedFiles";

std::string Folded(std::string_view path) {
  std::string text(path);
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  while (!text.empty() && text.back() == '\\') text.pop_back();
  return text;
}

std::set<std::string> PathsOf(const MachineSettings& settings, std::string_view section) {
  std::set<std::string> paths;
  if (const auto* keys = settings.Section(section))
    for (const auto& [path, value] : *keys)
      if (value != "0") paths.insert(Folded(path));
  return paths;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

void SimulatedFileStates::Refresh() {
  struct stat st;
  const bool present = stat(iniPath_.c_str(), &st) == 0;
  if (present == present_ && (!present || (SameTime(st.st_mtim, modified_) && st.st_size == size_))) return;
  present_ = present;
  inUse_.clear();
  protected_.clear();
  if (!present) return;
  modified_ = st.st_mtim;
  size_ = st.st_size;
  const MachineSettings settings = MachineSettings::Load(iniPath_);
  inUse_ = PathsOf(settings, kInUseSection);
  protected_ = PathsOf(settings, kProtectedSection);
}

bool SimulatedFileStates::InUse(std::string_view fullPath) {
  std::lock_guard lock(mutex_);
  Refresh();
  return !inUse_.empty() && inUse_.count(Folded(fullPath)) > 0;
}

bool SimulatedFileStates::InUse(std::string_view fullPath, std::string_view otherFullPath) {
  std::lock_guard lock(mutex_);
  Refresh();
  if (inUse_.empty()) return false;
  return (!fullPath.empty() && inUse_.count(Folded(fullPath)) > 0) ||
         (!otherFullPath.empty() && inUse_.count(Folded(otherFullPath)) > 0);
}

bool SimulatedFileStates::Protected(std::string_view fullPath) {
  std::lock_guard lock(mutex_);
  Refresh();
  return !protected_.empty() && protected_.count(Folded(fullPath)) > 0;
}

void ReleaseFilesInUse(const std::string& machineFolder) {
  const std::string path = machineFolder + "/sxmachine.ini";
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::string kept;
  bool inSection = false, changed = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string_view line(text.data() + start, end - start);
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos && line[first] == '[') {
      const size_t close = line.find(']', first);
      const std::string_view name = line.substr(first + 1, close == std::string_view::npos ? 0 : close - first - 1);
      inSection = !CaseLess()(name, kInUseSection) && !CaseLess()(kInUseSection, name);
    }
    if (inSection)
      changed = true;
    else
      kept.append(line);
    start = end;
  }
  if (!changed) return;
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << kept;
    if (!out) return;
  }
  std::rename(temporary.c_str(), path.c_str());
}

}  // namespace sx::host
