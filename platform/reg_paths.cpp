#include "platform/reg_paths.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>

#include "util/str_utils.h"

namespace sx {
namespace {

using host::RegRoot;

host::Host& Host() { return host::CurrentHost(); }

// Registry trees are at most 512 levels deep on Windows; deeper means a link loop.
constexpr size_t kMaxKeyDepth = 512;

// Whether a trailing backslash byte really is a backslash and not the second byte of a
// double-byte character of the machine's ANSI code page (only a byte of 0x80 or above can lead
// such a character).
bool EndsInBackslash(std::string_view path) {
  if (path.empty() || path.back() != '\\') return false;
  if (path.size() < 2 || static_cast<unsigned char>(path[path.size() - 2]) < 0x80) return true;
  // In UTF-8 the byte 0x5C never stands inside a character: converted, the text ends in a
  // backslash exactly when its last ANSI character is one.
  std::string utf8 = Host().AnsiToUtf8(path);
  return !utf8.empty() && utf8.back() == '\\';
}

std::optional<host::RegValue> Query(std::string_view keyPath, std::string_view valueName) {
  RegPath path = RegSplitPath(keyPath);
  return Host().RegQueryValue(path.root, path.subKey, valueName);
}

std::string HexOf(const std::string& data) {
  std::string text;
  text.reserve(data.size() * 2);
  for (char c : data) text += IntToHex(static_cast<unsigned char>(c), 2);
  return text;
}

// At most 4 bytes, little-endian; std::nullopt for longer data.
std::optional<uint32_t> IntegerOf(const std::string& data) {
  if (data.size() > 4) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < data.size(); ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  return value;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct RandomNames {
  std::mutex mutex;
  std::mt19937 generator{static_cast<std::mt19937::result_type>(
      std::chrono::system_clock::now().time_since_epoch().count() ^
      std::chrono::steady_clock::now().time_since_epoch().count())};
  std::uniform_int_distribution<int32_t> numbers{0, 2147483646};

  int32_t Next() {
    std::lock_guard lock(mutex);
    return numbers(generator);
  }
};

RandomNames g_randomNames;  // seeded from the clock at start-up

}  // namespace

RegPath RegSplitPath(std::string_view path) {
  if (EndsInBackslash(path)) path.remove_suffix(1);
  static constexpr struct {
    std::string_view name;
    RegRoot root;
  } kRoots[] = {{"HKCR", RegRoot::kClassesRoot},
                {"HKCU", RegRoot::kCurrentUser},
                {"HKLM", RegRoot::kLocalMachine},
                {"HKU", RegRoot::kUsers}};
  std::string_view first = path.substr(0, path.find('\\'));
  for (const auto& root : kRoots) {
    // The root names are plain ASCII, where the fixed case tables are exact.
    if (SameTextFast(first, root.name)) {
      size_t skip = std::min(path.size(), first.size() + 1);
      return {root.root, std::string(path.substr(skip))};
    }
  }
  return {RegRoot::kCurrentUser, std::string(path)};
}

uint32_t RegValueType(std::string_view keyPath, std::string_view valueName) {
  auto value = Query(keyPath, valueName);
  return value ? value->type : host::kRegNone;
}

uint32_t RegValueSize(std::string_view keyPath, std::string_view valueName) {
  auto value = Query(keyPath, valueName);
  return value ? static_cast<uint32_t>(value->data.size()) : 0;
}

bool RegReadRaw(std::string_view keyPath, std::string_view valueName, void* buffer,
                uint32_t* size) {
  if (!size) return false;
  auto value = Query(keyPath, valueName);
  if (!value) return false;
  const uint32_t needed = static_cast<uint32_t>(value->data.size());
  if (!buffer) {
    *size = needed;
    return true;
  }
  if (*size < needed) {
    *size = needed;
    return false;
  }
  if (needed > 0) std::memcpy(buffer, value->data.data(), needed);
  *size = needed;
  return true;
}

bool RegReadBinary(std::string_view keyPath, std::string_view valueName,
                   std::vector<uint8_t>& data) {
  data.clear();
  auto value = Query(keyPath, valueName);
  if (!value) return false;
  data.assign(value->data.begin(), value->data.end());
  return true;
}

std::string RegReadHex(std::string_view keyPath, std::string_view valueName,
                       std::string_view def) {
  auto value = Query(keyPath, valueName);
  return value ? HexOf(value->data) : std::string(def);
}

int32_t RegReadInteger(std::string_view keyPath, std::string_view valueName, int32_t def) {
  auto value = Query(keyPath, valueName);
  if (!value) return def;
  auto number = IntegerOf(value->data);
  return number ? static_cast<int32_t>(*number) : def;
}

std::string RegReadString(std::string_view keyPath, std::string_view valueName,
                          std::string_view def) {
  auto value = Query(keyPath, valueName);
  if (!value) return std::string(def);
  std::string data = std::move(value->data);
  switch (value->type) {
    case host::kRegSz:
    case host::kRegExpandSz:
      // The terminating zero goes; data stored without one keeps its last character.
      if (!data.empty() && data.back() == '\0') data.pop_back();
      return data;
    case host::kRegBinary:
      return HexOf(data);
    case host::kRegDword:
      return UIntToStr(IntegerOf(data).value_or(ParseUInt(def, 0)));
    case host::kRegMultiSz: {
      // The zero after the last string and the closing zero go, as far as they are there.
      for (int i = 0; i < 2 && !data.empty() && data.back() == '\0'; ++i) data.pop_back();
      return ReplaceAll(data, std::string_view("\0", 1), "\r\n");
    }
    default:
      return std::string(def);
  }
}

void RegEnumKeys(std::string_view keyPath, std::vector<std::string>& list) {
  list.clear();
  RegPath path = RegSplitPath(keyPath);
  if (auto names = Host().RegEnumKeys(path.root, path.subKey)) list = std::move(*names);
}

bool RegWriteRaw(std::string_view keyPath, std::string_view valueName, uint32_t type,
                 const void* data, uint32_t size) {
  RegPath path = RegSplitPath(keyPath);
  auto& host = Host();
  if (!path.subKey.empty() && !host.RegCreateKey(path.root, path.subKey)) return false;
  host::RegValue value{type, std::string(static_cast<const char*>(data), size)};
  return host.RegSetValue(path.root, path.subKey, valueName, value);
}

bool RegWriteString(std::string_view keyPath, std::string_view valueName, std::string_view text) {
  std::string data(text);
  data.push_back('\0');
  return RegWriteRaw(keyPath, valueName, host::kRegSz, data.data(),
                     static_cast<uint32_t>(data.size()));
}

bool RegWriteInteger(std::string_view keyPath, std::string_view valueName, uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value),
                                  static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16),
                                  static_cast<unsigned char>(value >> 24)};
  return RegWriteRaw(keyPath, valueName, host::kRegDword, bytes, 4);
}

