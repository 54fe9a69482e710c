#include "host/posix/registry.h"

#include <fcntl.h>
#include <unistd.h>

#include "host/posix/registry_hive.h"
#include "host/posix/thread_error.h"

namespace sx::host {
namespace {

// The keys the three files are relative to, as a new file's header names them.
constexpr const char* kMachineRoot = "REGISTRY\\\\Machine";
constexpr const char* kUserRoot = "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000";
constexpr const char* kDefaultUserRoot = "REGISTRY\\\\User\\\\.Default";
// What a new file says about the machine when no other file of it tells: the engine is a 32-bit
// Windows program.
constexpr const char* kDefaultArch = "#arch=win32";

constexpr std::u16string_view kLinkValue = u"SymbolicLinkValue";
constexpr size_t kMaxDepth = 512;    // Windows' limit of key levels
constexpr int kMaxLinksFollowed = 16;

bool IsStringType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return bytes;
}

// The UTF-16 text of stored bytes; an odd last byte is no whole unit and is left out.
std::u16string Utf16OfBytes(std::string_view bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return text;
}

// The names of a key path; empty names (a leading, trailing or doubled backslash) are skipped.
std::vector<std::u16string> SplitPath(std::u16string_view path) {
  std::vector<std::u16string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t sep = path.find(u'\\', start);
    if (sep == std::u16string_view::npos) sep = path.size();
    if (sep > start) names.emplace_back(path.substr(start, sep - start));
    start = sep + 1;
  }
  return names;
}

// The "#arch=..." line of a registry file's header, if it has one. Reads only the header.
std::optional<std::string> ArchOption(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char buffer[4096];
  ssize_t got = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  if (got <= 0) return std::nullopt;
  std::string_view text(buffer, static_cast<size_t>(got));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) break;  // a cut-off line tells nothing
    std::string_view line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with('[')) break;
    if (line == "#arch=win32" || line == "#arch=win64") return std::string(line);
    pos = nl + 1;
  }
  return std::nullopt;
}

}  // namespace

struct Registry::Target {
  RegistryHive* hive = nullptr;  // nullptr: HKEY_USERS itself
  std::vector<std::u16string> path;
};

struct Registry::Found {
  RegistryHive* hive;
  HiveKey* key;
  // With `create`: the names below `key` that are missing (none of them can be a link), for the
  // caller to make through the hive.
  std::vector<std::u16string> missing;
};

Registry::Registry(Files files, const CodePage& ansi, bool hklmWritable, bool deleteTrees)
    : files_(std::move(files)), ansi_(ansi), hklmWritable_(hklmWritable), deleteTrees_(deleteTrees) {
  auto make = [this](const std::string& path, const char* root) {
    return std::make_unique<RegistryHive>(path, root,
                                          [this, path] { return NewFileOptions(path); });
  };
  system_ = make(files_.system, kMachineRoot);
  user_ = make(files_.user, kUserRoot);
  userdef_ = make(files_.userdef, kDefaultUserRoot);
}

Registry::~Registry() = default;

std::vector<std::string> Registry::NewFileOptions(const std::string& except) const {
  for (const std::string* path : {&files_.system, &files_.user, &files_.userdef}) {
    if (*path == except) continue;
    if (auto arch = ArchOption(*path)) return {*arch};
  }
  return {kDefaultArch};
}

bool Registry::Writable(const RegistryHive* hive) const {
  return hklmWritable_ || hive != system_.get();
}

std::optional<Registry::Target> Registry::Resolve(RegRoot root, std::string_view subKey,
                                                  bool forWrite) {
  std::vector<std::u16string> names = SplitPath(ansi_.ToUtf16(subKey));
  Target target;
  switch (root) {
    case RegRoot::kLocalMachine:
      target.hive = system_.get();
      break;
    case RegRoot::kClassesRoot:
      target.hive = system_.get();
      target.path = {u"Software", u"Classes"};
      break;
    case RegRoot::kCurrentUser:
      target.hive = user_.get();
      break;
    case RegRoot::kUsers:
      if (names.empty()) return target;  // HKEY_USERS itself
      if (!NamesEqual(names.front(), u".Default")) {
        // No other user's hive exists; making keys beside them is not allowed.
        Fail(forWrite ? kErrorAccessDenied : kErrorFileNotFound);
        return std::nullopt;
      }
      names.erase(names.begin());
      target.hive = userdef_.get();
      break;
    default:
      Fail(kErrorInvalidHandle);
      return std::nullopt;
  }
  if (forWrite && !Writable(target.hive)) {
    Fail(kErrorAccessDenied);
    return std::nullopt;
  }
  for (auto& name : names) target.path.push_back(std::move(name));
  if (target.path.size() > kMaxDepth) {
    Fail(kErrorInvalidParameter);
    return std::nullopt;
  }
  target.hive->Refresh();
  return target;
}

