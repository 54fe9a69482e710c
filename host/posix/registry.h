// The registry of the simulated machine: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and
// HKEY_USERS\.Default kept in the three Wine registry files of the machine folder ("system.reg",
// "user.reg", "userdef.reg"), HKEY_CLASSES_ROOT as the view of HKLM\Software\Classes.
//
// Files are loaded on first use, reloaded when they changed on disk since they were read, and
// written back atomically (new file, fsync, rename) by Flush, under a lock on the file shared
// with every other process of the machine; changes of this process that are not written yet are
// made again on what another process wrote meanwhile (registry_hive.h). A damaged file raises
// MachineError with the file name and line; it is never replaced by an empty registry.
//
// Names and string data are UTF-16 in the files; this class gives the ANSI view (the machine's
// code page), so a byte above 127 written by the engine reads back unchanged.
// Every call is safe across threads (one lock).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "host/posix/codepage.h"

namespace sx::host {

class RegistryHive;  // one .reg file; registry_hive.h
class HiveKey;       // one key of it

class Registry {
 public:
  struct Files {
    std::string system;   // host path of system.reg
    std::string user;     // host path of user.reg
    std::string userdef;  // host path of userdef.reg
  };
  // `ansi` must outlive the registry. With `hklmWritable` false, writes under HKLM (and HKCR)
  // fail with kErrorAccessDenied. With `deleteTrees` (Windows 9x) deleting a key deletes its
  // sub-keys too; otherwise (NT) a key with sub-keys cannot be deleted.
  Registry(Files files, const CodePage& ansi, bool hklmWritable, bool deleteTrees = false);
  ~Registry();

  // The Host registry calls; failures set ThreadError() (thread_error.h).
  bool KeyExists(RegRoot root, std::string_view subKey);
  bool CreateKey(RegRoot root, std::string_view subKey);
  bool DeleteKey(RegRoot root, std::string_view subKey);
  std::optional<RegValue> QueryValue(RegRoot root, std::string_view subKey, std::string_view name);
  bool SetValue(RegRoot root, std::string_view subKey, std::string_view name, const RegValue& value);
  bool DeleteValue(RegRoot root, std::string_view subKey, std::string_view name);
  std::optional<std::vector<std::string>> EnumKeys(RegRoot root, std::string_view subKey);
  std::optional<std::vector<RegNamedValue>> EnumValues(RegRoot root, std::string_view subKey);
  bool Flush();

 private:
  struct Target;  // the hive and the hive-relative key a root and sub-key name
  struct Found;   // a key reached by walking a path (links followed), and its hive
  std::optional<Target> Resolve(RegRoot root, std::string_view subKey, bool forWrite);
  // Walks the first `count` names of the target's path from its hive's root, following
  // symbolic-link keys (the last one only with `followLast`); with `create`, a missing key ends
  // the walk and the names from it on are returned for the caller to make. Fails (ThreadError)
  // when a key is missing or may not be made.
  std::optional<Found> Walk(const Target& target, size_t count, bool followLast, bool create);
  // The hive and path a link key's SymbolicLinkValue names ("\REGISTRY\Machine\...").
  std::optional<Target> LinkTarget(const HiveKey& link);
  // Whether keys and values of the hive may be changed (HKLM only when hklmWritable).
  bool Writable(const RegistryHive* hive) const;
  // The global options of a file that does not exist yet: the machine's other files' #arch.
  std::vector<std::string> NewFileOptions(const std::string& except) const;

  std::mutex mutex_;
  Files files_;
  const CodePage& ansi_;
  bool hklmWritable_;
  bool deleteTrees_;
  std::unique_ptr<RegistryHive> system_, user_, userdef_;
};

}  // namespace sx::host
