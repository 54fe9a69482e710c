// Atlas's programs for Windows, one source built three times (ATLAS_PROGRAM names which):
//   precheck.exe  runs before Atlas's files are installed, from the setup's own package folder:
//                 checks that the Windows folder is there, as a real check would look at the system
//   atlascfg.exe  the configuration helper: the setup runs it after installing (/firstrun), the
//                 uninstaller before removing (/cleanup)
//   atlas.exe     the map viewer (a stand-in: it names the maps it would show)
// Each run of precheck and atlascfg is noted in the file ATLAS_RUN_LOG names, as the builds for
// the simulated machine (shell scripts) do.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Note(const std::string& line) {
  const char* log = std::getenv("ATLAS_RUN_LOG");
  if (!log || !*log) return;
  if (std::FILE* file = std::fopen(log, "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

std::string Joined(int argc, char** argv) {
  std::string out;
  for (int i = 1; i < argc; ++i) out += (i > 1 ? " " : "") + std::string(argv[i]);
  return out;
}

int Precheck(int argc, char** argv) {
  char windows[MAX_PATH] = {};
  const DWORD n = GetWindowsDirectoryA(windows, MAX_PATH);
  const DWORD attributes = n ? GetFileAttributesA(windows) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    std::fprintf(stderr, "precheck: no Windows folder\n");
    return 1;
  }
  std::printf("precheck: the machine is ready for Atlas\n");
  Note("precheck " + Joined(argc, argv));
  return 0;
}

int Configure(int argc, char** argv) {
  const char* what = nullptr;
  if (argc > 1 && std::strcmp(argv[1], "/firstrun") == 0) what = "first-run configuration";
  if (argc > 1 && std::strcmp(argv[1], "/cleanup") == 0) what = "clean-up before removal";
  if (!what) {
    std::fprintf(stderr, "usage: atlascfg /firstrun | /cleanup\n");
    return 2;
  }
  std::printf("atlascfg: %s\n", what);
  Note(std::string("atlascfg ") + argv[1]);
  return 0;
}

int Viewer() {
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  std::printf("Atlas 2.1 - maps in: %s\n", folder);
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA("..\\maps\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) std::printf("  %s\n", entry.cFileName);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = ATLAS_PROGRAM;
  if (program == "precheck") return Precheck(argc, argv);
  if (program == "atlascfg") return Configure(argc, argv);
  return Viewer();
}
