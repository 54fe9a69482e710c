// Type libraries on the simulated machine: read from MSFT ".tlb" files, and registered under
// HKEY_CLASSES_ROOT in the keys and values Windows writes for them, so that what a setup
// registers and removes can be seen in the machine's registry.
#include <algorithm>
#include <cstdio>

#include "host/posix/posix_host_impl.h"
#include "host/posix/type_library_format.h"

namespace sx::host {
namespace {

constexpr uint64_t kLargestTypeLibrary = 64ull << 20;
// PSOAInterface: the proxy of every automation interface.
constexpr char kAutomationProxy[] = "{00020424-0000-0000-C000-000000000046}";

RegValue StringValue(std::string_view text) { return {kRegSz, std::string(text) + '\0'}; }

std::string Hex(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

std::string VersionText(const TypeLibInfo& library) { return Hex(library.major) + "." + Hex(library.minor); }

// HKCR\TypeLib\{LIBID}\{major.minor}
std::string VersionKey(const TypeLibInfo& library) {
  return "TypeLib\\" + library.libid + "\\" + VersionText(library);
}

const char* SysKindName(int sysKind) {
  switch (sysKind) {
    case 0: return "win16";
    case 2: return "mac";
    case 3: return "win64";
    default: return "win32";
  }
}

// The interfaces Windows registers with a library: dispatch interfaces (duals included) and
// interfaces marked for automation.
bool IsRegisteredInterface(const TypeLibTypeInfo& type) {
  if (type.guid.empty()) return false;
  if (type.kind == kTypeKindDispatch) return true;
  return type.kind == kTypeKindInterface && (type.flags & (kTypeFlagDual | kTypeFlagOleAutomation));
}

// The whole file, parsed; std::nullopt (kErrorBadFormat) when it holds no readable type library.
std::optional<TypeLibContents> ReadTypeLibrary(Host& host, std::string_view path) {
  auto file = host.OpenFile(path, {OpenMode::kRead, false});
  if (!file) return std::nullopt;
  auto size = file->Size();
  if (!size || *size > kLargestTypeLibrary) {
    host.SetLastError(kErrorBadFormat);
    return std::nullopt;
  }
  std::string data(*size, '\0');
  auto got = file->Read(data.data(), data.size());
  if (!got || *got != data.size()) {
    host.SetLastError(kErrorReadFault);
    return std::nullopt;
  }
  auto contents = ParseMsftTypeLibrary(data);
  if (!contents) host.SetLastError(kErrorBadFormat);
  return contents;
}

}  // namespace

std::optional<TypeLibInfo> PosixHost::LoadTypeLib(std::string_view path) {
  auto contents = ReadTypeLibrary(*this, path);
  if (!contents) return std::nullopt;
  return contents->library;
}

bool PosixHost::RegisterTypeLib(std::string_view path, std::string_view helpFolder) {
  const std::string fullPath = FullPath(path);
  auto contents = ReadTypeLibrary(*this, fullPath);
  Trace("typelib", std::string(contents ? "register " : "register refused ") + fullPath);
  if (!contents) return false;
  const TypeLibInfo& library = contents->library;
  const std::string versionKey = VersionKey(library);
  const std::string fileKey = versionKey + "\\" + Hex(library.lcid) + "\\" + SysKindName(library.sysKind);
  auto setDefault = [&](const std::string& key, std::string_view text) {
    return RegCreateKey(RegRoot::kClassesRoot, key) &&
           RegSetValue(RegRoot::kClassesRoot, key, "", StringValue(text));
  };
  const std::string& title = library.docString.empty() ? library.name : library.docString;
  if (!setDefault(versionKey, title) || !setDefault(fileKey, fullPath) ||
      !setDefault(versionKey + "\\FLAGS", std::to_string(library.flags)) ||
      !setDefault(versionKey + "\\HELPDIR", helpFolder))
    return false;
  for (const TypeLibTypeInfo& type : contents->types) {
    if (!IsRegisteredInterface(type)) continue;
    const std::string key = "Interface\\" + type.guid;
    if (!setDefault(key, type.name) || !setDefault(key + "\\ProxyStubClsid", kAutomationProxy) ||
        !setDefault(key + "\\ProxyStubClsid32", kAutomationProxy) ||
        !setDefault(key + "\\TypeLib", library.libid) ||
        !RegSetValue(RegRoot::kClassesRoot, key + "\\TypeLib", "Version", StringValue(VersionText(library))))
      return false;
  }
  return true;
}

bool PosixHost::UnRegisterTypeLib(const TypeLibInfo& library) {
  const std::string versionKey = VersionKey(library);
  const std::string localeKey = versionKey + "\\" + Hex(library.lcid);
  const std::string fileKey = localeKey + "\\" + SysKindName(library.sysKind);
  Trace("typelib", "unregister " + library.libid + " " + VersionText(library) + " " + Hex(library.lcid) +
                       " " + SysKindName(library.sysKind));
  if (!RegKeyExists(RegRoot::kClassesRoot, fileKey)) {
    SetLastError(kErrorFileNotFound);
    return false;
  }
  auto hasNoSubKeys = [&](const std::string& key) {
    auto subKeys = RegEnumKeys(RegRoot::kClassesRoot, key);
    return subKeys && subKeys->empty();
  };
  // The interfaces go when they still belong to this library (another may have taken them over).
  const std::string registeredFile = ReadRegString(RegRoot::kClassesRoot, fileKey, "");
  if (auto contents = ReadTypeLibrary(*this, registeredFile)) {
    for (const TypeLibTypeInfo& type : contents->types) {
      if (!IsRegisteredInterface(type)) continue;
      const std::string key = "Interface\\" + type.guid;
      if (CompareLocale(ReadRegString(RegRoot::kClassesRoot, key + "\\TypeLib", ""), library.libid, true) != 0)
        continue;
      for (const char* subKey : {"\\ProxyStubClsid", "\\ProxyStubClsid32", "\\TypeLib"})
        RegDeleteKey(RegRoot::kClassesRoot, key + subKey);
      if (hasNoSubKeys(key)) RegDeleteKey(RegRoot::kClassesRoot, key);
    }
  }
  if (!RegDeleteKey(RegRoot::kClassesRoot, fileKey)) return false;
  auto localeValues = RegEnumValues(RegRoot::kClassesRoot, localeKey);
  if (hasNoSubKeys(localeKey) && localeValues && localeValues->empty())
    RegDeleteKey(RegRoot::kClassesRoot, localeKey);
  // The version goes with its last locale; FLAGS and HELPDIR belong to it.
  auto rest = RegEnumKeys(RegRoot::kClassesRoot, versionKey);
  if (rest && std::all_of(rest->begin(), rest->end(), [&](const std::string& name) {
        return CompareLocale(name, "FLAGS", true) == 0 || CompareLocale(name, "HELPDIR", true) == 0;
      })) {
    for (const std::string& name : *rest)
      if (hasNoSubKeys(versionKey + "\\" + name)) RegDeleteKey(RegRoot::kClassesRoot, versionKey + "\\" + name);
    if (hasNoSubKeys(versionKey)) RegDeleteKey(RegRoot::kClassesRoot, versionKey);
  }
  const std::string libraryKey = "TypeLib\\" + library.libid;
  if (hasNoSubKeys(libraryKey)) RegDeleteKey(RegRoot::kClassesRoot, libraryKey);
  return true;
}

}  // namespace sx::host
