// A self-registering server for the server tests, built as "<name>.dll". Each call appends
// "<register|unregister> <name>" to the file SX_SERVER_LOG names and answers the HRESULT that
// SX_SERVER_RESULT holds (decimal, default 0). Built with SX_NO_UNREGISTER it lacks
// DllUnregisterServer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::int32_t Answer(const char* call) {
  if (const char* log = std::getenv("SX_SERVER_LOG")) {
    if (std::FILE* file = std::fopen(log, "a")) {
      std::fprintf(file, "%s %s\n", call, SX_SERVER_NAME);
      std::fclose(file);
    }
  }
  const char* result = std::getenv("SX_SERVER_RESULT");
  return result ? static_cast<std::int32_t>(std::strtoll(result, nullptr, 10)) : 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() {
  return Answer("register");
}

#ifndef SX_NO_UNREGISTER
extern "C" __attribute__((visibility("default"))) std::int32_t DllUnregisterServer() {
  return Answer("unregister");
}
#endif
