// Hosts for fault injection around the real simulated machine: one that fails the Nth mutating
// call once (files, attributes, times, folders, registry, writes through open files), and one
// that refuses to delete chosen files, as Windows does for files in use.
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

  bool SetFileAttributes(std::string_view path, uint32_t attributes) override {
    return Fail() ? false : Inner().SetFileAttributes(path, attributes);
  }
  bool SetFileTimes(std::string_view path, const host::FileTime* c, const host::FileTime* a,
                    const host::FileTime* w) override {
    return Fail() ? false : Inner().SetFileTimes(path, c, a, w);
  }
  bool CreateFolder(std::string_view path) override { return Fail() ? false : Inner().CreateFolder(path); }
  bool RemoveFolder(std::string_view path) override { return Fail() ? false : Inner().RemoveFolder(path); }
  bool DeleteFile(std::string_view path) override {
    if (inUse.count(LowerCaseFast(path))) {
      Inner().SetLastError(host::kErrorSharingViolation);
      return false;
    }
    return Fail() ? false : Inner().DeleteFile(path);
  }
  bool MoveFile(std::string_view from, std::string_view to, bool replace) override {
    return Fail() ? false : Inner().MoveFile(from, to, replace);
  }
  bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) override {
    return Fail() ? false : Inner().CopyFile(from, to, failIfExists);
  }
  std::unique_ptr<host::File> OpenFile(std::string_view path, host::OpenOptions options) override {
    if (options.mode != host::OpenMode::kRead && Fail()) return nullptr;
    auto file = Inner().OpenFile(path, options);
    if (!file || options.mode == host::OpenMode::kRead) return file;
    return std::make_unique<FaultFile>(std::move(file), *this);
  }
  bool RegCreateKey(host::RegRoot root, std::string_view key) override {
    return Fail() ? false : Inner().RegCreateKey(root, key);
  }
  bool RegDeleteKey(host::RegRoot root, std::string_view key) override {
    return Fail() ? false : Inner().RegDeleteKey(root, key);
  }
  bool RegSetValue(host::RegRoot root, std::string_view key, std::string_view name,
                   const host::RegValue& value) override {
    return Fail() ? false : Inner().RegSetValue(root, key, name, value);
  }
  bool RegDeleteValue(host::RegRoot root, std::string_view key, std::string_view name) override {
    return Fail() ? false : Inner().RegDeleteValue(root, key, name);
  }

 private:
  class FaultFile : public host::File {
   public:
    FaultFile(std::unique_ptr<host::File> inner, FaultHost& owner) : inner_(std::move(inner)), owner_(owner) {}
    std::optional<size_t> Read(void* buffer, size_t count) override { return inner_->Read(buffer, count); }
    bool Write(const void* data, size_t count) override {
      return owner_.Fail() ? false : inner_->Write(data, count);
    }
    bool Seek(uint64_t position) override { return inner_->Seek(position); }
    std::optional<uint64_t> Position() override { return inner_->Position(); }
    std::optional<uint64_t> Size() override { return inner_->Size(); }
    bool Truncate() override { return owner_.Fail() ? false : inner_->Truncate(); }
    bool Sync() override { return inner_->Sync(); }

   private:
    std::unique_ptr<host::File> inner_;
    FaultHost& owner_;
  };

  bool Fail() {
    if (!counting) return false;
    if (++mutations != failAt) return false;
    Inner().SetLastError(host::kErrorWriteFault);
    return true;
  }
};

}  // namespace sx::test
