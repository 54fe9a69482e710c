// One registry file of the simulated machine in memory, and the tree of keys it holds.
//
// `HiveKey` is a key: its name as written, its values in stored order, its last-write time
// (FILETIME), class, link flag and any key options we do not interpret (kept so they survive a
// save). Names are equal as Windows compares them: each UTF-16 unit upper-cased. Sub-keys are
// kept in the order Wine keeps and writes them, by lower-cased name (so "_x" comes before "a");
// the sort key is the lower case of the upper case, which never separates two names Windows
// calls equal. They live in a tree ordered by it, so finding, adding and removing one costs
// O(log n) whatever order they come in (a key may have hundreds of thousands of sub-keys).
//
// `RegistryHive` ties a tree to its file, which other processes (a second tool, a program the
// setup started) may write too. It is loaded on first use and reloaded whenever the file changed
// on disk (by modification time, size and inode). Every change made here is kept as a
// `HiveChange` until it is written, so that after a reload this process's changes since its last
// Flush are made again on the newer content. Flush takes an exclusive lock (flock on "<file>.lock"
// beside the file), reloads and re-applies when the file changed since it was read, writes the
// tree atomically (new file, fsync, rename) and releases the lock: no committed change of any
// process is lost. A missing file is an empty hive; the file is made by the first Flush after a
// change. A damaged file raises MachineError (file and line) on every use until it is repaired;
// a hive that failed to load is never written back.
//
// Not safe across threads by itself; `Registry` (registry.h) holds one lock around every use.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/posix/codepage.h"

namespace sx::host {

// The current time as a FILETIME (100 ns ticks since 1601-01-01 UTC).
uint64_t NowFileTimeTicks();

// Windows case folding of one UTF-16 unit (the upper case), with an ASCII fast path.
inline char16_t FoldNameUnit(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  return UnicodeUpper(c);
}
// The unit as sub-keys are ordered: the lower case of its upper case.
inline char16_t SortNameUnit(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  return UnicodeLower(UnicodeUpper(c));
}
std::u16string NameSortKey(std::u16string_view name);
// Equal ignoring case, as key and value names compare.
bool NamesEqual(std::u16string_view a, std::u16string_view b);

struct HiveValue {
  std::u16string name;  // empty: the default value
  uint32_t type = 0;
  std::string data;  // raw bytes; the string types hold UTF-16LE text with its NUL(s)
};

class HiveKey;

// Orders sub-keys by sort key; also compares with a sort key made for a name being looked up.
struct SubKeyOrder {
  using is_transparent = void;
  struct Key {
    std::u16string_view sortKey;
  };
  bool operator()(const std::unique_ptr<HiveKey>& a, const std::unique_ptr<HiveKey>& b) const;
  bool operator()(const std::unique_ptr<HiveKey>& a, Key b) const;
  bool operator()(Key a, const std::unique_ptr<HiveKey>& b) const;
};

class HiveKey {
 public:
  // Sub-keys in Wine's order (of two names with one sort key, the one added later first).
  using SubKeys = std::multiset<std::unique_ptr<HiveKey>, SubKeyOrder>;

  HiveKey(std::u16string_view name, HiveKey* parent, uint64_t modified);
  HiveKey(const HiveKey&) = delete;
  HiveKey& operator=(const HiveKey&) = delete;

  const std::u16string& Name() const { return name_; }
  HiveKey* Parent() const { return parent_; }

  // Sub-keys in Wine's order.
  const SubKeys& Children() const { return children_; }
  HiveKey* FindChild(std::u16string_view name) const;
  // The sub-key of that name, made (with `modified` as its time) when missing.
  HiveKey* AddChild(std::u16string_view name, uint64_t modified, bool* created = nullptr);
  // Detaches the sub-key (with its own sub-keys) and returns it.
  std::unique_ptr<HiveKey> RemoveChild(const HiveKey* child);

  // Values in stored order.
  const std::vector<HiveValue>& Values() const { return values_; }
  const HiveValue* FindValue(std::u16string_view name) const;
  // Replaces the value of that name in place, or appends it.
  void SetValue(std::u16string_view name, uint32_t type, std::string data);
  bool DeleteValue(std::u16string_view name);

