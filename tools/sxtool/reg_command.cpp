// sxtool reg: query, add and delete keys and values of the machine's registry, in the manner of
// Windows' reg.exe (same arguments, same output), through the host's registry calls.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"

namespace sx::tool {
namespace {

using sx::host::Host;
using sx::host::RegRoot;
using sx::host::RegValue;


const char kUsage[] =
    "usage: sxtool reg query  KEY [VALUE | /v VALUE | /ve] [/s]\n"
    "       sxtool reg add    KEY [/v VALUE | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "       sxtool reg delete KEY [/v VALUE | /ve | /va] [/f]\n"
    "\n"
    "Reads and changes the registry of the machine (SX_MACHINE), as Windows' reg.exe does.\n"
    "\n"
    "  KEY    ROOT\\SubKey, ROOT being HKLM, HKCU, HKCR or HKU (or HKEY_LOCAL_MACHINE,\n"
    "         HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS)\n"
    "  /v     the value of that name;  /ve  the default value (shown as \"(Default)\")\n"
    "  /va    (delete) every value of the key\n"
    "  /s     (query) the key and all its sub-keys; (add) the REG_MULTI_SZ separator (\\0)\n"
    "  /t     REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,\n"
    "         REG_BINARY or REG_NONE\n"
    "  /d     the data: text; decimal or 0x hex for REG_DWORD and REG_QWORD; hex digits for\n"
    "         REG_BINARY; strings separated by \\0 for REG_MULTI_SZ\n"
    "  /f     do not ask before overwriting or deleting\n"
    "\n"
    "add without /v or /ve makes just the key; delete without them deletes the key with all its\n"
    "sub-keys. Exit status: 0 done, 1 the key or value does not exist or the operation failed,\n"
    "2 bad usage.\n";

const char kNotFound[] =
    "ERROR: The system was unable to find the specified registry key or value.\n";
const char kDone[] = "The operation completed successfully.\n";

int BadUsage(const std::string& why) {
  std::fprintf(stderr, "ERROR: %s\nType \"sxtool reg --help\" for usage.\n", why.c_str());
  return kBadUsage;
}

// The message and exit status for a failed host call.
int Failed(Host& host) {
  switch (host.LastError()) {
    case sx::host::kErrorFileNotFound:
    case sx::host::kErrorPathNotFound:
      std::fputs(kNotFound, stderr);
      break;
    case sx::host::kErrorAccessDenied:
      std::fputs("ERROR: Access is denied.\n", stderr);
      break;
    default:
      std::fprintf(stderr, "ERROR: The operation failed (Windows error %u).\n", host.LastError());
      break;
  }
  return kFailed;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

struct KeyName {
  RegRoot root;
  std::string rootName;  // the long form, as reg.exe prints it
  std::string subKey;    // without leading or trailing backslashes (UTF-8, as typed)
  std::string Full() const { return subKey.empty() ? rootName : rootName + "\\" + subKey; }
};

std::optional<KeyName> ParseKey(std::string_view text) {
  size_t sep = text.find('\\');
  std::string_view root = text.substr(0, sep);
  static const struct {
    const char* shortName;
    const char* longName;
    RegRoot root;
  } kRoots[] = {
      {"HKLM", "HKEY_LOCAL_MACHINE", RegRoot::kLocalMachine},
      {"HKCU", "HKEY_CURRENT_USER", RegRoot::kCurrentUser},
      {"HKCR", "HKEY_CLASSES_ROOT", RegRoot::kClassesRoot},
      {"HKU", "HKEY_USERS", RegRoot::kUsers},
  };
  for (const auto& r : kRoots) {
    if (EqualsIgnoringCase(root, r.shortName) || EqualsIgnoringCase(root, r.longName)) {
      std::string_view sub = sep == std::string_view::npos ? "" : text.substr(sep + 1);
      while (!sub.empty() && sub.front() == '\\') sub.remove_prefix(1);
      while (!sub.empty() && sub.back() == '\\') sub.remove_suffix(1);
      return KeyName{r.root, r.longName, std::string(sub)};
    }
  }
  return std::nullopt;
}

// The options after KEY. Each switch may come once.
struct Options {
  std::optional<std::string> value;  // /v NAME, /ve ("") or a bare VALUE (query)
  bool allValues = false;            // /va
  bool recursive = false;            // /s (query)
  std::optional<std::string> type;   // /t
  std::optional<std::string> data;   // /d
  std::optional<std::string> separator;  // /s (add)
  bool force = false;                // /f
};

bool IsSwitch(const std::string& arg, const char* name) {
  return (arg[0] == '/' || arg[0] == '-') && EqualsIgnoringCase(std::string_view(arg).substr(1), name);
}

// Parses the options of `verb`; returns the exit status for bad usage, or std::nullopt when fine.
std::optional<int> ParseOptions(const Args& args, const std::string& verb, Options& o) {
  const bool query = verb == "query", add = verb == "add", remove = verb == "delete";
  auto once = [](bool seen, const char* name) -> std::optional<int> {
    if (seen) return BadUsage(std::string("/") + name + " given twice.");
    return std::nullopt;
  };
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto next = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (arg.empty()) return BadUsage("Invalid syntax.");
    if (IsSwitch(arg, "v")) {
      if (auto e = once(o.value.has_value(), "v")) return e;
      auto name = next();
      if (!name) return BadUsage("/v needs a value name.");
      o.value = *name;
    } else if (IsSwitch(arg, "ve")) {
      if (auto e = once(o.value.has_value(), "ve")) return e;
      o.value = "";
    } else if (remove && IsSwitch(arg, "va")) {
      o.allValues = true;
    } else if (query && IsSwitch(arg, "s")) {
      o.recursive = true;
    } else if (add && IsSwitch(arg, "s")) {
      if (auto e = once(o.separator.has_value(), "s")) return e;
      auto separator = next();
      if (!separator || separator->size() != 1) return BadUsage("/s needs one character.");
      o.separator = *separator;
    } else if (add && IsSwitch(arg, "t")) {
      if (auto e = once(o.type.has_value(), "t")) return e;
      auto type = next();
      if (!type) return BadUsage("/t needs a type.");
      o.type = *type;
    } else if (add && IsSwitch(arg, "d")) {
      if (auto e = once(o.data.has_value(), "d")) return e;
      auto data = next();
      if (!data) return BadUsage("/d needs data.");
      o.data = *data;
    } else if ((add || remove) && IsSwitch(arg, "f")) {
      o.force = true;
    } else if (query && !o.value && arg[0] != '/' && arg[0] != '-') {
      o.value = arg;  // reg query KEY VALUE
    } else {
      return BadUsage("Invalid syntax: " + arg);
    }
  }
  if (o.allValues && o.value) return BadUsage("/va cannot go with /v or /ve.");
  if (o.recursive && o.value) return BadUsage("/s cannot go with a value name.");
  return std::nullopt;
}

// ---- printing values as reg.exe does

const char* TypeName(uint32_t type) {
  switch (type) {
    case sx::host::kRegNone: return "REG_NONE";
    case sx::host::kRegSz: return "REG_SZ";
    case sx::host::kRegExpandSz: return "REG_EXPAND_SZ";
    case sx::host::kRegBinary: return "REG_BINARY";
    case sx::host::kRegDword: return "REG_DWORD";
    case sx::host::kRegDwordBigEndian: return "REG_DWORD_BIG_ENDIAN";
    case sx::host::kRegLink: return "REG_LINK";
    case sx::host::kRegMultiSz: return "REG_MULTI_SZ";
    case sx::host::kRegResourceList: return "REG_RESOURCE_LIST";
    case sx::host::kRegFullResourceDescriptor: return "REG_FULL_RESOURCE_DESCRIPTOR";
    case sx::host::kRegResourceRequirementsList: return "REG_RESOURCE_REQUIREMENTS_LIST";
    case sx::host::kRegQword: return "REG_QWORD";
    default: return nullptr;
  }
}

uint64_t LittleEndian(std::string_view bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return v;
}

std::string HexDigits(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 0xF];
  }
  return out;
}

