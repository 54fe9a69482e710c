#include "tests/support/temp_machine.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/posix/posix_host.h"
#include "platform/ini_cache.h"

namespace sx::test {

bool RunningUnderWine() { return false; }

TempMachine::TempMachine(const std::string& sxmachineIni) {
  std::string pattern = (std::filesystem::temp_directory_path() / "sxmachine-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary machine folder");
  folder_ = pattern;
  sx::host::InitMachine(folder_);
  if (!sxmachineIni.empty()) WriteHostFile(folder_ + "/sxmachine.ini", sxmachineIni);
  host_ = sx::host::OpenPosixHost(folder_);
  previous_ = sx::host::SetCurrentHost(host_.get());
}

TempMachine::~TempMachine() {
  IniCloseAll();  // documents a test left in the cache belong to this machine
  sx::host::SetCurrentHost(previous_);
  host_.reset();
  std::error_code ignored;
  // Read-only files and folders must not stop the clean-up.
  for (auto it = std::filesystem::recursive_directory_iterator(folder_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink())
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(folder_, ignored);
}

void TempMachine::Reopen() {
  IniCloseAll();
  host_->RegFlush();
  sx::host::SetCurrentHost(previous_);
  host_.reset();
  host_ = sx::host::OpenPosixHost(folder_);
  previous_ = sx::host::SetCurrentHost(host_.get());
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteHostFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

int RunCommand(const std::string& commandLine, std::string* output) {
  FILE* pipe = popen(commandLine.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ToolScratch::ToolScratch(const std::string& prefix)
    : folder_((std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))).string()) {
  std::filesystem::create_directories(folder_);
}

ToolScratch::~ToolScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string ToolScratch::Write(const std::string& name, const std::string& content) {
  std::string path = PathOf(name);
  WriteHostFile(path, content);
  return path;
}

int ToolScratch::Run(const std::string& arguments, std::string* out, std::string* err) {
  const std::string errPath = PathOf("stderr.txt");
  int status = RunCommand(std::string(SX_SXTOOL) + " " + arguments + " 2>" + errPath, out);
  if (err) *err = ReadHostFile(errPath);
  return status;
}

}  // namespace sx::test
