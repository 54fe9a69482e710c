// The Win32 host's class. Its calls are implemented across win32_*.cpp by area: machine facts,
// code pages, paths, environment and time (win32_host.cpp), files (win32_files.cpp), registry
// (win32_registry.cpp), processes, libraries and the end of the session (win32_process.cpp),
// message boxes (win32_message_box.cpp), windows (win32_windows.cpp), shell services, fonts and type libraries
// (win32_shell.cpp).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "host/host.h"

namespace sx::host {

// ANSI <-> UTF-16 in the process's code page (CP_ACP), as the "A" functions convert.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// Splits a program's command line into its parameters, the program's name first: blanks and
// control characters separate them, double quotes group and are dropped, a backslash is an
// ordinary character (so "C:\Temp\" stays a folder). Bytes stay as they are (ANSI).
std::vector<std::string> SplitProgramCommandLine(std::string_view commandLine);

// Stores the calling thread's Windows error as the host's last error (the Win32 calls of the
// host set it themselves; registry calls return theirs, which this takes). Returns false.
bool FailWith(uint32_t code);

class Win32Host final : public Host {
 public:
  Win32Host();
  ~Win32Host() override;

  uint32_t LastError() override;
  void SetLastError(uint32_t code) override;

  std::string MachineFolder() override { return ""; }
  const MachineFacts& Facts() override { return facts_; }
  std::string ShellFolder(int csidl) override;

  std::string AnsiToUtf8(std::string_view ansi) override;
  std::string Utf8ToAnsi(std::string_view utf8) override;
  std::string AnsiToOem(std::string_view ansi) override;
  std::string UpperCaseLocale(std::string_view text) override;
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

  bool RegKeyExists(RegRoot root, std::string_view subKey) override;
  bool RegCreateKey(RegRoot root, std::string_view subKey) override;
  bool RegDeleteKey(RegRoot root, std::string_view subKey) override;
  std::optional<RegValue> RegQueryValue(RegRoot root, std::string_view subKey,
                                        std::string_view name) override;
  bool RegSetValue(RegRoot root, std::string_view subKey, std::string_view name,
                   const RegValue& value) override;
  bool RegDeleteValue(RegRoot root, std::string_view subKey, std::string_view name) override;
  std::optional<std::vector<std::string>> RegEnumKeys(RegRoot root,
                                                      std::string_view subKey) override;
  std::optional<std::vector<RegNamedValue>> RegEnumValues(RegRoot root,
                                                          std::string_view subKey) override;
  bool RegFlush() override;

  bool ExitWindows(uint32_t flags) override;
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override;
  std::unique_ptr<Window> CreateWindow(const WindowSpec& options) override;
  std::unique_ptr<NamedMutex> CreateNamedMutex(std::string_view name) override;
  bool IsProtectedFile(std::string_view path) override;

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

  bool SaveShellLink(std::string_view path, const ShellLinkData& link) override;
  void NotifyFolderUpdated(std::string_view path) override;
  bool AddFontResource(std::string_view path) override;
  bool RemoveFontResource(std::string_view path) override;
  std::optional<TypeLibInfo> LoadTypeLib(std::string_view path) override;
  bool RegisterTypeLib(std::string_view path, std::string_view helpFolder) override;
  bool UnRegisterTypeLib(const TypeLibInfo& library) override;
  void BroadcastSettingChange(std::string_view area) override;
  void BroadcastFontChange() override;
  void Trace(std::string_view kind, std::string_view text) override;
  // The session-end question (WM_QUERYENDSESSION) reaches the engine's windows on the main
  // thread while it serves its messages (win32_windows.cpp).
  bool AnnounceSession() override;
  void WithdrawSession() override;
  void ServeSessionQueries(const std::function<bool()>& answer) override;

 private:
  void LoadFacts();
  int NextScriptedAnswer();

  MachineFacts facts_;
  std::mutex mutex_;  // guards what follows
  std::vector<std::string> scriptedAnswers_;
  size_t nextAnswer_ = 0;
};

}  // namespace sx::host