std::string DataText(Host& host, const RegValue& value) {
  const std::string& data = value.data;
  char number[32];
  switch (value.type) {
    case sx::host::kRegSz:
    case sx::host::kRegExpandSz:
      return host.AnsiToUtf8(std::string_view(data).substr(0, data.find('\0')));
    case sx::host::kRegMultiSz: {
      std::string_view rest = data;
      while (!rest.empty() && rest.back() == '\0') rest.remove_suffix(1);
      std::string out;
      for (size_t at = 0;;) {
        size_t nul = rest.find('\0', at);
        out += host.AnsiToUtf8(rest.substr(at, nul == std::string_view::npos ? nul : nul - at));
        if (nul == std::string_view::npos) break;
        out += "\\0";
        at = nul + 1;
      }
      return out;
    }
    case sx::host::kRegDword:
      if (data.size() != 4) break;
      std::snprintf(number, sizeof number, "0x%" PRIx64, LittleEndian(data));
      return number;
    case sx::host::kRegDwordBigEndian:
      if (data.size() != 4) break;
      std::snprintf(number, sizeof number, "0x%" PRIx64,
                    LittleEndian(std::string(data.rbegin(), data.rend())));
      return number;
    case sx::host::kRegQword:
      if (data.size() != 8) break;
      std::snprintf(number, sizeof number, "0x%" PRIx64, LittleEndian(data));
      return number;
    default:
      break;
  }
  return HexDigits(data);
}

