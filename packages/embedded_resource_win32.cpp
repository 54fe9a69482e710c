// The resources of a Windows program: RCDATA resources of the running executable's own image,
// compiled in with windres (unpack.rc.in) and read through the resource API. A loaded module's
// resources stay mapped while it runs, so the bytes need no copy.
#include <windows.h>

#include <string>

#include "packages/embedded_resource.h"

namespace sx {

std::string_view EmbeddedResource(std::string_view name) {
  const HMODULE program = GetModuleHandleA(nullptr);
  const std::string resourceName(name);
  HRSRC found = FindResourceA(program, resourceName.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return {};
  HGLOBAL loaded = LoadResource(program, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const char*>(bytes), SizeofResource(program, found)};
}

}  // namespace sx
