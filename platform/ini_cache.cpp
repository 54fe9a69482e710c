#include "platform/ini_cache.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "host/host.h"
#include "util/str_utils.h"

namespace sx {
namespace {

struct CachedDocument {
  std::unique_ptr<TqvIniFile> document;
  bool readOnly = true;
};

struct IniCache {
  std::mutex mutex;
  std::map<std::string, CachedDocument> documents;  // by upper-cased full file name

  ~IniCache() {
    // At process end: documents still cached write their changes as they are freed (a document
    // never raises from its destructor).
    documents.clear();
  }
};

IniCache& Cache() {
  static IniCache cache;
  return cache;
}

std::atomic<bool> g_stripQuotes{true};

std::string CacheKey(std::string_view fileName) {
  return host::CurrentHost().UpperCaseLocale(IniFullFileName(fileName));
}

// IniOpenCached with the cache's lock held.
TqvIniFile* OpenLocked(IniCache& cache, std::string_view fileName, bool readOnly) {
  const std::string key = CacheKey(fileName);
  auto it = cache.documents.find(key);
  if (it != cache.documents.end() && it->second.readOnly && !readOnly) {
    cache.documents.erase(it);  // a read-only document has nothing to write
    it = cache.documents.end();
  }
  if (it == cache.documents.end()) {
    // A journal left by a failed or interrupted rewrite is finished or discarded by the first
    // access, which therefore loads the file writable: a read-only document would only read
    // through it and leave it for ever.
    if (readOnly && TqvIniFile::HasJournal(IniFullFileName(fileName))) readOnly = false;
    std::unique_ptr<TqvIniFile> document;
    try {
      document = std::make_unique<TqvIniFile>(fileName, readOnly, /*skipComments=*/true,
                                              /*skipLinesWithoutEquals=*/true,
                                              /*trimAroundEquals=*/true, g_stripQuotes.load());
    } catch (const EEngineError&) {
      return nullptr;  // the file exists but cannot be opened or read
    }
    it = cache.documents.emplace(key, CachedDocument{std::move(document), readOnly}).first;
  }
  return it->second.document.get();
}

bool WriteLocked(TqvIniFile& document, std::string_view section, std::string_view key,
                 std::string_view value) {
  if (section.empty() && key.empty() && value.empty()) return document.UpdateFile();
  document.WriteString(section, key, value);
  return true;
}

}  // namespace

std::string IniFullFileName(std::string_view fileName) {
  std::string name = TqvIniFile::ExpandFileName(fileName);
  if (name.empty()) return name;
  return host::CurrentHost().FullPath(name);
}

void SetIniStripQuotes(bool strip) { g_stripQuotes = strip; }
bool IniStripQuotes() { return g_stripQuotes; }

TqvIniFile* IniOpenCached(std::string_view fileName, bool readOnly) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  return OpenLocked(cache, fileName, readOnly);
}

std::string IniReadString(std::string_view fileName, std::string_view section,
                          std::string_view key, std::string_view def) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  TqvIniFile* document = OpenLocked(cache, fileName, true);
  return document ? document->ReadString(section, key, def) : std::string(def);
}

void IniReadSectionNames(std::string_view fileName, std::vector<std::string>& list) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  list.clear();
  if (TqvIniFile* document = OpenLocked(cache, fileName, true)) document->ReadSections(list);
}

void IniReadKeyNames(std::string_view fileName, std::string_view section,
                     std::vector<std::string>& list) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  list.clear();
  if (TqvIniFile* document = OpenLocked(cache, fileName, true))
    document->ReadSection(section, list);
}

void IniReadSectionValues(std::string_view fileName, std::string_view section,
                          std::vector<std::string>& list) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  if (TqvIniFile* document = OpenLocked(cache, fileName, true))
    document->ReadSectionValues(section, list);
}

bool IniWriteString(std::string_view fileName, std::string_view section, std::string_view key,
                    std::string_view value) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  TqvIniFile* document = OpenLocked(cache, fileName, false);
  return document && WriteLocked(*document, section, key, value);
}

void IniDeleteKey(std::string_view fileName, std::string_view section, std::string_view key) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  if (TqvIniFile* document = OpenLocked(cache, fileName, false)) document->DeleteKey(section, key);
}

bool IniWriteSectionValues(std::string_view fileName, std::string_view section,
                           const std::vector<std::string>& list) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  TqvIniFile* document = OpenLocked(cache, fileName, false);
  if (!document) return false;
  bool ok = true;
  for (const std::string& line : list) {
    const std::string key = TextBefore(line, '=');
    if (key.empty()) continue;
    ok = WriteLocked(*document, section, key, TextAfter(line, '=')) && ok;
  }
  return ok;
}

bool IniCloseFile(std::string_view fileName) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  auto it = cache.documents.find(CacheKey(fileName));
  if (it == cache.documents.end()) return true;
  const bool written = it->second.document->UpdateFile();
  cache.documents.erase(it);
  return written;
}

bool IniCloseAll(std::vector<std::string>& failed) {
  IniCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  bool written = true;
  for (auto& [name, cached] : cache.documents) {
    if (cached.document->UpdateFile()) continue;
    written = false;
    failed.push_back(cached.document->FileName());
  }
  cache.documents.clear();
  return written;
}

bool IniCloseAll() {
  std::vector<std::string> failed;
  return IniCloseAll(failed);
}

}  // namespace sx
