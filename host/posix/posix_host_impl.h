// The POSIX host's class. Its calls are implemented across posix_*.cpp by area: machine and
// facts, files, processes and libraries, message boxes, time and environment.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/host.h"
#include "host/posix/codepage.h"
#include "host/posix/drive_space.h"
#include "host/posix/machine_settings.h"
#include "host/posix/simulated_file_states.h"
#include "host/posix/path_mapper.h"
#include "host/posix/registry.h"
#include "host/posix/session_channel.h"

namespace sx::host {

class PosixHost final : public Host {
 public:
  explicit PosixHost(std::string machineFolder);
  ~PosixHost() override;

  uint32_t LastError() override;
  void SetLastError(uint32_t code) override;

  std::string MachineFolder() override { return machineFolder_; }
  const MachineFacts& Facts() override { return facts_; }
  std::string ShellFolder(int csidl) override;

  std::string AnsiToUtf8(std::string_view ansi) override { return ansi_->ToUtf8(ansi); }
  std::string Utf8ToAnsi(std::string_view utf8) override { return ansi_->FromUtf8(utf8); }
  std::string AnsiToOem(std::string_view ansi) override;
  std::string UpperCaseLocale(std::string_view text) override { return ansi_->Upper(text); }
  int CompareLocale(std::string_view a, std::string_view b, bool ignoreCase) override;

  std::optional<std::string> MapPath(std::string_view windowsPath) override;
  std::optional<std::string> WindowsPathOf(std::string_view hostPath) override;
  std::string FullPath(std::string_view path) override;
  std::string CurrentFolder() override;
  bool SetCurrentFolder(std::string_view path) override;
  std::string ModuleFileName() override;
  std::string TempPath() override;

  std::optional<FileInfo> GetFileInfo(std::string_view path) override;
  bool SetFileAttributes(std::string_view path, uint32_t attributes) override;
  bool SetFileTimes(std::string_view path, const FileTime* creation, const FileTime* lastAccess,
                    const FileTime* lastWrite) override;
  bool CreateFolder(std::string_view path) override;
  bool RemoveFolder(std::string_view path) override;
  bool DeleteFile(std::string_view path) override;
  bool MoveFile(std::string_view from, std::string_view to, bool replaceExisting) override;
  bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) override;
  std::unique_ptr<File> OpenFile(std::string_view path, OpenOptions options) override;
  std::optional<std::vector<FindEntry>> FindFiles(std::string_view mask) override;
  std::optional<DiskSpace> GetDiskSpace(std::string_view path) override;

  bool RegKeyExists(RegRoot root, std::string_view subKey) override {
    return registry_->KeyExists(root, subKey);
  }
  bool RegCreateKey(RegRoot root, std::string_view subKey) override {
    return registry_->CreateKey(root, subKey);
  }
  bool RegDeleteKey(RegRoot root, std::string_view subKey) override {
    return registry_->DeleteKey(root, subKey);
  }
  std::optional<RegValue> RegQueryValue(RegRoot root, std::string_view subKey,
                                        std::string_view name) override {
    return registry_->QueryValue(root, subKey, name);
  }
  bool RegSetValue(RegRoot root, std::string_view subKey, std::string_view name,
                   const RegValue& value) override {
    return registry_->SetValue(root, subKey, name, value);
  }
  bool RegDeleteValue(RegRoot root, std::string_view subKey, std::string_view name) override {
    return registry_->DeleteValue(root, subKey, name);
  }
  std::optional<std::vector<std::string>> RegEnumKeys(RegRoot root,
                                                      std::string_view subKey) override {
    return registry_->EnumKeys(root, subKey);
  }
  std::optional<std::vector<RegNamedValue>> RegEnumValues(RegRoot root,
                                                          std::string_view subKey) override {
    return registry_->EnumValues(root, subKey);
  }
  bool RegFlush() override { return registry_->Flush(); }

  bool ExitWindows(uint32_t flags) override;
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override;
  std::unique_ptr<Window> CreateWindow(const WindowSpec& options) override;  // posix_windows.cpp
  std::unique_ptr<NamedMutex> CreateNamedMutex(std::string_view name) override;  // posix_mutex.cpp
  bool IsProtectedFile(std::string_view path) override;  // sxmachine.ini [ProtectedFiles]

  std::optional<std::string> GetEnv(std::string_view name) override;
  bool SetEnv(std::string_view name, std::optional<std::string_view> value) override;
  std::vector<std::string> ListEnv() override;

  std::unique_ptr<Process> CreateProcess(std::string_view programPath,
                                         std::string_view commandLine,
                                         std::string_view workingFolder, int show) override;
  std::unique_ptr<Process> ShellExecute(std::string_view file, std::string_view arguments,
                                        std::string_view workingFolder, int show) override;

  std::unique_ptr<Library> LoadLibrary(std::string_view path) override;

  FileTime SystemTimeNow() override;
  SystemTime LocalTimeNow() override;
  FileTime UtcToLocal(FileTime utc) override;
  FileTime LocalToUtc(FileTime local) override;
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;

  bool SaveShellLink(std::string_view path, const ShellLinkData& link) override;  // posix_shell.cpp
  void NotifyFolderUpdated(std::string_view path) override;
  bool AddFontResource(std::string_view path) override;  // posix_fonts.cpp
  bool RemoveFontResource(std::string_view path) override;
  std::optional<TypeLibInfo> LoadTypeLib(std::string_view path) override;  // posix_typelib.cpp
  bool RegisterTypeLib(std::string_view path, std::string_view helpFolder) override;
  bool UnRegisterTypeLib(const TypeLibInfo& library) override;
  void BroadcastSettingChange(std::string_view area) override;
  void BroadcastFontChange() override;
  void Trace(std::string_view kind, std::string_view text) override;

  bool AnnounceSession() override;  // posix_session.cpp
  void WithdrawSession() override;
  void ServeSessionQueries(const std::function<bool()>& answer) override;

 private:
  // The host path of a Windows path (relative paths from the current folder).
  std::optional<std::string> Map(std::string_view path, MappedEntry* entry = nullptr);
  void LoadFacts();
  std::string ReadRegString(RegRoot root, std::string_view key, std::string_view name);
  std::string ExpandMachineVariables(std::string text);
  int NextScriptedAnswer();

  std::string machineFolder_;
  MachineSettings settings_;
  MachineFacts facts_;
  std::unique_ptr<CodePage> ansi_;
  std::unique_ptr<CodePage> oem_;
  std::unique_ptr<PathMapper> paths_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<SimulatedFileStates> fileStates_;
  std::unique_ptr<DriveSizes> driveSizes_;
  // What the drive of a Windows path can still take, when the machine sets its size.
  std::optional<uint64_t> RoomOnDrive(std::string_view path);
  // Fails with a sharing violation when a program of the machine holds the file (see
  // simulated_file_states.h); true then.
  bool RefusedInUse(std::string_view path);
  bool RefusedInUse(std::string_view path, std::string_view otherPath);  // either one in use
  std::unique_ptr<SessionChannel> session_;  // while the process is announced
  // When the session's socket is looked at next: the main thread serves its queue thousands of
  // times a second during the file phase, a question needs an answer only within seconds.
  std::chrono::steady_clock::time_point nextSessionPoll_{};

  std::mutex mutex_;  // guards what follows
  std::string currentFolder_;
  std::vector<std::string> scriptedAnswers_;
  size_t nextAnswer_ = 0;
  std::map<std::string, std::string, CaseLess> environment_;  // the process environment, ANSI
};

}  // namespace sx::host