  uint64_t modified = 0;                  // FILETIME ticks of the last change
  std::optional<std::u16string> keyClass;  // the class name (#class)
  bool link = false;                      // a symbolic link (#link, target in SymbolicLinkValue)
  std::vector<std::string> otherOptions;  // "#..." key options kept as read

 private:
  friend struct SubKeyOrder;
  // The sub-keys whose sort key is that of the name (almost always one at most).
  std::pair<SubKeys::const_iterator, SubKeys::const_iterator> SameSortKey(
      std::u16string_view name) const;
  // The sub-key of that name, or end().
  SubKeys::const_iterator Locate(std::u16string_view name) const;

  std::u16string name_, sortKey_;
  HiveKey* parent_;
  SubKeys children_;
  std::vector<HiveValue> values_;
};

// One change to a hive, kept until it is written so it can be made again on newer content.
// A change whose key has gone meanwhile (another process deleted it) is dropped on re-applying,
// as it would have been had it come first; key creation makes every missing key of its path.
struct HiveChange {
  enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = Kind::kCreateKey;
  std::vector<std::u16string> path;  // the key's names from the hive's root
  std::u16string name;               // the value's name
  uint32_t type = 0;
  std::string data;
  uint64_t time = 0;          // FILETIME ticks: the last-write time it gives keys
  bool withSubKeys = false;  // kDeleteKey: the key goes with its sub-keys (Windows 9x)
};

// The names from the hive's root down to the key.
std::vector<std::u16string> KeyPath(const HiveKey& key);

// What one registry file holds.
struct HiveContent {
  // The text after ";; All keys relative to " as written (escaped: "REGISTRY\\\\Machine").
  std::string relativeTo;
  // Global options before the first key, as written ("#arch=win64").
  std::vector<std::string> globalOptions;
  std::unique_ptr<HiveKey> root;

  HiveContent();
  // The unescaped key path the file is relative to ("REGISTRY\Machine").
  std::u16string RelativeToPath() const;
};

class RegistryHive {
 public:
  // `relativeTo` and `newFileOptions` are what a new file (one that does not exist yet) gets in
  // its header: the escaped root path and its global options (asked for when the file is found
  // missing, so they may depend on the machine's other files).
  RegistryHive(std::string path, std::string relativeTo,
               std::function<std::vector<std::string>()> newFileOptions);
  ~RegistryHive();

  const std::string& Path() const { return path_; }

  // Brings the tree up to date with the file: loads it on first use, reloads it when the file
  // changed on disk and makes this process's unsaved changes again. Raises MachineError when the
  // file is damaged or cannot be read.
  void Refresh();
  bool Loaded() const { return loaded_; }

  HiveKey& Root() { return *content_.root; }
  const HiveContent& Content() const { return content_; }

  // Makes the change and keeps it for Flush. False (nothing changed, nothing kept) when its key,
  // or the value or sub-key it deletes, is not there.
  bool Apply(HiveChange change);
  // Makes the next Flush write the tree as it is (no change to make again after a reload).
  void MarkChanged() { dirty_ = true; }
  bool HasUnsavedChanges() const { return dirty_; }

  // Writes the tree when it has unsaved changes, under the file's lock: reloaded (and this
  // process's changes made again) when another process wrote the file since, then a new file
  // beside the old one, synced, renamed over it, and the folder synced. False on failure
  // (ThreadError() tells why; the old file is left as it was and the changes are kept).
  bool Flush();

 private:
  struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t mtimeNs = 0;
    friend bool operator==(const Identity&, const Identity&) = default;
  };
  static Identity IdentityOf(const struct ::stat& st);
  Identity CurrentIdentity() const;
  void Load();
  // Loads the file again and makes the kept changes on its content.
  void Reload();
  static bool Make(HiveKey& root, const HiveChange& change);

  std::string path_;
  std::string newRelativeTo_;
  std::function<std::vector<std::string>()> newFileOptions_;
  HiveContent content_;
  Identity identity_;
  std::vector<HiveChange> unsaved_;  // made since the last Flush, in order
  bool loaded_ = false;
  bool dirty_ = false;
};

}  // namespace sx::host