bool RegWriteBinary(std::string_view keyPath, std::string_view valueName, const void* data,
                    uint32_t size) {
  return RegWriteRaw(keyPath, valueName, host::kRegBinary, data, size);
}

bool RegWriteBinary(std::string_view keyPath, std::string_view valueName,
                    const std::vector<uint8_t>& data) {
  return RegWriteBinary(keyPath, valueName, data.data(), static_cast<uint32_t>(data.size()));
}

bool RegWriteHex(std::string_view keyPath, std::string_view valueName, std::string_view hex) {
  const std::string digits = RemoveSpaces(hex);
  std::vector<uint8_t> bytes;
  bytes.reserve(digits.size() / 2);
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    const int high = HexDigitValue(digits[i]), low = HexDigitValue(digits[i + 1]);
    bytes.push_back(high < 0 || low < 0 ? 0 : static_cast<uint8_t>(high * 16 + low));
  }
  return RegWriteBinary(keyPath, valueName, bytes);
}

bool RegWriteMultiString(std::string_view keyPath, std::string_view valueName,
                         const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined.append(line).append("\r\n");
  std::string data = RemoveChar(joined, '\n');
  data.push_back('\0');
  for (char& c : data)
    if (c == '\r') c = '\0';
  return RegWriteRaw(keyPath, valueName, host::kRegMultiSz, data.data(),
                     static_cast<uint32_t>(data.size()));
}

bool RegWriteMultiText(std::string_view keyPath, std::string_view valueName,
                       std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0, i = 0;
  while (i < text.size()) {
    if (text[i] != '\r' && text[i] != '\n') {
      ++i;
      continue;
    }
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = ++i;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return RegWriteMultiString(keyPath, valueName, lines);
}

bool RegWriteTyped(std::string_view keyPath, std::string_view valueName, uint32_t type,
                   std::string_view text) {
  switch (type) {
    case host::kRegSz:
    case host::kRegExpandSz:
      return RegWriteString(keyPath, valueName, text);
    case host::kRegBinary:
      return RegWriteHex(keyPath, valueName, text);
    case host::kRegDword:
      return RegWriteInteger(keyPath, valueName, ParseUInt(text, 0));
    case host::kRegMultiSz:
      return RegWriteMultiText(keyPath, valueName, text);
    default:
      return false;
  }
}

bool RegKeyExists(std::string_view keyPath) {
  RegPath path = RegSplitPath(keyPath);
  return Host().RegKeyExists(path.root, path.subKey);
}

bool RegValueExists(std::string_view keyPath, std::string_view valueName) {
  return Query(keyPath, valueName).has_value();
}

bool RegDeleteValue(std::string_view keyPath, std::string_view valueName) {
  RegPath path = RegSplitPath(keyPath);
  return Host().RegDeleteValue(path.root, path.subKey, valueName);
}

bool RegDeleteKeyPath(std::string_view keyPath, bool recursive) {
  RegPath path = RegSplitPath(keyPath);
  if (path.subKey.empty()) return false;  // a whole root is never deleted, nor emptied
  auto& host = Host();
  if (recursive) {
    // Depth first, every key after its sub-keys, on a stack of our own: a deep tree cannot
    // exhaust the thread's stack. Failures below the key do not stop the walk; the key's own
    // deletion then fails and tells.
    struct Pending {
      std::string subKey;
      size_t depth;
      bool listed;
    };
    std::vector<Pending> pending{{path.subKey, 0, false}};
    while (pending.size() > 1 || !pending.back().listed) {
      Pending& top = pending.back();
      if (!top.listed) {
        top.listed = true;
        if (top.depth >= kMaxKeyDepth) continue;
        const std::string parent = top.subKey;
        const size_t depth = top.depth;
        if (auto names = host.RegEnumKeys(path.root, parent)) {
          for (const std::string& name : *names) pending.push_back({parent + "\\" + name, depth + 1, false});
        }
        continue;
      }
      host.RegDeleteKey(path.root, top.subKey);
      pending.pop_back();
    }
  }
  return host.RegDeleteKey(path.root, path.subKey);
}

std::string RegUniqueValueName(std::string_view keyPath, std::string_view prefix) {
  for (;;) {
    std::string name = std::string(prefix) + std::to_string(g_randomNames.Next());
    if (!RegValueExists(keyPath, name)) return name;
  }
}

}  // namespace sx
