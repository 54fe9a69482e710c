// A throw-away machine folder for a test: created fresh under the system's temporary folder,
// installed as the current host, removed with everything in it at the end.
#pragma once

#include <memory>
#include <string>

#include "host/host.h"

namespace sx::test {

class TempMachine {
 public:
  // `sxmachineIni`, when not empty, is written as the machine's sxmachine.ini before it opens.
  explicit TempMachine(const std::string& sxmachineIni = "");
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  sx::host::Host& host() { return *host_; }
  // Host path of the machine folder and of a file inside it ("drive_c/windows/win.ini").
  const std::string& folder() const { return folder_; }
  std::string HostPath(const std::string& relative) const { return folder_ + "/" + relative; }
  // Opens the machine again (as a new process would), e.g. after a file was changed behind it.
  void Reopen();

 private:
  std::string folder_;
  std::unique_ptr<sx::host::Host> host_;
  sx::host::Host* previous_ = nullptr;
};

// True when the test runs on Wine rather than on Windows or the simulated machine.
bool RunningUnderWine();

// Whole content of a host file ("" when missing), and writing one (with its folders).
std::string ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, const std::string& content);
// Runs a shell command line, returns its exit status and, in `output`, what it printed on stdout.
int RunCommand(const std::string& commandLine, std::string* output = nullptr);

// A scratch folder of this computer for a test that runs sxtool on files, removed at the end.
class ToolScratch {
 public:
  explicit ToolScratch(const std::string& prefix);
  ~ToolScratch();
  ToolScratch(const ToolScratch&) = delete;
  ToolScratch& operator=(const ToolScratch&) = delete;

  // The path a file of that name has in the folder.
  std::string PathOf(const std::string& name) const { return folder_ + "/" + name; }
  // Writes a file into the folder and returns its path.
  std::string Write(const std::string& name, const std::string& content);
  // Runs sxtool with the arguments; its standard output in `out`, its standard error in `err`.
  int Run(const std::string& arguments, std::string* out, std::string* err = nullptr);

 private:
  std::string folder_;
};

}  // namespace sx::test
