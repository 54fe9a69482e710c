// The test machine on Windows is the system itself: under Wine, the throw-away prefix that
// scripts/wine-run.sh makes for every test program. TempMachine installs the Win32 host as the
// current host; the folder of a simulated machine does not exist here.
#include "tests/support/temp_machine.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/win32/win32_host.h"
#include "platform/ini_cache.h"

namespace sx::test {

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TempMachine::TempMachine(const std::string& sxmachineIni) {
  (void)sxmachineIni;  // settings of the simulation only
  host_ = sx::host::OpenWin32Host();
  previous_ = sx::host::SetCurrentHost(host_.get());
}

TempMachine::~TempMachine() {
  IniCloseAll();
  sx::host::SetCurrentHost(previous_);
}

void TempMachine::Reopen() {
  IniCloseAll();
  sx::host::SetCurrentHost(previous_);
  host_ = sx::host::OpenWin32Host();
  previous_ = sx::host::SetCurrentHost(host_.get());
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteHostFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

int RunCommand(const std::string& commandLine, std::string* output) {
  FILE* pipe = _popen(commandLine.c_str(), "rb");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  const int status = _pclose(pipe);
  if (output) *output = text;
  return status;
}

}  // namespace sx::test
