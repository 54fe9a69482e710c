// Hosts for fault injection around the real simulated machine: one that fails the Nth mutating
// call once (files, attributes, times, folders, registry, writes, times and attributes through
// open files, shell links, library loads and program starts), each kind with the error Windows
// gives for it, and one that refuses to delete chosen files, as Windows does for files in use.
#pragma once

#include <set>
#include <string>

#include "host/host_wrapper.h"
#include "util/case_tables.h"

namespace sx::test {

class FaultHost : public host::HostWrapper {
 public:
  explicit FaultHost(host::Host& inner) : HostWrapper(inner) {}

  int failAt = 0;      // the call number that fails (from 1); 0 fails none
  int mutations = 0;   // mutating calls counted so far
  bool counting = true;
  std::set<std::string> inUse;  // lower-case Windows paths whose deletion is refused
  std::string failedCall;       // the call that was failed, for messages ("MoveFile C:\a -> C:\b")

  bool SetFileAttributes(std::string_view path, uint32_t attributes) override {
    return Fail(host::kErrorAccessDenied, "SetFileAttributes", path) ? false
                                                                      : Inner().SetFileAttributes(path, attributes);
  }
  bool SetFileTimes(std::string_view path, const host::FileTime* c, const host::FileTime* a,
                    const host::FileTime* w) override {
    return Fail(host::kErrorAccessDenied, "SetFileTimes", path) ? false : Inner().SetFileTimes(path, c, a, w);
  }
  bool CreateFolder(std::string_view path) override {
    return Fail(host::kErrorAccessDenied, "CreateFolder", path) ? false : Inner().CreateFolder(path);
  }
  bool RemoveFolder(std::string_view path) override {
    return Fail(host::kErrorSharingViolation, "RemoveFolder", path) ? false : Inner().RemoveFolder(path);
  }
  bool DeleteFile(std::string_view path) override {
    if (inUse.count(LowerCaseFast(path))) {
      Inner().SetLastError(host::kErrorSharingViolation);
      return false;
    }
    return Fail(host::kErrorSharingViolation, "DeleteFile", path) ? false : Inner().DeleteFile(path);
  }
  bool MoveFile(std::string_view from, std::string_view to, bool replace) override {
    return Fail(host::kErrorSharingViolation, "MoveFile", std::string(from) + " -> " + std::string(to))
               ? false
               : Inner().MoveFile(from, to, replace);
  }
  bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) override {
    return Fail(host::kErrorDiskFull, "CopyFile", std::string(from) + " -> " + std::string(to))
               ? false
               : Inner().CopyFile(from, to, failIfExists);
  }
  std::unique_ptr<host::File> OpenFile(std::string_view path, host::OpenOptions options) override {
    if (options.mode != host::OpenMode::kRead && Fail(host::kErrorAccessDenied, "OpenFile", path)) return nullptr;
    auto file = Inner().OpenFile(path, options);
    if (!file || options.mode == host::OpenMode::kRead) return file;
    return std::make_unique<FaultFile>(std::move(file), *this, std::string(path));
  }
  bool SaveShellLink(std::string_view path, const host::ShellLinkData& link) override {
    return Fail(host::kErrorAccessDenied, "SaveShellLink", path) ? false : Inner().SaveShellLink(path, link);
  }
  bool RegCreateKey(host::RegRoot root, std::string_view key) override {
    return Fail(host::kErrorAccessDenied, "RegCreateKey", key) ? false : Inner().RegCreateKey(root, key);
  }
  bool RegDeleteKey(host::RegRoot root, std::string_view key) override {
    return Fail(host::kErrorAccessDenied, "RegDeleteKey", key) ? false : Inner().RegDeleteKey(root, key);
  }
  bool RegSetValue(host::RegRoot root, std::string_view key, std::string_view name,
                   const host::RegValue& value) override {
    return Fail(host::kErrorAccessDenied, "RegSetValue", std::string(key) + "\\\\" + std::string(name))
               ? false
               : Inner().RegSetValue(root, key, name, value);
  }
  bool RegDeleteValue(host::RegRoot root, std::string_view key, std::string_view name) override {
    return Fail(host::kErrorAccessDenied, "RegDeleteValue", std::string(key) + "\\\\" + std::string(name))
               ? false
               : Inner().RegDeleteValue(root, key, name);
  }
  // A library whose dependencies cannot be found; a program the system will not start.
  std::unique_ptr<host::Library> LoadLibrary(std::string_view path) override {
    return Fail(host::kErrorModNotFound, "LoadLibrary", path) ? nullptr : Inner().LoadLibrary(path);
  }
  std::unique_ptr<host::Process> CreateProcess(std::string_view program, std::string_view commandLine,
                                               std::string_view folder, int show) override {
    return Fail(host::kErrorAccessDenied, "CreateProcess", commandLine)
               ? nullptr
               : Inner().CreateProcess(program, commandLine, folder, show);
  }
  std::unique_ptr<host::Process> ShellExecute(std::string_view file, std::string_view arguments,
                                              std::string_view folder, int show) override {
    return Fail(host::kErrorAccessDenied, "ShellExecute", file) ? nullptr
                                                                : Inner().ShellExecute(file, arguments, folder, show);
  }

 private:
  class FaultFile : public host::FileWrapper {
   public:
    FaultFile(std::unique_ptr<host::File> inner, FaultHost& owner, std::string path)
        : FileWrapper(std::move(inner)), owner_(owner), path_(std::move(path)) {}
    bool Write(const void* data, size_t count) override {
      return owner_.Fail(host::kErrorDiskFull, "Write", path_) ? false : Inner().Write(data, count);
    }
    bool Truncate() override { return owner_.Fail(host::kErrorDiskFull, "Truncate", path_) ? false : Inner().Truncate(); }
    bool SetTimes(const host::FileTime* c, const host::FileTime* a, const host::FileTime* w) override {
      return owner_.Fail(host::kErrorAccessDenied, "SetTimes", path_) ? false : Inner().SetTimes(c, a, w);
    }
    bool SetAttributes(uint32_t attributes) override {
      return owner_.Fail(host::kErrorAccessDenied, "SetAttributes", path_) ? false : Inner().SetAttributes(attributes);
    }

   private:
    FaultHost& owner_;
    std::string path_;
  };

  bool Fail(uint32_t error, std::string_view call, std::string_view what) {
    if (!counting) return false;
    if (++mutations != failAt) return false;
    failedCall = std::string(call) + " " + std::string(what);
    Inner().SetLastError(error);
    return true;
  }
};

}  // namespace sx::test