std::optional<Registry::Target> Registry::LinkTarget(const HiveKey& link) {
  const HiveValue* value = link.FindValue(kLinkValue);
  if (!value || value->type != kRegLink) return std::nullopt;
  std::u16string text = Utf16OfBytes(value->data);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  std::vector<std::u16string> names = SplitPath(text);
  // Link targets are absolute kernel paths; find the hive whose root they start with.
  for (RegistryHive* hive : {system_.get(), user_.get(), userdef_.get()}) {
    hive->Refresh();
    std::vector<std::u16string> root = SplitPath(hive->Content().RelativeToPath());
    if (root.empty() || root.size() > names.size()) continue;
    bool match = true;
    for (size_t i = 0; i < root.size() && match; ++i) match = NamesEqual(root[i], names[i]);
    if (!match) continue;
    Target target;
    target.hive = hive;
    target.path.assign(std::make_move_iterator(names.begin() + static_cast<std::ptrdiff_t>(root.size())),
                       std::make_move_iterator(names.end()));
    return target;
  }
  return std::nullopt;
}

std::optional<Registry::Found> Registry::Walk(const Target& start, size_t count, bool followLast,
                                              bool create) {
  RegistryHive* hive = start.hive;
  std::vector<std::u16string> path(start.path.begin(),
                                   start.path.begin() + static_cast<std::ptrdiff_t>(count));
  HiveKey* key = &hive->Root();
  int linksFollowed = 0;
  for (size_t i = 0; i < path.size();) {
    HiveKey* child = key->FindChild(path[i]);
    if (!child) {
      if (!create) {
        Fail(kErrorFileNotFound);
        return std::nullopt;
      }
      if (!Writable(hive)) {
        Fail(kErrorAccessDenied);
        return std::nullopt;
      }
      return Found{hive, key,
                   std::vector<std::u16string>(
                       std::make_move_iterator(path.begin() + static_cast<std::ptrdiff_t>(i)),
                       std::make_move_iterator(path.end()))};
    }
    key = child;
    ++i;
    if (key->link && (i < path.size() || followLast)) {
      std::optional<Target> target = LinkTarget(*key);
      if (!target) continue;  // no usable target: an ordinary key
      if (++linksFollowed > kMaxLinksFollowed) {
        Fail(kErrorFileNotFound);
        return std::nullopt;
      }
      for (size_t k = i; k < path.size(); ++k) target->path.push_back(std::move(path[k]));
      if (target->path.size() > kMaxDepth) {
        Fail(kErrorInvalidParameter);
        return std::nullopt;
      }
      path = std::move(target->path);
      hive = target->hive;
      key = &hive->Root();
      i = 0;
    }
  }
  return Found{hive, key, {}};
}

bool Registry::KeyExists(RegRoot root, std::string_view subKey) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, false);
  if (!target) return false;
  if (!target->hive) return true;
  return Walk(*target, target->path.size(), true, false).has_value();
}

bool Registry::CreateKey(RegRoot root, std::string_view subKey) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, true);
  if (!target) return false;
  if (!target->hive) return true;  // HKEY_USERS exists
  auto found = Walk(*target, target->path.size(), true, true);
  if (!found) return false;
  if (found->missing.empty()) return true;
  HiveChange change;
  change.kind = HiveChange::Kind::kCreateKey;
  change.path = KeyPath(*found->key);
  for (auto& name : found->missing) change.path.push_back(std::move(name));
  change.time = NowFileTimeTicks();
  found->hive->Apply(std::move(change));
  return true;
}

bool Registry::DeleteKey(RegRoot root, std::string_view subKey) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, true);
  if (!target) return false;
  // A root (HKLM, HKU\.Default, ...) cannot be deleted; neither can HKCR's own key through it.
  size_t own = target->path.size();
  size_t fixed = root == RegRoot::kClassesRoot ? 2 : 0;
  if (!target->hive || own <= fixed) return Fail(kErrorAccessDenied);
  auto parent = Walk(*target, own - 1, true, false);
  if (!parent) return false;
  // The key itself is not followed when it is a link: the link is what gets deleted.
  HiveKey* key = parent->key->FindChild(target->path.back());
  if (!key) return Fail(kErrorFileNotFound);
  if (!key->Children().empty() && !deleteTrees_) return Fail(kErrorAccessDenied);
  if (!Writable(parent->hive)) return Fail(kErrorAccessDenied);
  HiveChange change;
  change.kind = HiveChange::Kind::kDeleteKey;
  change.path = KeyPath(*key);
  change.time = NowFileTimeTicks();
  change.withSubKeys = deleteTrees_;
  parent->hive->Apply(std::move(change));
  return true;
}

