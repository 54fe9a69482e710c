#include "host/posix/registry_hive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "host/host.h"
#include "host/posix/thread_error.h"
#include "host/posix/wine_reg_format.h"

namespace sx::host {
namespace {

// <0, 0, >0 comparing a sort key with a name whose key is made on the fly.
int CompareSortKey(std::u16string_view key, std::u16string_view name) {
  size_t n = std::min(key.size(), name.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t a = key[i], b = SortNameUnit(name[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return key.size() < name.size() ? -1 : key.size() > name.size() ? 1 : 0;
}

std::string ErrnoText(int err) { return std::strerror(err); }

// An exclusive lock on the lock file beside a registry file, held while the file is read,
// changed and replaced. The lock file stays: removing it would let a waiter lock a file that is
// gone while a newcomer locks a new one.
class HiveFileLock {
 public:
  explicit HiveFileLock(const std::string& hivePath) {
    fd_ = ::open((hivePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
  ~HiveFileLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }
  HiveFileLock(const HiveFileLock&) = delete;
  HiveFileLock& operator=(const HiveFileLock&) = delete;
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace

std::vector<std::u16string> KeyPath(const HiveKey& key) {
  std::vector<std::u16string> path;
  for (const HiveKey* at = &key; at->Parent(); at = at->Parent()) path.push_back(at->Name());
  return {path.rbegin(), path.rend()};
}

uint64_t NowFileTimeTicks() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 10000000u + static_cast<uint64_t>(ts.tv_nsec) / 100u +
         116444736000000000ull;
}

std::u16string NameSortKey(std::u16string_view name) {
  std::u16string key(name.size(), u'\0');
  for (size_t i = 0; i < name.size(); ++i) key[i] = SortNameUnit(name[i]);
  return key;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldNameUnit(a[i]) != FoldNameUnit(b[i])) return false;
  return true;
}

// ---- HiveKey

HiveKey::HiveKey(std::u16string_view name, HiveKey* parent, uint64_t modified)
    : modified(modified), name_(name), sortKey_(NameSortKey(name)), parent_(parent) {}

bool SubKeyOrder::operator()(const std::unique_ptr<HiveKey>& a,
                             const std::unique_ptr<HiveKey>& b) const {
  return a->sortKey_ < b->sortKey_;
}
bool SubKeyOrder::operator()(const std::unique_ptr<HiveKey>& a, Key b) const {
  return std::u16string_view(a->sortKey_) < b.sortKey;
}
bool SubKeyOrder::operator()(Key a, const std::unique_ptr<HiveKey>& b) const {
  return a.sortKey < std::u16string_view(b->sortKey_);
}

std::pair<HiveKey::SubKeys::const_iterator, HiveKey::SubKeys::const_iterator> HiveKey::SameSortKey(
    std::u16string_view name) const {
  // The key is made once per lookup rather than per comparison; names are short.
  thread_local std::u16string key;
  key.resize(name.size());
  for (size_t i = 0; i < name.size(); ++i) key[i] = SortNameUnit(name[i]);
  return children_.equal_range(SubKeyOrder::Key{key});
}

HiveKey::SubKeys::const_iterator HiveKey::Locate(std::u16string_view name) const {
  for (auto [at, end] = SameSortKey(name); at != end; ++at)
    if (NamesEqual((*at)->name_, name)) return at;
  return children_.end();
}

HiveKey* HiveKey::FindChild(std::u16string_view name) const {
  auto at = Locate(name);
  return at == children_.end() ? nullptr : at->get();
}

HiveKey* HiveKey::AddChild(std::u16string_view name, uint64_t time, bool* created) {
  if (created) *created = false;
  // Keys mostly arrive in order (a file Wine wrote): then the end is the place, found at once.
  auto place = children_.end();
  if (!children_.empty() && CompareSortKey((*children_.rbegin())->sortKey_, name) >= 0) {
    auto [first, last] = SameSortKey(name);
    for (auto at = first; at != last; ++at)
      if (NamesEqual((*at)->name_, name)) return at->get();
    place = first;  // before the sub-keys of the same sort key, where a sorted list puts it
  }
  auto child = children_.emplace_hint(place, std::make_unique<HiveKey>(name, this, time));
  if (created) *created = true;
  return child->get();
}

std::unique_ptr<HiveKey> HiveKey::RemoveChild(const HiveKey* child) {
  auto at = Locate(child->name_);
  if (at == children_.end() || at->get() != child) return nullptr;
  std::unique_ptr<HiveKey> removed = std::move(children_.extract(at).value());
  removed->parent_ = nullptr;
  return removed;
}

const HiveValue* HiveKey::FindValue(std::u16string_view name) const {
  for (const auto& value : values_)
    if (NamesEqual(value.name, name)) return &value;
  return nullptr;
}

void HiveKey::SetValue(std::u16string_view name, uint32_t type, std::string data) {
  for (auto& value : values_) {
    if (NamesEqual(value.name, name)) {
      value.type = type;
      value.data = std::move(data);
      return;
    }
  }
  values_.push_back(HiveValue{std::u16string(name), type, std::move(data)});
}

bool HiveKey::DeleteValue(std::u16string_view name) {
  for (auto it = values_.begin(); it != values_.end(); ++it) {
    if (NamesEqual(it->name, name)) {
      values_.erase(it);
      return true;
    }
  }
  return false;
}

// ---- HiveContent

HiveContent::HiveContent() : root(std::make_unique<HiveKey>(u"", nullptr, 0)) {}

std::u16string HiveContent::RelativeToPath() const {
  std::u16string path;
  ParseWineString(relativeTo + '\n', 0, '\n', path);
  return path;
}

// ---- RegistryHive

RegistryHive::RegistryHive(std::string path, std::string relativeTo,
                           std::function<std::vector<std::string>()> newFileOptions)
    : path_(std::move(path)),
      newRelativeTo_(std::move(relativeTo)),
      newFileOptions_(std::move(newFileOptions)) {}

RegistryHive::~RegistryHive() = default;

RegistryHive::Identity RegistryHive::IdentityOf(const struct stat& st) {
  Identity id;
  id.exists = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return id;
}

RegistryHive::Identity RegistryHive::CurrentIdentity() const {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return Identity{};
  return IdentityOf(st);
}

void RegistryHive::Refresh() {
  if (loaded_ && CurrentIdentity() == identity_) return;
  Reload();
}

void RegistryHive::Reload() {
  Load();
  for (const HiveChange& change : unsaved_) Make(*content_.root, change);
  if (!unsaved_.empty()) dirty_ = true;
}

bool RegistryHive::Make(HiveKey& root, const HiveChange& change) {
  using Kind = HiveChange::Kind;
  if (change.kind == Kind::kDeleteKey && change.path.empty()) return false;
  const size_t walk = change.kind == Kind::kDeleteKey ? change.path.size() - 1 : change.path.size();
  HiveKey* key = &root;
  for (size_t i = 0; i < walk; ++i) {
    HiveKey* child = key->FindChild(change.path[i]);
    if (!child) {
      if (change.kind != Kind::kCreateKey) return false;
      child = key->AddChild(change.path[i], change.time);
      key->modified = change.time;
    }
    key = child;
  }
  switch (change.kind) {
    case Kind::kCreateKey:
      return true;
    case Kind::kSetValue:
      key->SetValue(change.name, change.type, change.data);
      break;
    case Kind::kDeleteValue:
      if (!key->DeleteValue(change.name)) return false;
      break;
    case Kind::kDeleteKey: {
      HiveKey* gone = key->FindChild(change.path.back());
      if (!gone || (!gone->Children().empty() && !change.withSubKeys)) return false;
      key->RemoveChild(gone);
      break;
    }
  }
  key->modified = change.time;
  return true;
}

bool RegistryHive::Apply(HiveChange change) {
  if (!Make(*content_.root, change)) return false;
  unsaved_.push_back(std::move(change));
  dirty_ = true;
  return true;
}

void RegistryHive::Load() {
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    if (err != ENOENT) throw MachineError(path_ + ": cannot read the registry file: " + ErrnoText(err));
    HiveContent fresh;
    fresh.relativeTo = newRelativeTo_;
    if (newFileOptions_) fresh.globalOptions = newFileOptions_();
    fresh.root->modified = NowFileTimeTicks();
    content_ = std::move(fresh);
    identity_ = Identity{};
    loaded_ = true;
    dirty_ = false;
    return;
  }
  struct stat st {};
  std::string text;
  int err = 0;
  if (::fstat(fd, &st) != 0) {
    err = errno;
  } else {
    text.resize(static_cast<size_t>(st.st_size) + 1);
    size_t used = 0;
    for (;;) {
      if (used == text.size()) text.resize(text.size() * 2);
      ssize_t got = ::read(fd, text.data() + used, text.size() - used);
      if (got < 0) {
        if (errno == EINTR) continue;
        err = errno;
        break;
      }
      if (got == 0) break;
      used += static_cast<size_t>(got);
    }
    text.resize(used);
  }
  ::close(fd);
  if (err) throw MachineError(path_ + ": cannot read the registry file: " + ErrnoText(err));

  HiveContent parsed = ParseWineRegistry(text, path_);  // raises for a damaged file
  if (parsed.relativeTo.empty()) parsed.relativeTo = newRelativeTo_;  // a hand-made file
  content_ = std::move(parsed);
  identity_ = IdentityOf(st);
  loaded_ = true;
  dirty_ = false;
}

bool RegistryHive::Flush() {
  if (!loaded_ || !dirty_) return true;
  HiveFileLock lock(path_);
  if (lock.Error()) return Fail(WinErrorFromErrno(lock.Error()));
  // Another process wrote the file since we read it: start from what it wrote.
  if (CurrentIdentity() != identity_) {
    try {
      Reload();
    } catch (const MachineError&) {
      return Fail(kErrorBadFormat);
    }
  }
  std::string text = FormatWineRegistry(content_);

  static std::atomic<unsigned> counter{0};
  std::string temp = path_ + ".new-" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter.fetch_add(1));
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(WinErrorFromErrno(errno));

  int err = 0;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    done += static_cast<size_t>(wrote);
  }
  struct stat st {};
  if (!err && ::fsync(fd) != 0) err = errno;
  if (!err && ::fstat(fd, &st) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (!err && ::rename(temp.c_str(), path_.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(temp.c_str());
    return Fail(WinErrorFromErrno(err));
  }

  // Make the rename itself durable.
  size_t slash = path_.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  identity_ = IdentityOf(st);
  dirty_ = false;
  unsaved_.clear();
  return true;
}

}  // namespace sx::host
