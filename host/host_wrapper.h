// A host that forwards every call to another host. Tests derive from it and override the few calls
// they need to change: failing the Nth write, answering message boxes from a script, pretending a
// folder is full. Not owning; the inner host must outlive the wrapper.
#pragma once

#include <memory>
#include <utility>

#include "host/host.h"

namespace sx::host {

// A file that forwards every call to another file, which it owns. Tests derive from it and
// override the calls they change.
class FileWrapper : public File {
 public:
  explicit FileWrapper(std::unique_ptr<File> inner) : inner_(std::move(inner)) {}
  File& Inner() { return *inner_; }

  std::optional<size_t> Read(void* buffer, size_t count) override { return inner_->Read(buffer, count); }
  bool Write(const void* data, size_t count) override { return inner_->Write(data, count); }
  bool Seek(uint64_t position) override { return inner_->Seek(position); }
  std::optional<uint64_t> Position() override { return inner_->Position(); }
  std::optional<uint64_t> Size() override { return inner_->Size(); }
  bool Truncate() override { return inner_->Truncate(); }
  bool Sync() override { return inner_->Sync(); }
  bool SetTimes(const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite) override {
    return inner_->SetTimes(creation, lastAccess, lastWrite);
  }
  bool SetAttributes(uint32_t attributes) override { return inner_->SetAttributes(attributes); }

 private:
  std::unique_ptr<File> inner_;
};

class HostWrapper : public Host {
 public:
  explicit HostWrapper(Host& inner) : inner_(&inner) {}
  Host& Inner() { return *inner_; }

