#include "platform/file_utils.h"

#include <algorithm>
#include <vector>

#include "host/host.h"
#include "util/case_tables.h"
#include "util/errors.h"
#include "util/str_utils.h"
#include "util/file_io.h"
#include "util/os_version.h"
#include "util/system_folders.h"

namespace sx {
namespace {

host::Host& Host() { return host::CurrentHost(); }

std::string WithoutTrailingBackslash(std::string_view path) {
  std::string p(path);
  if (p.size() > 1 && p.back() == '\\') p.pop_back();
  return p;
}

// DOS date and time to a date-time value.
double DosToDateTime(uint32_t dos) {
  host::SystemTime st;
  st.year = static_cast<uint16_t>(1980 + (dos >> 25));
  st.month = static_cast<uint16_t>((dos >> 21) & 0xF);
  st.day = static_cast<uint16_t>((dos >> 16) & 0x1F);
  st.hour = static_cast<uint16_t>((dos >> 11) & 0x1F);
  st.minute = static_cast<uint16_t>((dos >> 5) & 0x3F);
  st.second = static_cast<uint16_t>((dos & 0x1F) * 2);
  host::FileTime ft = host::SystemTimeToFileTime(st);
  constexpr double kTicksPerDay = 864e9;
  constexpr double kDays1601To1899 = 109205.0;  // 1601-01-01 .. 1899-12-30
  return static_cast<double>(ft.ticks) / kTicksPerDay - kDays1601To1899;
}

}  // namespace

bool FolderExistsAt(std::string_view path) {
  auto info = Host().GetFileInfo(path);
  return info && (info->attributes & host::kAttrDirectory);
}

bool DeleteFileForced(std::string_view path) {
  Host().SetFileAttributes(path, host::kAttrNormal);
  return Host().DeleteFile(path);
}

bool DeleteFolderTree(std::string_view pathIn, bool removeFolder) {
  auto& host = Host();
  const std::string path = WithoutTrailingBackslash(pathIn);
  if (!FolderExistsAt(path)) return false;
  bool result = true;
  // Depth-first without recursion: folders are emptied before they are removed.
  struct Pending {
    std::string folder;
    bool listed;
  };
  std::vector<Pending> stack{{path, false}};
  while (!stack.empty()) {
    if (stack.back().listed) {
      std::string folder = std::move(stack.back().folder);
      stack.pop_back();
      if (!stack.empty() && !host.RemoveFolder(folder)) result = false;
      continue;
    }
    stack.back().listed = true;
    const std::string folder = stack.back().folder;
    auto entries = host.FindFiles(folder + "\\*");
    if (!entries) {
      result = false;
      continue;
    }
    for (const auto& e : *entries) {
      if (!e.name.empty() && e.name[0] == '.') continue;
      uint32_t a = e.info.attributes;
      if ((a & host::kAttrVolumeLabel) && !(a & host::kAttrDirectory)) continue;
      std::string full = folder + "\\" + e.name;
      if ((a & host::kAttrDirectory) && !(a & host::kAttrReparsePoint)) {
        stack.push_back({full, false});
      } else if (a & host::kAttrDirectory) {
        if (!host.RemoveFolder(full)) result = false;  // a link: remove the link only
      } else {
        host.SetFileAttributes(full, (a & ~host::kAttrReadOnly) | host::kAttrArchive);
        if (!DeleteFileForced(full)) result = false;
      }
    }
  }
  bool bareDrive = path.size() == 2 && path[1] == ':';
  if (removeFolder && result && !bareDrive && !host.RemoveFolder(path)) result = false;
  return result;
}

int64_t FileSizeOf(std::string_view path) {
  auto entries = Host().FindFiles(Host().FullPath(path));
  if (!entries) return -1;
  for (const auto& e : *entries)
    if (e.name != "." && e.name != "..") return static_cast<int64_t>(e.info.size);
  return -1;
}

double FileDateOf(std::string_view path) {
  auto info = Host().GetFileInfo(path);
  if (!info) return 0;
  uint32_t dos = host::FileTimeToDosDateTime(Host().UtcToLocal(info->lastWriteTime));
  return dos ? DosToDateTime(dos) : 0;
}

std::string ShortPathOf(std::string_view path) { return std::string(path); }

bool CopyFileBlocks(std::string_view source, std::string_view target,
                    const CopyProgressHandler& progress, bool append,
                    const CopyBlockHandler& block) {
  auto& host = Host();
  auto info = host.GetFileInfo(source);
  if (!info || (info->attributes & host::kAttrDirectory)) return false;
  int64_t sizeOf = FileSizeOf(source);
  const uint32_t size = static_cast<uint32_t>(sizeOf < 0 ? 0 : sizeOf);
  auto in = host.OpenFile(source, {host::OpenMode::kRead, true});
  if (!in) return false;
  auto out = host.OpenFile(target, {append ? host::OpenMode::kOpenAlways : host::OpenMode::kCreateAlways, true});
  if (!out) return false;
  if (append) {
    auto end = out->Size();
    if (!end || !out->Seek(*end)) return false;
  }
  std::vector<char> buffer(kCopyBlockSize);
  uint32_t copied = 0;
  while (copied < size) {
    auto n = in->Read(buffer.data(), std::min<size_t>(buffer.size(), size - copied));
    // A source that shrank while being copied ends the copy with failure.
    if (!n || *n == 0) return false;
    uint32_t count = static_cast<uint32_t>(*n);
    if (block) block(buffer.data(), count);
    if (!out->Write(buffer.data(), count)) return false;
    copied += count;
    if (progress && !progress(source, target, count, size, copied)) return false;
  }
  in.reset();
  out.reset();
  // A copy without the source's time or attributes is no faithful copy: the caller must know.
  const bool timesSet = host.SetFileTimes(target, nullptr, nullptr, &info->lastWriteTime);
  const bool attributesSet = host.SetFileAttributes(target, info->attributes & ~host::kAttrReparsePoint);
  return timesSet && attributesSet;
}

bool CopyFilePlain(std::string_view source, std::string_view target) {
  return CopyFileBlocks(source, target, nullptr, false, nullptr);
}

std::string ReadWholeFile(std::string_view path) {
  auto& host = Host();
  auto file = host.OpenFile(path, {host::OpenMode::kRead, true});
  if (!file) return {};
  std::string data;
  char buffer[65536];
  for (;;) {
    auto n = file->Read(buffer, sizeof buffer);
    if (!n || *n == 0) break;
    data.append(buffer, *n);
  }
  return data;
}

int64_t DiskFreeKB(std::string_view folderIn) {
  if (!FolderExistsAt(folderIn)) return 0;
  std::string folder = Host().FullPath(folderIn);
  if (IsWin9x()) folder = folder.substr(0, 3);
  auto space = Host().GetDiskSpace(folder);
  if (!space) return 0;
  // A large disk must not wrap into a small (or negative) number of kilobytes.
  return static_cast<int64_t>(std::min<uint64_t>(space->freeBytesAvailable / 1024, 0x7FFFFFFF));
}

namespace {

// The pending renames of Windows NT: pairs of "\??\source" and "\??\target" (or "" to delete).
// A rename first deletes its target; both pairs go in with one write, so that a failed write
// never leaves the deletion without the rename.
void AddPendingRename(const std::string& source, const std::string& target) {
  auto& host = Host();
  const host::RegRoot root = host::RegRoot::kLocalMachine;
  std::string data;
  if (auto v = host.RegQueryValue(root, kSessionManagerKey, kPendingRenamesValue);
      v && v->type == host::kRegMultiSz) {
    // Strings end in NUL and the list in one more; the delete markers are empty strings, so only
    // the list's own final NUL may go.
    data = v->data;
    if (!data.empty() && data.back() == '\0') data.pop_back();
  }
  if (!target.empty()) data += "\\??\\" + target + '\0' + '\0';
  data += "\\??\\" + source + '\0';
  data += (target.empty() ? std::string() : "\\??\\" + target) + '\0';
  data += '\0';
  host.RegCreateKey(root, kSessionManagerKey);
  host.RegSetValue(root, kSessionManagerKey, kPendingRenamesValue, {host::kRegMultiSz, data});
}

[[noreturn]] void RaiseIoError() {
  throw EEngineError("I/O error " + std::to_string(Host().LastError()));
}

// Adds entries to the [Rename] section of wininit.ini on Windows 9x.
void AddWininitRenames(const std::vector<std::string>& entries) {
  auto& host = Host();
  const std::string folder = GetWindowsFolder() + "\\";
  const std::string wininit = folder + "wininit.ini";
  const std::string backup = folder + "wininit.bak";
  host.DeleteFile(backup);
  std::vector<std::string> lines;
  const bool existed = host.GetFileInfo(wininit).has_value();
  if (existed) {
    if (!host.MoveFile(wininit, backup, false)) RaiseIoError();
    auto content = ReadFileContent(backup);
    if (!content) RaiseIoError();
    std::string line;
    for (size_t i = 0; i < content->size(); ++i) {
      char c = (*content)[i];
      if (c == '\r' || c == '\n') {
        lines.push_back(Trim(line));
        line.clear();
        if (c == '\r' && i + 1 < content->size() && (*content)[i + 1] == '\n') ++i;
      } else {
        line += c;
      }
    }
    if (!line.empty()) lines.push_back(Trim(line));
  }
  std::string out;
  bool inRename = false, inserted = false;
  for (const auto& line : lines) {
    // The entries go at the end of [Rename]: before its first empty line, or before the next
    // section when one follows directly (entries inside another section would be ignored).
    bool nextSection = !line.empty() && line[0] == '[' && !SameTextFast(line, "[Rename]");
    if (inRename && !inserted && (line.empty() || nextSection)) {
      for (const auto& e : entries) out += e + "\r\n";
      inserted = true;
    }
    out += line + "\r\n";
    if (SameTextFast(line, "[Rename]")) inRename = true;
  }
  if (!inserted) {
    if (!inRename) out += "[Rename]\r\n";
    for (const auto& e : entries) out += e + "\r\n";
  }
  if (!WriteFileAtomic(wininit, out)) {
    if (existed) host.MoveFile(backup, wininit, false);
    RaiseIoError();
  }
  host.DeleteFile(backup);
}

}  // namespace

void RenameAtReboot(std::string_view sourceIn, std::string_view targetIn) {
  auto& host = Host();
  const std::string source = host.FullPath(sourceIn);
  const std::string target = targetIn.empty() ? std::string() : host.FullPath(targetIn);
  if (!host.GetFileInfo(source)) return;
  if (!IsWin9x()) {
    AddPendingRename(source, target);
    return;
  }
  std::vector<std::string> entries;
  if (target.empty()) {
    entries.push_back("NUL=" + ShortPathOf(source));
  } else {
    // A short name needs an existing file: make an empty one there for the moment.
    bool made = false;
    if (!host.GetFileInfo(target)) {
      auto file = host.OpenFile(target, {host::OpenMode::kCreateNew, false});
      made = file != nullptr;
    }
    std::string shortTarget = ShortPathOf(target);
    if (made) host.DeleteFile(target);
    entries.push_back("NUL=" + shortTarget);
    entries.push_back(shortTarget + "=" + ShortPathOf(source));
    if (host.CompareLocale(shortTarget, target, true) != 0) {
      std::string longName = target.substr(target.find_last_of('\\') + 1);
      const std::string runOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
      host.RegCreateKey(host::RegRoot::kLocalMachine, runOnce);
      host.RegSetValue(host::RegRoot::kLocalMachine, runOnce, "Rename " + shortTarget,
                       {host::kRegSz, "command.com /c ren " + shortTarget + " \"" + longName + "\"" + '\0'});
    }
  }
  AddWininitRenames(entries);
}

void DeleteAtReboot(std::string_view path) { RenameAtReboot(path, ""); }

void WithdrawRebootOperations(std::string_view sourceIn) {
  auto& host = Host();
  if (IsWin9x()) return;
  const host::RegRoot root = host::RegRoot::kLocalMachine;
  auto value = host.RegQueryValue(root, kSessionManagerKey, kPendingRenamesValue);
  if (!value || value->type != host::kRegMultiSz) return;
  std::vector<std::string> strings;  // source, target, source, target, ...
  const std::string& data = value->data;
  for (size_t start = 0; start < data.size();) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    strings.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  // The list's final empty string ends it; the strings come in pairs.
  if (strings.size() % 2 == 1 && strings.back().empty()) strings.pop_back();
  const std::string source = "\\??\\" + host.FullPath(sourceIn);
  std::vector<std::string> kept;
  bool changed = false;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (SameTextFast(strings[i], source)) {
      // RenameAtReboot put the deletion of the target right before the rename.
      const std::string& target = strings[i + 1];
      if (!target.empty() && kept.size() >= 2 && kept[kept.size() - 1].empty() &&
          SameTextFast(kept[kept.size() - 2], target))
        kept.resize(kept.size() - 2);
      changed = true;
      continue;
    }
    kept.push_back(strings[i]);
    kept.push_back(strings[i + 1]);
  }
  if (!changed) return;
  if (kept.empty()) {
    host.RegDeleteValue(root, kSessionManagerKey, kPendingRenamesValue);
    return;
  }
  std::string out;
  for (const auto& s : kept) out += s + '\0';
  out += '\0';
  host.RegSetValue(root, kSessionManagerKey, kPendingRenamesValue, {host::kRegMultiSz, out});
}

bool ExitWindowsPrivileged(uint32_t flags) { return Host().ExitWindows(flags); }

bool RebootSystem(bool force) { return ExitWindowsPrivileged(2 | (force ? 4 : 0)); }

}  // namespace sx