void PrintValue(Host& host, const std::string& name, const RegValue& value) {
  const char* type = TypeName(value.type);
  char unknown[16];
  if (!type) {
    std::snprintf(unknown, sizeof unknown, "0x%x", value.type);
    type = unknown;
  }
  std::string shown = name.empty() ? "(Default)" : host.AnsiToUtf8(name);
  std::printf("    %s    %s    %s\n", shown.c_str(), type, DataText(host, value).c_str());
}

// Prints a key as reg.exe does: its path, its values, a blank line, then its sub-keys (or, with
// `recursive`, their own listings).
bool PrintKey(Host& host, const KeyName& key, const std::string& ansiSubKey, bool recursive) {
  auto values = host.RegEnumValues(key.root, ansiSubKey);
  auto subKeys = host.RegEnumKeys(key.root, ansiSubKey);
  if (!values || !subKeys) return false;
  std::printf("%s\n", key.Full().c_str());
  for (const auto& v : *values) PrintValue(host, v.name, v.value);
  if (recursive) {
    if (!values->empty()) std::printf("\n");
    for (const auto& name : *subKeys) {
      KeyName child = key;
      std::string childAnsi = ansiSubKey.empty() ? name : ansiSubKey + "\\" + name;
      child.subKey = host.AnsiToUtf8(childAnsi);
      if (!PrintKey(host, child, childAnsi, true)) return false;
    }
    return true;
  }
  std::printf("\n");
  for (const auto& name : *subKeys)
    std::printf("%s\\%s\n", key.Full().c_str(), host.AnsiToUtf8(name).c_str());
  return true;
}

// ---- verbs

int Query(Host& host, const KeyName& key, const Options& o) {
  std::string subKey = host.Utf8ToAnsi(key.subKey);
  if (!host.RegKeyExists(key.root, subKey)) return Failed(host);
  if (o.value) {
    auto value = host.RegQueryValue(key.root, subKey, host.Utf8ToAnsi(*o.value));
    if (!value) return Failed(host);
    std::printf("\n%s\n", key.Full().c_str());
    PrintValue(host, host.Utf8ToAnsi(*o.value), *value);
    std::printf("\n");
    return kOk;
  }
  std::printf("\n");
  return PrintKey(host, key, subKey, o.recursive) ? kOk : Failed(host);
}

// Asks on the terminal; anything but yes (or no terminal at all) is a no.
bool Confirm(const std::string& question) {
  std::fprintf(stderr, "%s (Yes/No)? ", question.c_str());
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return EqualsIgnoringCase(answer, "y") || EqualsIgnoringCase(answer, "yes");
}

