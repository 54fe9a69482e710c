// atlasext.dll: Atlas's shell extension, a self-registering server. On Windows it would write
// its class registration; the simulated machine gives a loaded library no registry of its own,
// so it records each call instead: "register" or "unregister" with its own path, one line in the
// file that ATLASEXT_LOG names (nothing when the variable is unset). Both entries succeed.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::int32_t Record(const char* call) {
  const char* log = std::getenv("ATLASEXT_LOG");
  if (!log || !*log) return 0;
  Dl_info self{};
  const char* path = dladdr(reinterpret_cast<void*>(&Record), &self) && self.dli_fname ? self.dli_fname : "?";
  std::FILE* file = std::fopen(log, "a");
  if (!file) return static_cast<std::int32_t>(0x80004005);  // E_FAIL: the record could not be kept
  std::fprintf(file, "%s %s\n", call, path);
  std::fclose(file);
  return 0;  // S_OK
}

}  // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() { return Record("register"); }

extern "C" __attribute__((visibility("default"))) std::int32_t DllUnregisterServer() {
  return Record("unregister");
}
