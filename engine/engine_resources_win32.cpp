// The engine's icon in its Windows image: the icon group "MAINICON" that windres compiled in
// (resources/engine.rc.in). Its bytes are the group's directory, not an icon file; callers only
// ask whether it is there.
#include <windows.h>

#include "engine/engine_resources.h"

namespace sx {

std::string_view MainIconResource() {
  const HMODULE program = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(program, "MAINICON", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  HGLOBAL loaded = found ? LoadResource(program, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const char*>(bytes), SizeofResource(program, found)};
}

}  // namespace sx