std::optional<uint64_t> ParseNumber(const std::string& text, uint64_t max) {
  if (text.empty()) return std::nullopt;
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  uint64_t value = 0;
  for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
    char c = text[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : !hex                 ? -1
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return std::nullopt;
    uint64_t base = hex ? 16 : 10;
    if (value > (max - static_cast<uint64_t>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<uint64_t>(digit);
  }
  return value;
}

// The value /t and /d describe, or std::nullopt (bad usage, already reported).
std::optional<RegValue> MakeValue(Host& host, const Options& o) {
  std::string type = o.type.value_or("REG_SZ");
  std::string data = o.data.value_or("");
  auto little = [](uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
  };
  if (o.separator && !EqualsIgnoringCase(type, "REG_MULTI_SZ")) {
    BadUsage("/s goes with REG_MULTI_SZ only.");
    return std::nullopt;
  }
  if (EqualsIgnoringCase(type, "REG_SZ")) return RegValue{sx::host::kRegSz, host.Utf8ToAnsi(data) + '\0'};
  if (EqualsIgnoringCase(type, "REG_EXPAND_SZ"))
    return RegValue{sx::host::kRegExpandSz, host.Utf8ToAnsi(data) + '\0'};
  if (EqualsIgnoringCase(type, "REG_MULTI_SZ")) {
    std::string separator = o.separator.value_or("\\0");
    std::string out;
    for (size_t at = 0; !data.empty();) {
      size_t next = data.find(separator, at);
      std::string item = data.substr(at, next == std::string::npos ? next : next - at);
      if (item.empty() && next != std::string::npos) {
        BadUsage("REG_MULTI_SZ data has an empty string.");
        return std::nullopt;
      }
      out += host.Utf8ToAnsi(item) + '\0';
      if (next == std::string::npos) break;
      at = next + separator.size();
    }
    out += '\0';
    return RegValue{sx::host::kRegMultiSz, out};
  }
  if (EqualsIgnoringCase(type, "REG_DWORD") || EqualsIgnoringCase(type, "REG_QWORD")) {
    bool dword = EqualsIgnoringCase(type, "REG_DWORD");
    auto number = ParseNumber(data.empty() ? "0" : data, dword ? 0xFFFFFFFFull : ~0ull);
    if (!number) {
      BadUsage("Invalid " + type + " data: " + data);
      return std::nullopt;
    }
    return RegValue{dword ? sx::host::kRegDword : sx::host::kRegQword,
                    little(*number, dword ? 4 : 8)};
  }
  if (EqualsIgnoringCase(type, "REG_BINARY") || EqualsIgnoringCase(type, "REG_NONE")) {
    std::string bytes;
    // An odd count of digits: the first one alone is the first byte.
    std::string digits = data.size() % 2 ? "0" + data : data;
    for (size_t i = 0; i < digits.size(); i += 2) {
      auto byte = ParseNumber("0x" + digits.substr(i, 2), 0xFF);
      if (!byte) {
        BadUsage("Invalid " + type + " data: " + data);
        return std::nullopt;
      }
      bytes += static_cast<char>(*byte);
    }
    return RegValue{EqualsIgnoringCase(type, "REG_BINARY") ? sx::host::kRegBinary : sx::host::kRegNone,
                    bytes};
  }
  BadUsage("Invalid type: " + type);
  return std::nullopt;
}

int Add(Host& host, const KeyName& key, const Options& o) {
  if (!o.value && (o.type || o.data || o.separator)) return BadUsage("/t, /d and /s need /v or /ve.");
  std::optional<RegValue> value;
  if (o.value) {
    value = MakeValue(host, o);
    if (!value) return kBadUsage;
  }
  std::string subKey = host.Utf8ToAnsi(key.subKey);
  if (!host.RegCreateKey(key.root, subKey)) return Failed(host);
  if (value) {
    std::string name = host.Utf8ToAnsi(*o.value);
    if (!o.force && host.RegQueryValue(key.root, subKey, name) &&
        !Confirm("Value " + (o.value->empty() ? std::string("(Default)") : *o.value) +
                 " exists, overwrite")) {
      std::fputs("The operation was cancelled.\n", stderr);
      return kFailed;
    }
    if (!host.RegSetValue(key.root, subKey, name, *value)) return Failed(host);
  }
  if (!host.RegFlush()) return Failed(host);
  std::fputs(kDone, stdout);
  return kOk;
}

// Deletes the key and everything below it, deepest keys first.
bool DeleteTree(Host& host, RegRoot root, const std::string& subKey) {
  auto children = host.RegEnumKeys(root, subKey);
  if (!children) return false;
  for (const auto& child : *children)
    if (!DeleteTree(host, root, subKey + "\\" + child)) return false;
  return host.RegDeleteKey(root, subKey);
}

int Delete(Host& host, const KeyName& key, const Options& o) {
  std::string subKey = host.Utf8ToAnsi(key.subKey);
  if (!o.value && !o.allValues && subKey.empty()) {
    std::fputs("ERROR: Invalid key name.\n", stderr);
    return kBadUsage;
  }
  if (!host.RegKeyExists(key.root, subKey)) return Failed(host);
  if (o.value) {
    std::string name = host.Utf8ToAnsi(*o.value);
    if (!host.RegQueryValue(key.root, subKey, name)) return Failed(host);
    if (!o.force && !Confirm("Delete the registry value " +
                             (o.value->empty() ? std::string("(Default)") : *o.value))) {
      std::fputs("The operation was cancelled.\n", stderr);
      return kFailed;
    }
    if (!host.RegDeleteValue(key.root, subKey, name)) return Failed(host);
  } else if (o.allValues) {
    if (!o.force && !Confirm("Delete all values under the registry key " + key.Full())) {
      std::fputs("The operation was cancelled.\n", stderr);
      return kFailed;
    }
    auto values = host.RegEnumValues(key.root, subKey);
    if (!values) return Failed(host);
    for (const auto& v : *values)
      if (!host.RegDeleteValue(key.root, subKey, v.name)) return Failed(host);
  } else {
    if (!o.force && !Confirm("Permanently delete the registry key " + key.Full())) {
      std::fputs("The operation was cancelled.\n", stderr);
      return kFailed;
    }
    if (!DeleteTree(host, key.root, subKey)) return Failed(host);
  }
  if (!host.RegFlush()) return Failed(host);
  std::fputs(kDone, stdout);
  return kOk;
}

}  // namespace

int RegCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (args.size() < 2) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }
  std::string verb = args[0];
  for (char& c : verb) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (verb != "query" && verb != "add" && verb != "delete")
    return BadUsage("Invalid operation: " + args[0]);
  auto key = ParseKey(args[1]);
  if (!key) return BadUsage("Invalid key name: " + args[1]);
  Options options;
  if (auto status = ParseOptions(args, verb, options)) return *status;

  ToolHost tool;
  Host& host = tool.host();
  if (verb == "query") return Query(host, *key, options);
  if (verb == "add") return Add(host, *key, options);
  return Delete(host, *key, options);
}

}  // namespace sx::tool
