// Programs, libraries, named mutexes and the end of the session on the Win32 host.
#include "host/win32/win32_api.h"

#include <cstdio>

#include "host/win32/win32_host_impl.h"

namespace sx::host {
namespace {

std::string Z(std::string_view text) { return std::string(text); }

class Win32Process final : public Process {
 public:
  explicit Win32Process(HANDLE process) : process_(process) {}
  ~Win32Process() override { CloseHandle(process_); }
  bool Wait(uint32_t milliseconds) override {
    return WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0;
  }
  uint32_t ExitCode() override {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
  }

 private:
  HANDLE process_;
};

// What a document opened by an already running program (through DDE, say) gives: nothing to
// wait for, and success.
class FinishedProcess final : public Process {
 public:
  bool Wait(uint32_t) override { return true; }
  uint32_t ExitCode() override { return 0; }
};

class Win32Library final : public Library {
 public:
  explicit Win32Library(HMODULE module) : module_(module) {}
  ~Win32Library() override { FreeLibrary(module_); }
  void* Symbol(const std::string& name) override {
    return reinterpret_cast<void*>(GetProcAddress(module_, name.c_str()));
  }

 private:
  HMODULE module_;
};

class Win32Mutex final : public NamedMutex {
 public:
  Win32Mutex(HANDLE mutex, bool existed) : mutex_(mutex), existed_(existed) {}
  ~Win32Mutex() override { CloseHandle(mutex_); }
  bool AlreadyExisted() override { return existed_; }

 private:
  HANDLE mutex_;
  bool existed_;
};

// ExitWindowsEx needs the shutdown privilege in the process's token.
void EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  CloseHandle(token);
}

}  // namespace

std::unique_ptr<Process> Win32Host::CreateProcess(std::string_view programPath,
                                                  std::string_view commandLine,
                                                  std::string_view workingFolder, int show) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process = {};
  std::string line = Z(commandLine.empty() ? programPath : commandLine);  // CreateProcess may write to it
  const std::string program = Z(programPath), folder = Z(workingFolder);
  if (!CreateProcessA(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr, FALSE,
                      0, nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  Trace("process", Z(commandLine.empty() ? programPath : commandLine) + " show=" + std::to_string(show));
  return std::make_unique<Win32Process>(process.hProcess);
}

std::unique_ptr<Process> Win32Host::ShellExecute(std::string_view file, std::string_view arguments,
                                                 std::string_view workingFolder, int show) {
  const std::string target = Z(file), args = Z(arguments), folder = Z(workingFolder);
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpFile = target.c_str();
  info.lpParameters = args.empty() ? nullptr : args.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = show;
  if (!ShellExecuteExA(&info)) return nullptr;
  Trace("process", target + (args.empty() ? "" : " " + args) + " show=" + std::to_string(show));
  if (!info.hProcess) return std::make_unique<FinishedProcess>();
  return std::make_unique<Win32Process>(info.hProcess);
}

std::unique_ptr<Library> Win32Host::LoadLibrary(std::string_view path) {
  // No "cannot find the library" boxes: the caller reports the failure.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(Z(path).c_str());
  const DWORD error = ::GetLastError();
  SetErrorMode(previous);
  if (!module) {
    FailWith(error);
    return nullptr;
  }
  return std::make_unique<Win32Library>(module);
}

std::unique_ptr<NamedMutex> Win32Host::CreateNamedMutex(std::string_view name) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, Z(name).c_str());
  if (!mutex) return nullptr;
  return std::make_unique<Win32Mutex>(mutex, ::GetLastError() == ERROR_ALREADY_EXISTS);
}

bool Win32Host::ExitWindows(uint32_t flags) {
  char text[64];
  std::snprintf(text, sizeof text, "flags=0x%X", flags);
  EnableShutdownPrivilege();
  if (!ExitWindowsEx(flags, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED)) {
    const DWORD error = ::GetLastError();
    Trace("exitwindows", std::string(text) + " refused");
    return FailWith(error);
  }
  Trace("exitwindows", text);
  return true;
}

}  // namespace sx::host
