// The registry of the Win32 host: advapi32's ANSI calls. The registry functions return their
// error instead of setting the thread's, so each failure is stored as the host's last error.
#include "host/win32/win32_api.h"

#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::kCurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::kUsers: return HKEY_USERS;
  }
  return HKEY_LOCAL_MACHINE;
}

// An open key, closed when it goes.
class Key {
 public:
  Key(RegRoot root, std::string_view subKey, REGSAM access) {
    error_ = RegOpenKeyExA(RootKey(root), std::string(subKey).c_str(), 0, access, &key_);
    if (error_ != ERROR_SUCCESS) {
      key_ = nullptr;
      FailWith(error_);
    }
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  LONG error_ = ERROR_SUCCESS;
};

bool Check(LONG error) { return error == ERROR_SUCCESS || FailWith(static_cast<uint32_t>(error)); }

}  // namespace

bool Win32Host::RegKeyExists(RegRoot root, std::string_view subKey) {
  return static_cast<bool>(Key(root, subKey, KEY_READ));
}

bool Win32Host::RegCreateKey(RegRoot root, std::string_view subKey) {
  HKEY key = nullptr;
  if (!Check(RegCreateKeyExA(RootKey(root), std::string(subKey).c_str(), 0, nullptr, 0, KEY_WRITE,
                             nullptr, &key, nullptr)))
    return false;
  RegCloseKey(key);
  return true;
}

bool Win32Host::RegDeleteKey(RegRoot root, std::string_view subKey) {
  // RegDeleteKey leaves a key with sub-keys alone on NT; say so the same way on every system.
  if (Key key{root, subKey, KEY_READ}) {
    DWORD subKeys = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subKeys > 0)
      return FailWith(kErrorAccessDenied);
  }
  return Check(RegDeleteKeyA(RootKey(root), std::string(subKey).c_str()));
}

std::optional<RegValue> Win32Host::RegQueryValue(RegRoot root, std::string_view subKey,
                                                 std::string_view name) {
  Key key(root, subKey, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  const std::string valueName(name);
  for (;;) {
    DWORD type = 0, size = 0;
    if (!Check(RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size)))
      return std::nullopt;
    RegValue value;
    value.type = type;
    value.data.resize(size);
    const LONG error = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(value.data.data()), &size);
    if (error == ERROR_MORE_DATA) continue;  // it grew in between
    if (!Check(error)) return std::nullopt;
    value.data.resize(size);
    return value;
  }
}

bool Win32Host::RegSetValue(RegRoot root, std::string_view subKey, std::string_view name,
                            const RegValue& value) {
  Key key(root, subKey, KEY_SET_VALUE);
  if (!key) return false;
  return Check(RegSetValueExA(key.get(), std::string(name).c_str(), 0, value.type,
                              reinterpret_cast<const BYTE*>(value.data.data()),
                              static_cast<DWORD>(value.data.size())));
}

bool Win32Host::RegDeleteValue(RegRoot root, std::string_view subKey, std::string_view name) {
  Key key(root, subKey, KEY_SET_VALUE);
  return key && Check(RegDeleteValueA(key.get(), std::string(name).c_str()));
}

std::optional<std::vector<std::string>> Win32Host::RegEnumKeys(RegRoot root, std::string_view subKey) {
  Key key(root, subKey, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  std::vector<std::string> names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    const LONG error = RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_NO_MORE_ITEMS) break;
    if (!Check(error)) return std::nullopt;
    names.emplace_back(name, length);
  }
  return names;
}

std::optional<std::vector<RegNamedValue>> Win32Host::RegEnumValues(RegRoot root,
                                                                   std::string_view subKey) {
  Key key(root, subKey, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  DWORD longestName = 0, longestData = 0;
  if (!Check(RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &longestName, &longestData, nullptr, nullptr)))
    return std::nullopt;
  std::vector<RegNamedValue> values;
  std::string name(longestName + 1, '\0');
  std::string data(longestData + 1, '\0');
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG error = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &dataLength);
    if (error == ERROR_NO_MORE_ITEMS) break;
    if (error == ERROR_MORE_DATA) {  // a value changed while we listed: start again larger
      name.resize(name.size() * 2 + 256);
      data.resize(data.size() * 2 + 256);
      values.clear();
      index = static_cast<DWORD>(-1);
      continue;
    }
    if (!Check(error)) return std::nullopt;
    values.push_back({name.substr(0, nameLength), RegValue{type, data.substr(0, dataLength)}});
  }
  return values;
}

bool Win32Host::RegFlush() {
  // The system writes its hives itself; flushing the roots makes what was written durable now.
  bool ok = true;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS})
    ok = Check(RegFlushKey(root)) && ok;
  return ok;
}

}  // namespace sx::host
