// Programs of the POSIX host. A "program" is any host executable: an ELF file or a script with a
// "#!" line, whatever its Windows extension. Files a setup extracts carry no execute bit (Windows
// has none), so a program that lacks it gets it before it starts.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "host/posix/batch_script.h"
#include "host/posix/command_line.h"
#include "host/posix/posix_host_impl.h"
#include "host/posix/thread_error.h"

extern char** environ;

namespace sx::host {
namespace {

constexpr uint32_t kStillActive = 259;

class PosixProcess final : public Process {
 public:
  explicit PosixProcess(pid_t pid) : pid_(pid) {
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  }
  ~PosixProcess() override {
    if (pidfd_ >= 0) close(pidfd_);
    if (!ended_) {
      // The program runs on; reap it when it ends so it leaves no zombie behind.
      pid_t pid = pid_;
      std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    }
  }

  bool Wait(uint32_t milliseconds) override {
    if (ended_) return true;
    if (TryReap()) return true;
    if (milliseconds == 0) return false;
    if (pidfd_ >= 0) {
      pollfd p{pidfd_, POLLIN, 0};
      int timeout = milliseconds == 0xFFFFFFFFu ? -1 : static_cast<int>(std::min<uint32_t>(milliseconds, 0x7FFFFFFF));
      while (poll(&p, 1, timeout) < 0 && errno == EINTR) {
      }
      return TryReap();
    }
    // No process descriptors: look every millisecond.
    for (uint32_t waited = 0; milliseconds == 0xFFFFFFFFu || waited < milliseconds; ++waited) {
      usleep(1000);
      if (TryReap()) return true;
    }
    return false;
  }

  uint32_t ExitCode() override {
    if (!ended_) TryReap();
    return ended_ ? exitCode_ : kStillActive;
  }

 private:
  bool TryReap() {
    int status;
    pid_t r;
    while ((r = waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (r != pid_) return false;
    ended_ = true;
    if (WIFEXITED(status)) exitCode_ = static_cast<uint32_t>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status)) exitCode_ = 128u + static_cast<uint32_t>(WTERMSIG(status));
    return true;
  }

  pid_t pid_;
  int pidfd_ = -1;
  bool ended_ = false;
  uint32_t exitCode_ = kStillActive;
};

// True for a file the host can start: an ELF image or a script.
bool IsHostProgram(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char head[4] = {};
  ssize_t n = read(fd, head, sizeof head);
  close(fd);
  return (n == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0) || (n >= 2 && head[0] == '#' && head[1] == '!');
}

std::string LowerExtension(std::string_view path) {
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of("\\/");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string ext(path.substr(dot));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

std::unique_ptr<Process> PosixHost::CreateProcess(std::string_view programPath,
                                                  std::string_view commandLine,
                                                  std::string_view workingFolder, int show) {
  auto program = Map(programPath);
  if (!program) return nullptr;
  struct stat st;
  if (stat(program->c_str(), &st) != 0) {
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  const bool batch = LowerExtension(programPath) == ".bat" || LowerExtension(programPath) == ".cmd";
  const bool hostProgram = S_ISREG(st.st_mode) && IsHostProgram(*program);
  if (!S_ISREG(st.st_mode) || (!batch && !hostProgram)) {
    Fail(kErrorBadExeFormat);
    return nullptr;
  }
  if (hostProgram && !(st.st_mode & S_IXUSR) &&
      chmod(program->c_str(), (st.st_mode & 07777) | S_IXUSR | S_IXGRP | S_IXOTH) != 0) {
    Fail(kErrorAccessDenied);
    return nullptr;
  }
  std::string folder;
  if (!workingFolder.empty()) {
    auto mapped = Map(workingFolder);
    struct stat fst;
    if (!mapped || stat(mapped->c_str(), &fst) != 0 || !S_ISDIR(fst.st_mode)) {
      Fail(kErrorDirectory);
      return nullptr;
    }
    folder = *mapped;
  } else if (auto current = Map(CurrentFolder())) {
    folder = *current;
  }

  std::vector<std::string> hostArgs;
  std::string executable = *program;
  if (!hostProgram) {
    // A Windows batch file: its commands run as a shell script, paths taken from its folder.
    std::string base = workingFolder.empty() ? CurrentFolder() : std::string(workingFolder);
    std::ifstream in(*program, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto script = TranslateBatch(ansi_->FromUtf16(oem_->ToUtf16(text)), [&](std::string_view path) {
      auto full = NormalizeWindowsPath(path, base);
      return full ? paths_->ToHost(*full) : std::nullopt;
    });
    if (!script) {
      Fail(kErrorBadExeFormat);
      return nullptr;
    }
    executable = "/bin/sh";
    hostArgs = {"/bin/sh", "-c", *script, *program};
  } else {
    std::vector<std::string> args = SplitWindowsCommandLine(commandLine);
    if (args.empty()) args.push_back(std::string(programPath));
    for (const auto& a : args) hostArgs.push_back(ansi_->ToUtf8(a));
  }
  std::vector<char*> argv;
  for (auto& a : hostArgs) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The program works on the same machine as we do.
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e)
    if (std::strncmp(*e, "SX_MACHINE=", 11) != 0) env.emplace_back(*e);
  env.push_back("SX_MACHINE=" + machineFolder_);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid;
  // Other processes read the machine's registry from its files.
  registry_->Flush();
  int rc = posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  // The show code is recorded only: programs here have no windows to show.
  Trace("process", std::string(commandLine.empty() ? programPath : commandLine) + " show=" + std::to_string(show));
  if (rc != 0) {
    Fail(rc == ENOEXEC ? kErrorBadExeFormat : WinErrorFromErrno(rc));
    return nullptr;
  }
  return std::make_unique<PosixProcess>(pid);
}

std::unique_ptr<Process> PosixHost::ShellExecute(std::string_view file, std::string_view arguments,
                                                 std::string_view workingFolder, int show) {
  auto host = Map(file);
  struct stat st;
  if (!host || stat(host->c_str(), &st) != 0) {
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  std::string path = FullPath(file);
  std::string ext = LowerExtension(path);
  static const char* kPrograms[] = {".exe", ".com", ".bat", ".cmd", ".pif"};
  bool program = false;
  for (const char* p : kPrograms) program = program || ext == p;
  std::string args(arguments);
  std::optional<std::string> association =
      ext.empty() ? std::nullopt : settings_.Get("Associations", ext);
  if (program || (!association && S_ISREG(st.st_mode) && IsHostProgram(*host))) {
    std::string line = "\"" + path + "\"" + (args.empty() ? "" : " " + args);
    return CreateProcess(path, line, workingFolder, show);
  }
  if (!association) {
    Fail(kErrorNoAssociation);
    return nullptr;
  }
  std::string line = "\"" + *association + "\" \"" + path + "\"" + (args.empty() ? "" : " " + args);
  return CreateProcess(*association, line, workingFolder, show);
}

}  // namespace sx::host
