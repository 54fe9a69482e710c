#include "util/ini_file.h"

#include <algorithm>
#include <climits>

#include "host/ini_lines.h"
#include "util/file_io.h"
#include "util/folder_path.h"
#include "util/line_io.h"
#include "util/number_text.h"

namespace sx {
namespace {

constexpr std::string_view kJournalSuffix = ".sxjournal";

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Removes matching quotes (" or ') around the value: the "=" must come after the first character
// and be followed by at least two characters, the first of which equals the line's last one.
void StripValueQuotes(std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos || eq == 0 || line.size() - eq - 1 < 2) return;
  char quote = line.back();
  if (line[eq + 1] != quote || (quote != '"' && quote != '\'')) return;
  line.pop_back();
  line.erase(eq + 1, 1);
}

// The text before the first "=", and whether there is one.
std::string_view NamePart(std::string_view line, bool* hasEquals = nullptr) {
  size_t eq = line.find('=');
  if (hasEquals) *hasEquals = eq != std::string_view::npos;
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

std::string Fold(std::string_view name) { return host::CurrentHost().UpperCaseLocale(name); }

// A decimal integer in the 32-bit signed range, or `def`.
int32_t DecimalOrDefault(std::string_view text, int32_t def) {
  // ParseUInt returns its fallback for text that is not a number: two different fallbacks tell.
  const uint32_t a = ParseUInt(text, 0), b = ParseUInt(text, 1);
  if (a != b) return def;
  // ParseUInt also takes unsigned values above the signed range; an integer read does not.
  if (text.find('-') == std::string_view::npos && a > static_cast<uint32_t>(INT32_MAX)) return def;
  return static_cast<int32_t>(a);
}

bool WriteInPlace(host::File& file, std::string_view content) {
  return file.Seek(0) && file.Write(content.data(), content.size()) && file.Truncate() &&
         file.Sync();
}

}  // namespace

TqvIniFile::TqvIniFile(std::string_view fileName, bool readOnly, bool skipComments,
                       bool skipLinesWithoutEquals, bool trimAroundEquals, bool stripQuotes)
    : readOnly_(readOnly),
      skipComments_(skipComments),
      skipLinesWithoutEquals_(skipLinesWithoutEquals),
      trimAroundEquals_(trimAroundEquals),
      stripQuotes_(stripQuotes) {
  SetFileName(fileName);
}

TqvIniFile::~TqvIniFile() {
  try {
    UpdateFile();
  } catch (...) {
    // A destructor must not raise; UpdateFile reports its own failures by its result.
  }
}

std::string TqvIniFile::ExpandFileName(std::string_view fileName) {
  std::string name(fileName);
  if (name.empty() || !FolderOf(name).empty()) return name;
  std::string folder = host::CurrentHost().Facts().windowsFolder;
  if (folder.empty()) return name;
  if (folder.back() != '\\') folder += '\\';
  return folder + name;
}

void TqvIniFile::SetFileName(std::string_view fileName) {
  UpdateFile();
  handle_.reset();
  sectionIndex_.clear();
  sections_.clear();
  fileName_ = ExpandFileName(fileName);
  if (!fileName_.empty()) Load();
  modified_ = false;
}

void TqvIniFile::SetDuplicateSectionHandler(DuplicateSectionHandler handler, intptr_t userData) {
  duplicateHandler_ = handler;
  duplicateData_ = userData;
}

std::string TqvIniFile::JournalName(std::string_view fileName) {
  return std::string(fileName) + std::string(kJournalSuffix);
}

bool TqvIniFile::HasJournal(std::string_view fullFileName) {
  if (fullFileName.empty()) return false;
  auto info = host::CurrentHost().GetFileInfo(JournalName(fullFileName));
  return info && !(info->attributes & host::kAttrDirectory);
}

bool TqvIniFile::JournalIsCurrent() {
  auto& host = host::CurrentHost();
  const std::string journal = JournalName(fileName_);
  auto journalInfo = host.GetFileInfo(journal);
  if (!journalInfo || (journalInfo->attributes & host::kAttrDirectory)) return false;
  auto fileInfo = host.GetFileInfo(fileName_);
  if (fileInfo && fileInfo->lastWriteTime >= journalInfo->lastWriteTime) return true;
  if (!readOnly_) host.DeleteFile(journal);
  return false;
}

void TqvIniFile::Load() {
  modified_ = false;
  handle_.reset();
  auto& host = host::CurrentHost();
  if (!host.GetFileInfo(fileName_)) {  // a missing file is an empty document
    if (!readOnly_ && HasJournal(fileName_)) host.DeleteFile(JournalName(fileName_));
    return;
  }
  // A writable document keeps other writers out for as long as it lives; a read-only one lets
  // everybody read and write.
  const host::OpenOptions options = readOnly_
                                        ? host::OpenOptions{host::OpenMode::kRead, false}
                                        : host::OpenOptions{host::OpenMode::kOpenAlways, true};
  std::unique_ptr<host::File> file = host.OpenFile(fileName_, options);
  if (!file) throw EIniFileError("Cannot open file " + fileName_);

  std::unique_ptr<host::File> journalFile;
  if (JournalIsCurrent()) {
    const std::string journal = JournalName(fileName_);
    // A writable document holds the file, so it can finish the interrupted rewrite now.
    std::optional<std::string> content;
    if (!readOnly_) content = ReadFileContent(journal);
    if (content && WriteInPlace(*file, *content)) {
      host.DeleteFile(journal);
      file->Seek(0);
    } else {
      journalFile = host.OpenFile(journal, {host::OpenMode::kRead, false});
    }
  }
  Parse(journalFile ? *journalFile : *file);
  if (!readOnly_) handle_ = std::move(file);
}

void TqvIniFile::Parse(host::File& file) {
  LineReader reader(file);
  std::string line;
  Section* current = nullptr;
  while (reader.ReadLine(line)) {
    if (line.size() == 1 && line[0] == '\x1A') line.clear();  // an end-of-file mark
    host::TrimIniControls(line);
    if (skipComments_ && !line.empty() && line[0] == ';') line.clear();
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      // Every header opens a section of its own here; duplicates are settled after the last line.
      Section& section = sections_.emplace_back();
      section.name = line.substr(1, line.size() - 2);
      section.upperName = Fold(section.name);
      current = &section;
      continue;
    }
    if (trimAroundEquals_) host::TrimAroundFirstEquals(line);
    if (stripQuotes_) StripValueQuotes(line);
    if (skipLinesWithoutEquals_ && line.find('=') == std::string::npos) continue;
    if (current) AppendLine(*current, std::move(line));
    line = std::string();
  }
  if (reader.Failed()) {
    sections_.clear();
    throw EIniFileError("Cannot read file " + fileName_);
  }
  DropDuplicateSections();
}

void TqvIniFile::DropDuplicateSections() {
  sectionIndex_.clear();
  for (auto it = sections_.begin(); it != sections_.end();) {
    auto [found, inserted] = sectionIndex_.try_emplace(it->upperName, it);
    if (inserted) {
      ++it;
      continue;
    }
    auto first = found->second;
    const bool keepFirst =
        !duplicateHandler_ || duplicateHandler_(duplicateData_, first->name, first->lines, it->lines);
    if (keepFirst) {
      it = sections_.erase(it);
    } else {
      found->second = it;
      sections_.erase(first);  // earlier in the list than `it`, which stays valid
      ++it;
    }
  }
}

TqvIniFile::Section* TqvIniFile::FindSection(std::string_view name, bool create) {
  std::string upper = Fold(name);
  if (auto it = sectionIndex_.find(upper); it != sectionIndex_.end()) return &*it->second;
  if (!create) return nullptr;
  Section& section = sections_.emplace_back();
  section.name = std::string(name);
  section.upperName = upper;
  sectionIndex_.emplace(std::move(upper), std::prev(sections_.end()));
  return &section;
}

TqvIniFile::KeySlot* TqvIniFile::FindSlot(Section& section, std::string_view key) {
  auto it = section.keys.find(Fold(key));
  return it == section.keys.end() ? nullptr : &it->second;
}

void TqvIniFile::AppendLine(Section& section, std::string line) {
  bool hasEquals = false;
  std::string_view name = NamePart(line, &hasEquals);
  std::string upper = hasEquals ? Fold(name) : std::string();
  section.lines.push_back(std::move(line));
  if (!hasEquals) return;  // a line without "=" has no name to be found by
  auto position = std::prev(section.lines.end());
  auto [slot, inserted] = section.keys.try_emplace(std::move(upper), KeySlot{position, {}});
  if (!inserted) slot->second.more.push_back(position);
}

int TqvIniFile::FindKey(std::string_view section, std::string_view key, const Lines** lines,
                        bool create) {
  Section* found = FindSection(section, create);
  if (lines) *lines = found ? &found->lines : nullptr;
  if (!found) return -1;
  KeySlot* slot = FindSlot(*found, key);
  if (!slot) return -1;
  return static_cast<int>(std::distance(found->lines.begin(), slot->first));
}

std::string TqvIniFile::ReadString(std::string_view section, std::string_view key,
                                   std::string_view def) {
  Section* found = FindSection(section, false);
  if (!found) return std::string(def);
  KeySlot* slot = FindSlot(*found, key);
  if (!slot) return std::string(def);
  const std::string& line = *slot->first;
  return line.substr(line.find('=') + 1);
}

void TqvIniFile::WriteString(std::string_view section, std::string_view key,
                             std::string_view value) {
  if (key.empty()) {
    if (!section.empty() || !value.empty()) {
      EraseSection(section);
    } else {
      UpdateFile();
    }
    return;
  }
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  line.append(key).append("=").append(value);
  Section& found = *FindSection(section, true);
  if (KeySlot* slot = FindSlot(found, key)) {
    if (*slot->first != line) {
      *slot->first = std::move(line);  // same name, so the slot stays where it is
      modified_ = true;
    }
    return;
  }
  AppendLine(found, std::move(line));
  modified_ = true;
}

int32_t TqvIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) {
  const std::string text = ReadString(section, key, "");
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::string_view digits = std::string_view(text).substr(2, 255);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsHexDigit)) return def;
    const int32_t value = HexToInt(digits);
    // HexToInt gives 0 for more than 32 bits as well; only zeros really are 0.
    if (value == 0 && digits.find_first_not_of('0') != std::string_view::npos) return def;
    return value;
  }
  return DecimalOrDefault(text, def);
}

void TqvIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

bool TqvIniFile::ReadBool(std::string_view section, std::string_view key, bool def) {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TqvIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TqvIniFile::ReadSection(std::string_view section, StringList& list) {
  Section* found = FindSection(section, false);
  if (!found) return;
  for (const std::string& line : found->lines) list.emplace_back(NamePart(line));
}

void TqvIniFile::ReadSections(StringList& list) {
  list.clear();
  for (const Section& section : sections_) list.push_back(section.name);
}

void TqvIniFile::ReadSectionValues(std::string_view section, StringList& list) {
  Section* found = FindSection(section, false);
  if (!found) return;
  StringList result(found->lines.begin(), found->lines.end());
  for (std::string& line : list) {
    if (!FindSlot(*found, NamePart(line))) result.push_back(std::move(line));
  }
  list = std::move(result);
}

void TqvIniFile::WriteSectionValues(std::string_view section, const StringList& list) {
  for (const std::string& line : list) {
    bool hasEquals = false;
    std::string_view name = NamePart(line, &hasEquals);
    if (!hasEquals || name.empty()) continue;
    WriteString(section, name, std::string_view(line).substr(name.size() + 1));
  }
}

void TqvIniFile::EraseSection(std::string_view section) {
  auto it = sectionIndex_.find(Fold(section));
  if (it == sectionIndex_.end()) return;
  sections_.erase(it->second);
  sectionIndex_.erase(it);
  modified_ = true;
}

void TqvIniFile::DeleteKey(std::string_view section, std::string_view key) {
  Section& found = *FindSection(section, true);
  auto it = found.keys.find(Fold(key));
  if (it == found.keys.end()) return;
  KeySlot& slot = it->second;
  found.lines.erase(slot.first);
  if (slot.more.empty()) {
    found.keys.erase(it);
  } else {
    slot.first = slot.more.front();
    slot.more.erase(slot.more.begin());
  }
  modified_ = true;
}

void TqvIniFile::GetStrings(StringList& list) {
  for (const Section& section : sections_) {
    if (section.lines.empty()) continue;
    list.push_back("[" + section.name + "]");
    list.insert(list.end(), section.lines.begin(), section.lines.end());
    list.emplace_back();
  }
}

std::string TqvIniFile::Serialize() const {
  size_t size = 0;
  for (const Section& section : sections_) {
    if (section.lines.empty()) continue;
    size += section.name.size() + 6;
    for (const std::string& line : section.lines) size += line.size() + 2;
  }
  std::string content;
  content.reserve(size);
  for (const Section& section : sections_) {
    if (section.lines.empty()) continue;
    content.append("[").append(section.name).append("]\r\n");
    for (const std::string& line : section.lines) sx::AppendLine(content, line);
    content.append("\r\n");
  }
  return content;
}

bool TqvIniFile::UpdateFile() {
  if (!modified_) return true;
  modified_ = false;
  if (fileName_.empty() || readOnly_) return false;
  auto& host = host::CurrentHost();
  if (!handle_) {
    CreateFolderPath(FolderOf(host.FullPath(fileName_)));
    handle_ = host.OpenFile(fileName_, {host::OpenMode::kOpenAlways, true});
    if (!handle_) return false;
  }
  const std::string content = Serialize();
  const std::string journal = JournalName(fileName_);
  const bool journaled = WriteFileAtomic(journal, content);
  // Without room for the journal the rewrite would most likely stop half-way: keep the old file.
  if (!journaled && host.LastError() == host::kErrorDiskFull) return false;
  if (!WriteInPlace(*handle_, content)) return false;  // the journal restores it at the next load
  // A journal that stays would be taken for an interrupted rewrite: the caller must know.
  return !journaled || host.DeleteFile(journal);
}

}  // namespace sx
