// A self-registering server for the uninstaller tests ("server.dll"): each entry appends its name
// to the file that SX_TEST_SERVER_MARKS names, so a test sees which entries were called.
#include <cstdio>
#include <cstdlib>

namespace {
int Mark(const char* what) {
  const char* path = std::getenv("SX_TEST_SERVER_MARKS");
  if (!path) return -1;
  FILE* file = std::fopen(path, "a");
  if (!file) return -1;
  std::fprintf(file, "%s\n", what);
  std::fclose(file);
  return 0;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int DllRegisterServer() { return Mark("registered"); }
extern "C" __attribute__((visibility("default"))) int DllUnregisterServer() { return Mark("unregistered"); }
