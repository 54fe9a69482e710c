// Self-registering servers: telling the system about the COM servers and programs the file phase
// installed (the server phase, kind 4), and taking them back when rollback removes them.
#pragma once

#include <string_view>

namespace sx {

// What IsPEImage found: whether the file could be opened, and whether it is a PE image.
struct TPEImageCheck {
  bool opened = false;
  bool isPE = false;
};
// "MZ", a PE header offset inside the file and "PE\0\0" there.
TPEImageCheck IsPEImage(std::string_view path);

// Calls the file's DllRegisterServer, or runs a program with " /REGSERVER" (hidden, without
// waiting) when it has no such entry or the entry failed, then registers the type library the
// file holds. A PE image this machine cannot load fails, as a foreign-architecture image does on
// Windows. False when the registration entry or program failed, or when neither it nor a type
// library registered anything.
bool RegisterServer(std::string_view path);
// The same with DllUnregisterServer, " /UNREGSERVER" and UnregisterTypeLibrary. A library that does not export
// DllUnregisterServer is never called for it: a program is run instead, anything else fails.
bool UnregisterServer(std::string_view path);

// Registers the type library in the file (a ".tlb", or a server that holds one) with the
// folder of its help file as help folder. False when the file holds no type library or it could
// not be registered.
bool RegisterTypeLibrary(std::string_view path);
// Removes the registration of the file's type library (by identifier, version, locale and system
// kind). False when the file holds no type library or it was not registered.
bool UnregisterTypeLibrary(std::string_view path);

// The server phase: every TInstallFile action with IsServer, in list order, offered to the
// plug-ins (kind 4) and registered. False, after "Cannot register "<path>".", at the first file
// that could not be registered.
bool RegisterServers();

}  // namespace sx