std::optional<RegValue> Registry::QueryValue(RegRoot root, std::string_view subKey,
                                             std::string_view name) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, false);
  if (!target) return std::nullopt;
  if (!target->hive) {
    Fail(kErrorFileNotFound);
    return std::nullopt;
  }
  auto found = Walk(*target, target->path.size(), true, false);
  if (!found) return std::nullopt;
  const HiveValue* value = found->key->FindValue(ansi_.ToUtf16(name));
  if (!value) {
    Fail(kErrorFileNotFound);
    return std::nullopt;
  }
  RegValue result;
  result.type = value->type;
  result.data = IsStringType(value->type) ? ansi_.FromUtf16(Utf16OfBytes(value->data)) : value->data;
  return result;
}

bool Registry::SetValue(RegRoot root, std::string_view subKey, std::string_view name,
                        const RegValue& value) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, true);
  if (!target) return false;
  if (!target->hive) return Fail(kErrorAccessDenied);
  auto found = Walk(*target, target->path.size(), true, false);
  if (!found) return false;
  if (!Writable(found->hive)) return Fail(kErrorAccessDenied);
  HiveChange change;
  change.kind = HiveChange::Kind::kSetValue;
  change.path = KeyPath(*found->key);
  change.name = ansi_.ToUtf16(name);
  change.type = value.type;
  change.data = IsStringType(value.type) ? Utf16Bytes(ansi_.ToUtf16(value.data)) : value.data;
  change.time = NowFileTimeTicks();
  found->hive->Apply(std::move(change));
  return true;
}

bool Registry::DeleteValue(RegRoot root, std::string_view subKey, std::string_view name) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, true);
  if (!target) return false;
  if (!target->hive) return Fail(kErrorAccessDenied);
  auto found = Walk(*target, target->path.size(), true, false);
  if (!found) return false;
  if (!Writable(found->hive)) return Fail(kErrorAccessDenied);
  HiveChange change;
  change.kind = HiveChange::Kind::kDeleteValue;
  change.path = KeyPath(*found->key);
  change.name = ansi_.ToUtf16(name);
  change.time = NowFileTimeTicks();
  if (!found->hive->Apply(std::move(change))) return Fail(kErrorFileNotFound);
  return true;
}

std::optional<std::vector<std::string>> Registry::EnumKeys(RegRoot root, std::string_view subKey) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, false);
  if (!target) return std::nullopt;
  if (!target->hive) return std::vector<std::string>{".Default"};
  auto found = Walk(*target, target->path.size(), true, false);
  if (!found) return std::nullopt;
  std::vector<std::string> names;
  names.reserve(found->key->Children().size());
  for (const auto& child : found->key->Children()) names.push_back(ansi_.FromUtf16(child->Name()));
  return names;
}

std::optional<std::vector<RegNamedValue>> Registry::EnumValues(RegRoot root,
                                                               std::string_view subKey) {
  std::lock_guard lock(mutex_);
  auto target = Resolve(root, subKey, false);
  if (!target) return std::nullopt;
  if (!target->hive) return std::vector<RegNamedValue>{};
  auto found = Walk(*target, target->path.size(), true, false);
  if (!found) return std::nullopt;
  std::vector<RegNamedValue> values;
  values.reserve(found->key->Values().size());
  for (const auto& value : found->key->Values()) {
    RegNamedValue named;
    named.name = ansi_.FromUtf16(value.name);
    named.value.type = value.type;
    named.value.data =
        IsStringType(value.type) ? ansi_.FromUtf16(Utf16OfBytes(value.data)) : value.data;
    values.push_back(std::move(named));
  }
  return values;
}

bool Registry::Flush() {
  std::lock_guard lock(mutex_);
  bool ok = true;
  uint32_t firstError = kErrorSuccess;
  for (RegistryHive* hive : {system_.get(), user_.get(), userdef_.get()}) {
    if (!hive->Flush()) {
      if (ok) firstError = ThreadError();
      ok = false;
    }
  }
  if (!ok) ThreadError() = firstError;
  return ok;
}

}  // namespace sx::host
