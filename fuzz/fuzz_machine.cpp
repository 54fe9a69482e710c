#include "fuzz/fuzz_machine.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "host/host_wrapper.h"
#include "host/posix/posix_host.h"
#include "platform/ini_cache.h"

namespace sx::fuzz {
namespace {

using host::kErrorAccessDenied;

[[noreturn]] void Die(const char* what) {
  std::fprintf(stderr, "fuzz machine: %s\n", what);
  std::abort();
}

// Forwards reads; refuses every change. Message boxes answer with their default button.
class ReadOnlyHost : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;

  bool SetFileAttributes(std::string_view, uint32_t) override { return Refuse(); }
  bool SetFileTimes(std::string_view, const host::FileTime*, const host::FileTime*,
                    const host::FileTime*) override {
    return Refuse();
  }
  bool CreateFolder(std::string_view) override { return Refuse(); }
  bool RemoveFolder(std::string_view) override { return Refuse(); }
  bool DeleteFile(std::string_view) override { return Refuse(); }
  bool MoveFile(std::string_view, std::string_view, bool) override { return Refuse(); }
  bool CopyFile(std::string_view, std::string_view, bool) override { return Refuse(); }
  std::unique_ptr<host::File> OpenFile(std::string_view path, host::OpenOptions options) override {
    if (options.mode != host::OpenMode::kRead) {
      Refuse();
      return nullptr;
    }
    return HostWrapper::OpenFile(path, options);
  }
  bool RegCreateKey(host::RegRoot, std::string_view) override { return Refuse(); }
  bool RegDeleteKey(host::RegRoot, std::string_view) override { return Refuse(); }
  bool RegSetValue(host::RegRoot, std::string_view, std::string_view,
                   const host::RegValue&) override {
    return Refuse();
  }
  bool RegDeleteValue(host::RegRoot, std::string_view, std::string_view) override {
    return Refuse();
  }
  bool SetEnv(std::string_view, std::optional<std::string_view>) override { return Refuse(); }
  std::unique_ptr<host::Process> CreateProcess(std::string_view, std::string_view,
                                               std::string_view, int) override {
    Refuse();
    return nullptr;
  }
  std::unique_ptr<host::Process> ShellExecute(std::string_view, std::string_view,
                                              std::string_view, int) override {
    Refuse();
    return nullptr;
  }
  std::unique_ptr<host::Library> LoadLibrary(std::string_view) override {
    Refuse();
    return nullptr;
  }
  bool ExitWindows(uint32_t) override { return Refuse(); }
  int MessageBox(std::string_view, std::string_view, uint32_t style) override {
    return DefaultAnswer(style);
  }

 private:
  bool Refuse() {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  // The first button of the box's button set (MB_OK ... MB_RETRYCANCEL).
  static int DefaultAnswer(uint32_t style) {
    switch (style & 0x0F) {
      case 1: return host::kIdOk;
      case 2: return host::kIdAbort;
      case 3:
      case 4: return host::kIdYes;
      case 5: return host::kIdRetry;
      default: return host::kIdOk;
    }
  }
};

class FuzzMachine {
 public:
  FuzzMachine() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sxfuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) Die("cannot create a temporary machine folder");
    folder_ = pattern;
    try {
      host::InitMachine(folder_);
      std::filesystem::remove(folder_ + "/dosdevices/z:");
      host_ = host::OpenPosixHost(folder_);
    } catch (const std::exception& e) {
      Die(e.what());
    }
    host::SetCurrentHost(host_.get());
    readOnly_ = std::make_unique<ReadOnlyHost>(*host_);
    if (!host_->CreateFolder("C:\\fuzz")) Die("cannot create C:\\fuzz");
  }
  ~FuzzMachine() {
    IniCloseAll();
    host::SetCurrentHost(nullptr);
    readOnly_.reset();
    host_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  host::Host& Host() { return *host_; }
  host::Host& ReadOnly() { return *readOnly_; }

 private:
  std::string folder_;
  std::unique_ptr<host::Host> host_;
  std::unique_ptr<host::Host> readOnly_;
};

FuzzMachine& TheMachine() {
  static FuzzMachine machine;
  return machine;
}

}  // namespace

host::Host& Machine() { return TheMachine().Host(); }

void WriteMachineFile(std::string_view windowsPath, std::string_view content) {
  auto file = Machine().OpenFile(windowsPath, {host::OpenMode::kCreateAlways});
  if (!file || !file->Write(content.data(), content.size())) Die("cannot write an input file");
}

ReadOnlyMachine::ReadOnlyMachine() : previous_(host::SetCurrentHost(&TheMachine().ReadOnly())) {}
ReadOnlyMachine::~ReadOnlyMachine() { host::SetCurrentHost(previous_); }

}  // namespace sx::fuzz
