// The builder's file work that every system shares: whole files, DOS times, the output set and
// the cabinet storage over it.
#include "tools/sxbuild/local_files.h"

#include <string_view>

#include "tools/sxbuild/local_files_system.h"

namespace sx::build {

std::string ReadLocalFile(const std::string& path) {
  InputFile file(path);
  std::string bytes(file.Size(), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t n = file.Read(bytes.data() + done, bytes.size() - done);
    if (n == 0) throw BuildError("\"" + path + "\" became shorter while it was read");
    done += n;
  }
  return bytes;
}

uint32_t DosDateTimeOf(int64_t seconds) {
  std::tm local = {};
  if (!LocalTimeOf(seconds, local) || local.tm_year < 80) return (0u << 25 | 1u << 21 | 1u << 16);
  if (local.tm_year > 80 + 127) return 127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u;
  const uint32_t date = static_cast<uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
  const uint32_t time = static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  return date << 16 | time;
}

// ---- OutputSet

std::vector<std::string> RemoveStaleTemporaryOutputs(const std::string& folder) {
  constexpr std::string_view kMark = ".sxbuild-";
  std::vector<std::string> removed;
  for (const std::string& name : ListFolderNames(folder)) {
    const size_t mark = name.rfind(kMark);
    if (name[0] != '.' || mark == std::string::npos || mark == 0) continue;
    const std::string digits = name.substr(mark + kMark.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const uint32_t process = static_cast<uint32_t>(std::stoul(digits));
    // A process that exists (or that we may not look at) may still be writing its outputs.
    if (process == 0 || process == CurrentProcessId() || !ProcessIsGone(process)) continue;
    const std::string path = folder + "/" + name;
    if (LocalFileFacts(path) && RemoveLocalFile(path)) removed.push_back(name);
  }
  return removed;
}

OutputSet::OutputSet(std::string folder) : folder_(std::move(folder)) {}

OutputSet::~OutputSet() {
  if (committed_) return;
  for (Item& item : items_) {
    const std::string temp = item.file->path();
    item.file.reset();
    RemoveLocalFile(temp);
  }
}

OutputFile& OutputSet::Create(const std::string& finalName, int mode) {
  const std::string temp = folder_ + "/." + finalName + ".sxbuild-" + std::to_string(CurrentProcessId());
  RemoveLocalFile(temp);  // a leftover of an earlier build that was killed with this process ID
  items_.push_back({std::make_unique<OutputFile>(temp, mode), folder_ + "/" + finalName});
  return *items_.back().file;
}

void OutputSet::Commit() {
  // Renames only fail on what the folder holds already: look before the first one.
  for (Item& item : items_) {
    if (IsFolderEntry(item.finalPath))
      throw BuildError("\"" + item.finalPath + "\" is a folder; the output cannot take its place");
  }
  for (Item& item : items_) item.file->Finish();
  for (Item& item : items_) RenameLocalFile(item.file->path(), item.finalPath);
  committed_ = true;
  SyncFolder(folder_);  // the folder entries of the renames reach the disk too
}

// ---- FileCabStorage

OutputFile& FileCabStorage::FileOf(int cabinet) {
  while (static_cast<int>(files_.size()) <= cabinet)
    files_.push_back(&outputs_.Create(cabinetName_(static_cast<int>(files_.size())), 0644));
  return *files_[static_cast<size_t>(cabinet)];
}

void FileCabStorage::Write(int cabinet, const void* data, size_t size) { FileOf(cabinet).Write(data, size); }

}  // namespace sx::build