  uint32_t LastError() override { return inner_->LastError(); }
  void SetLastError(uint32_t code) override { inner_->SetLastError(code); }
  std::string MachineFolder() override { return inner_->MachineFolder(); }
  const MachineFacts& Facts() override { return inner_->Facts(); }
  std::string ShellFolder(int csidl) override { return inner_->ShellFolder(csidl); }
  std::string AnsiToUtf8(std::string_view ansi) override { return inner_->AnsiToUtf8(ansi); }
  std::string Utf8ToAnsi(std::string_view utf8) override { return inner_->Utf8ToAnsi(utf8); }
  std::string AnsiToOem(std::string_view ansi) override { return inner_->AnsiToOem(ansi); }
  std::string UpperCaseLocale(std::string_view text) override { return inner_->UpperCaseLocale(text); }
  int CompareLocale(std::string_view a, std::string_view b, bool ignoreCase) override { return inner_->CompareLocale(a, b, ignoreCase); }
  std::optional<std::string> MapPath(std::string_view windowsPath) override { return inner_->MapPath(windowsPath); }
  std::optional<std::string> WindowsPathOf(std::string_view hostPath) override { return inner_->WindowsPathOf(hostPath); }
  std::string FullPath(std::string_view path) override { return inner_->FullPath(path); }
  std::string CurrentFolder() override { return inner_->CurrentFolder(); }
  bool SetCurrentFolder(std::string_view path) override { return inner_->SetCurrentFolder(path); }
  std::string ModuleFileName() override { return inner_->ModuleFileName(); }
  std::string TempPath() override { return inner_->TempPath(); }
  std::optional<FileInfo> GetFileInfo(std::string_view path) override { return inner_->GetFileInfo(path); }
  bool SetFileAttributes(std::string_view path, uint32_t attributes) override { return inner_->SetFileAttributes(path, attributes); }
  bool SetFileTimes(std::string_view path, const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite) override { return inner_->SetFileTimes(path, creation, lastAccess, lastWrite); }
  bool CreateFolder(std::string_view path) override { return inner_->CreateFolder(path); }
  bool RemoveFolder(std::string_view path) override { return inner_->RemoveFolder(path); }
  bool DeleteFile(std::string_view path) override { return inner_->DeleteFile(path); }
  bool MoveFile(std::string_view from, std::string_view to, bool replaceExisting) override { return inner_->MoveFile(from, to, replaceExisting); }
  bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) override { return inner_->CopyFile(from, to, failIfExists); }
  std::unique_ptr<File> OpenFile(std::string_view path, OpenOptions options) override { return inner_->OpenFile(path, options); }
  std::optional<std::vector<FindEntry>> FindFiles(std::string_view mask) override { return inner_->FindFiles(mask); }
  std::optional<DiskSpace> GetDiskSpace(std::string_view path) override { return inner_->GetDiskSpace(path); }
  bool RegKeyExists(RegRoot root, std::string_view subKey) override { return inner_->RegKeyExists(root, subKey); }
  bool RegCreateKey(RegRoot root, std::string_view subKey) override { return inner_->RegCreateKey(root, subKey); }
  bool RegDeleteKey(RegRoot root, std::string_view subKey) override { return inner_->RegDeleteKey(root, subKey); }
  std::optional<RegValue> RegQueryValue(RegRoot root, std::string_view subKey, std::string_view name) override { return inner_->RegQueryValue(root, subKey, name); }
  bool RegSetValue(RegRoot root, std::string_view subKey, std::string_view name, const RegValue& value) override { return inner_->RegSetValue(root, subKey, name, value); }
  bool RegDeleteValue(RegRoot root, std::string_view subKey, std::string_view name) override { return inner_->RegDeleteValue(root, subKey, name); }
  std::optional<std::vector<std::string>> RegEnumKeys(RegRoot root, std::string_view subKey) override { return inner_->RegEnumKeys(root, subKey); }
  std::optional<std::vector<RegNamedValue>> RegEnumValues(RegRoot root, std::string_view subKey) override { return inner_->RegEnumValues(root, subKey); }
  bool RegFlush() override { return inner_->RegFlush(); }
  bool ExitWindows(uint32_t flags) override { return inner_->ExitWindows(flags); }
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override { return inner_->MessageBox(title, text, style); }
  std::unique_ptr<Window> CreateWindow(const WindowSpec& options) override { return inner_->CreateWindow(options); }
  std::unique_ptr<NamedMutex> CreateNamedMutex(std::string_view name) override { return inner_->CreateNamedMutex(name); }
  bool IsProtectedFile(std::string_view path) override { return inner_->IsProtectedFile(path); }
  std::optional<std::string> GetEnv(std::string_view name) override { return inner_->GetEnv(name); }
  bool SetEnv(std::string_view name, std::optional<std::string_view> value) override { return inner_->SetEnv(name, value); }
  std::vector<std::string> ListEnv() override { return inner_->ListEnv(); }
  std::unique_ptr<Process> CreateProcess(std::string_view programPath, std::string_view commandLine, std::string_view workingFolder, int show) override { return inner_->CreateProcess(programPath, commandLine, workingFolder, show); }
  std::unique_ptr<Process> ShellExecute(std::string_view file, std::string_view arguments, std::string_view workingFolder, int show) override { return inner_->ShellExecute(file, arguments, workingFolder, show); }
  std::unique_ptr<Library> LoadLibrary(std::string_view path) override { return inner_->LoadLibrary(path); }
  FileTime SystemTimeNow() override { return inner_->SystemTimeNow(); }
  SystemTime LocalTimeNow() override { return inner_->LocalTimeNow(); }
  FileTime UtcToLocal(FileTime utc) override { return inner_->UtcToLocal(utc); }
  FileTime LocalToUtc(FileTime local) override { return inner_->LocalToUtc(local); }
  uint32_t TickCount() override { return inner_->TickCount(); }
  void Sleep(uint32_t milliseconds) override { inner_->Sleep(milliseconds); }
  bool SaveShellLink(std::string_view path, const ShellLinkData& link) override { return inner_->SaveShellLink(path, link); }
  void NotifyFolderUpdated(std::string_view path) override { inner_->NotifyFolderUpdated(path); }
  bool AddFontResource(std::string_view path) override { return inner_->AddFontResource(path); }
  bool RemoveFontResource(std::string_view path) override { return inner_->RemoveFontResource(path); }
  std::optional<TypeLibInfo> LoadTypeLib(std::string_view path) override { return inner_->LoadTypeLib(path); }
  bool RegisterTypeLib(std::string_view path, std::string_view helpFolder) override { return inner_->RegisterTypeLib(path, helpFolder); }
  bool UnRegisterTypeLib(const TypeLibInfo& library) override { return inner_->UnRegisterTypeLib(library); }
  void BroadcastSettingChange(std::string_view area) override { inner_->BroadcastSettingChange(area); }
  void BroadcastFontChange() override { inner_->BroadcastFontChange(); }
  void Trace(std::string_view kind, std::string_view text) override { inner_->Trace(kind, text); }
  bool AnnounceSession() override { return inner_->AnnounceSession(); }
  void WithdrawSession() override { inner_->WithdrawSession(); }
  void ServeSessionQueries(const std::function<bool()>& answer) override {
    inner_->ServeSessionQueries(answer);
  }

 private:
  Host* inner_;
};

}  // namespace sx::host
