#include "util/run_program.h"

#include <string>

#include "host/host.h"
#include "util/message_queue.h"
#include "util/str_utils.h"

namespace sx {

std::atomic<bool> SessionEnding{false};

namespace {

bool IsProgramExtension(std::string_view file) {
  size_t dot = file.find_last_of('.');
  size_t slash = file.find_last_of('\\');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return false;
  std::string ext = LowerCaseFast(file.substr(dot));
  return ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".pif" || ext == ".lnk";
}

}  // namespace

int RunAndWait(WindowHandle, std::string_view fileIn, std::string_view arguments, int show,
               std::string_view folderIn) {
  auto& host = host::CurrentHost();
  std::string file = Unquote(fileIn, '"');
  std::string folder = Trim(Unquote(folderIn, '"'));
  std::unique_ptr<host::Process> process;
  if (host.GetFileInfo(file) && IsProgramExtension(file)) {
    std::string commandLine = Trim("\"" + file + "\" " + std::string(arguments));
    process = host.CreateProcess(file, commandLine, folder, show);
  } else {
    process = host.ShellExecute(file, arguments, folder, show);
  }
  if (!process) return -1;
  for (;;) {
    if (process->Wait(100)) return static_cast<int>(process->ExitCode());
    PumpMessages();
    if (SessionEnding) return 0;
  }
}

}  // namespace sx
