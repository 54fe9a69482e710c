// The file phase: removals on the main thread, packages and external files on the copy thread.
#include "install/file_phase.h"

#include <exception>
#include <memory>
#include <utility>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "database/sx_install_items.h"
#include "database/sx_variable_access.h"
#include "expr/file_version.h"
#include "host/host.h"
#include "install/copy_thread.h"
#include "install/file_item_index.h"
#include "install/file_registration.h"
#include "install/file_steps.h"
#include "install/install_actions.h"
#include "install/install_services.h"
#include "packages/gost.h"
#include "packages/haval.h"
#include "packages/package_trailer.h"
#include "packages/password.h"
#include "packages/sx_unpacker.h"
#include "platform/file_utils.h"
#include "plugins/sxplugin.h"
#include "util/case_tables.h"
#include "util/folder_path.h"
#include "util/message_queue.h"
#include "util/wildcard.h"
#include "util/str_utils.h"

namespace sx {

TProtectedFileHook ProtectedFileHook;
std::function<bool()> FilePhaseStandIn;

bool HostProtectsFile(std::string_view path) { return host::CurrentHost().IsProtectedFile(path); }

int ProgressPercent(std::uint64_t done, std::uint64_t total) {
  if (total == 0 || done >= total) return 100;
  const std::uint64_t scaled = done * 100;
  std::uint64_t percent = scaled / total;
  const std::uint64_t twice = (scaled % total) * 2;
  if (twice > total || (twice == total && percent % 2 == 1)) ++percent;
  return static_cast<int>(percent);
}

namespace {

constexpr int kStringCannotWrite = 11;   // "%s": the path
constexpr int kStringSharedCount = 20;   // "%s": the path
constexpr std::uint32_t kIconError = 0x10;
constexpr std::string_view kDataFolder = "data\\";
constexpr std::string_view kGacPrefix = "%GAC%\\";
// Temporary files beside the targets: "~sx" and four hexadecimal digits, ".tmp".
constexpr std::string_view kStagingPrefix = "~sx";

std::string_view NameOf(std::string_view path) {
  const size_t cut = path.find_last_of('\\');
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextFast(text.substr(0, prefix.size()), prefix);
}

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

// Version packed into two signed halves: major × 65536 + minor, release × 65536 + build.
struct PackedVersion {
  std::int32_t high = 0, low = 0;
  friend auto operator<=>(const PackedVersion&, const PackedVersion&) = default;
};

PackedVersion PackVersionText(std::string_view text) {
  std::uint32_t parts[4] = {};
  size_t start = 0;
  for (int i = 0; i < 4 && start <= text.size(); ++i) {
    size_t end = text.find('.', start);
    if (end == std::string_view::npos) end = text.size();
    std::uint32_t value = 0;
    bool numeric = end > start;
    for (size_t k = start; k < end && numeric; ++k) {
      if (text[k] < '0' || text[k] > '9') numeric = false;
      else value = value * 10 + static_cast<std::uint32_t>(text[k] - '0');
    }
    parts[i] = numeric ? value : 0;
    start = end + 1;
  }
  return {static_cast<std::int32_t>(parts[0] * 65536u + (parts[1] & 0xFFFF)),
          static_cast<std::int32_t>(parts[2] * 65536u + (parts[3] & 0xFFFF))};
}

PackedVersion PackVersion(const TFileVersion& version) {
  return {static_cast<std::int32_t>(version.MostSignificant), static_cast<std::int32_t>(version.LeastSignificant)};
}

std::string VersionText(const std::optional<TFileVersion>& version) {
  if (!version) return "";
  return std::to_string(version->MostSignificant >> 16) + "." + std::to_string(version->MostSignificant & 0xFFFF) +
         "." + std::to_string(version->LeastSignificant >> 16) + "." +
         std::to_string(version->LeastSignificant & 0xFFFF);
}

std::uint32_t DosTimeOf(const host::FileInfo& info) {
  return host::FileTimeToDosDateTime(host::CurrentHost().UtcToLocal(info.lastWriteTime));
}

class TFilePhase {
 public:
  TFilePhase() : services_(InstallServices()), database_(services_.Database()), actions_(InstallActionList()) {}

  bool Run();

 private:
  TInstallServices& services_;
  TsxMainDatabase& database_;
  TInstallActions& actions_;
  std::vector<TsxComponent*> components_;
  TFileItemIndex index_;
  std::optional<HavalDigest> passwordKey_;
  TsxUnpacker* unpacker_ = nullptr;  // the package being extracted, null for external files

  // Byte counters of the whole phase and of the current file.
  std::uint64_t total_ = 0, done_ = 0, fileSize_ = 0, fileDone_ = 0;
  int conflictAnswer_ = 1;

  // The current package or external item.
  bool external_ = false;
  TsxPackage* package_ = nullptr;
  TXMLObject* context_ = nullptr;
  std::unordered_map<std::string, TsxFileInfo*> fileInfos_;  // folded name -> entry
  TsxComponent* externalComponent_ = nullptr;
  TsxFile* externalItem_ = nullptr;
  bool sourceMissing_ = false;
  std::exception_ptr handlerError_;  // raised in a handler, raised again after the enumeration
  std::string failedPath_;  // what string 11 names when the step fails without an abort

  // The current file.
  TsxFile* item_ = nullptr;
  TsxFlags flags_;
  std::string target_;
  std::string staged_;  // the temporary file beside target_ that receives its content
  bool targetExisted_ = false, assemblyTarget_ = false;
  const TsxFileInfo* fileInfo_ = nullptr;
  std::string recordName_;
  SxFileItem record_{};

  std::unordered_set<std::string> knownFolders_;  // folded folders known to exist
  std::string failureReason_;  // why the unpacker failed, when it did

  // The abort flag, once the handlers of every event posted so far have run.
  bool Aborted() {
    services_.WaitForEvents();
    return services_.Aborted();
  }
  void Abort() {
    services_.SetAborted(true);
    services_.SendEvent(EV_ABORTINSTALL, 0, 0, true);
  }
  // Holds the copy thread while the installation is suspended; true when it must stop. Only on
  // the copy thread: the main thread must stay free to resume. Checkpoint first waits for the
  // handlers of posted events (a suspension or an abort they ask for counts); QuickCheckpoint,
  // used while a file is written, looks at the flags as they stand: what a handler still on its
  // way asks for counts at the next file at the latest, whose hand-over to the main thread
  // delivers every posted event first.
  bool Checkpoint() {
    services_.WaitForEvents();
    return QuickCheckpoint();
  }
  bool QuickCheckpoint() {
    if (InstallThreadSuspended()) WaitWhileSuspended([this] { return services_.Aborted(); });
    return services_.Aborted();
  }
  std::string Text(int number, std::string_view argument) {
    return FormatLanguageText(services_.LanguageString(number), argument);
  }
  // Progress, the item processed and the item done need no answer: they are posted, and the
  // copy thread goes on writing while the main thread delivers them.
  void SendProgress() {
    services_.PostEvent(EV_FILEINSTALLPROGRESS, ProgressPercent(fileDone_, fileSize_), ProgressPercent(done_, total_));
  }
  // A handler must not let an exception pass through the unpack library: it is kept, the
  // enumeration stops, and it is raised again once the library has returned.
  template <class Handler>
  auto Guarded(Handler&& handler, decltype(handler()) failure) {
    try {
      return handler();
    } catch (...) {
      if (!handlerError_) handlerError_ = std::current_exception();
      return failure;
    }
  }
  void SetRecord(std::string name, const UnpackEntry& entry, int action) {
    recordName_ = std::move(name);
    record_.Path = recordName_.c_str();
    record_.Size = static_cast<std::intptr_t>(entry.size);
    record_.DateTime = static_cast<std::intptr_t>(entry.dosDateTime);
    record_.Attributes = static_cast<std::intptr_t>(entry.attributes);
    record_.Action = action;
  }
  std::intptr_t RecordParam() { return reinterpret_cast<std::intptr_t>(&record_); }
  bool Protected(const std::string& path) { return ProtectedFileHook && ProtectedFileHook(path); }

  void CollectComponents();
  bool RemoveFiles();
  bool RunCopySteps();
  bool ExtractPackages();
  bool ExtractPackage(TsxPackage& package);
  bool CopyExternalFiles();
  void CopyMatching(const std::string& folder, const std::string& mask);
  void CopyExternal(const std::string& path);
  void SourceFailed(const std::string& path);

  int BeforeFileExtract(const UnpackEntry& entry, std::string& destination);
  // The part of BeforeFileExtract that talks to the plug-ins and reads what they may change
  // (variables, their veto, their answer to a version conflict), run on the main thread in one
  // hand-over: whether the file is written, and where. kUnpackAbort, or 0 to go on.
  int DecideFile(const UnpackEntry& entry, TFoundItem& found, TTargetPath& target, bool& skip, bool& folderOnly);
  int AfterFileExtract(const UnpackEntry& entry, const std::string& destination);
  int OnProgress(std::uint32_t bytes);
  bool OnNeedCabinet(const std::string& name, std::string& folder);

  bool SkipForVersion(const UnpackEntry& entry, const std::string& target);
  int InstallTarget(const TTargetPath& target, std::string& destination);
  bool EnsureFolder(const std::string& folder, bool record);
  // Renames the completed temporary file to the target; false (after an error box and the
  // abort) when it cannot.
  bool PlaceStagedFile();
  // Deletes a temporary file whose content was not completed.
  void DropStagedFile();
};

// The components to install: those of the project, which the main flow reduced to the selected
// ones and completed from their packages' databases. A package's database repeats the components
// it carries, selected or not; those copies never count, or a feature the user left out would be
// installed all the same.
void TFilePhase::CollectComponents() {
  for (TsxComponent& component : *database_.Components) components_.push_back(&component);
}

bool TFilePhase::Run() {
  CollectComponents();
  if (!RemoveFiles()) return false;
  const bool result = RunOnCopyThread([this] { return RunCopySteps(); });
  return result;
}

// ---- A. Removals

bool TFilePhase::RemoveFiles() {
  for (TsxComponent* component : components_) {
    for (TsxFile& file : *component->Files) {
      if (file.Action != TsxInstallAction::remove || !IsConditionTrue(file)) continue;
      const std::string mask = ExpandText(&database_, file.Dst);
      const std::string folder(FolderOf(mask));
      auto found = host::CurrentHost().FindFiles(mask);
      if (!found) continue;
      for (const host::FindEntry& match : *found) {
        if (match.info.attributes & host::kAttrDirectory) continue;
        const std::string path = folder + match.name;
        if (Protected(path)) continue;
        recordName_ = path;
        record_ = {recordName_.c_str(), static_cast<std::intptr_t>(match.info.size),
                   static_cast<std::intptr_t>(DosTimeOf(match.info)),
                   static_cast<std::intptr_t>(match.info.attributes), 1};
        if (services_.SendEvent(EV_BEFOREPROCESSITEM, 0, RecordParam(), false) == 0) {
          if (!actions_.AddFileAction(path, file.Flags, true, TFileChange::kRemove)) {
            // Without a backup the file is left as it is, and the phase fails.
            services_.ShowErrorBox(Text(kStringCannotWrite, path));
            return false;
          }
        }
        services_.SendEvent(EV_AFTERPROCESSITEM, 0, RecordParam(), true);
        if (Aborted()) return false;
      }
    }
  }
  return true;
}

// ---- B and C on the copy thread

bool TFilePhase::RunCopySteps() {
  conflictAnswer_ = 1;
  done_ = 0;
  total_ = 0;
  for (const TsxPackage& package : *database_.Packages)
    total_ += static_cast<std::uint32_t>(package.PresetupSize) + static_cast<std::uint32_t>(package.DataSize);
  if (PasswordRequired(ReadVariable(&database_, "PswCheckHash", ""))) passwordKey_ = Digest(database_.Password);

  bool ok = ExtractPackages();
  if (ok && !Aborted()) ok = CopyExternalFiles();
  if (sourceMissing_) {
    // A missing or failed external source stopped the loops through the abort flag; it is a
    // failure of its own, not an abort.
    services_.SetAborted(false);
    ok = false;
  }
  if (ok && !Aborted()) return true;
  if (!Aborted()) {
    // The language's text names the file; what the unpacker found (a damaged block, a full
    // disk) follows, so that the user learns why.
    std::string text = Text(kStringCannotWrite, failedPath_);
    if (!failureReason_.empty()) text += "\r\r" + failureReason_;
    services_.ShowBox(TBoxOwner::kActiveWindow, "Error", text, kIconError);
  } else {
    services_.SendEvent(EV_ABORTINSTALL, 0, 0, true);
  }
  return false;
}

bool TFilePhase::ExtractPackages() {
  for (TsxPackage& package : *database_.Packages) {
    if (!ExtractPackage(package) || Aborted()) return false;
  }
  return true;
}

bool TFilePhase::ExtractPackage(TsxPackage& package) {
  external_ = false;
  package_ = &package;
  context_ = &package;
  failedPath_ = package.FullFileName;
  fileInfos_.clear();
  for (TsxFileInfo& info : *package.FileInfos) fileInfos_.try_emplace(LowerCaseFast(info.Name), &info);
  index_.Build(components_, false, &package);

  // The cabinet of the main package follows the engine image: its size comes from the trailer.
  const PackageCheck check = ReadPackageTrailer(package.FullFileName);
  if (check.status != PackageStatus::kOk) return false;
  TsxUnpacker unpacker(package.FullFileName, (package.Flags & kPackageScrambled) != 0, check.trailer.stubSize);
  if (passwordKey_) unpacker.SetPassword(database_.Password);
  unpacker_ = &unpacker;
  struct Forget {
    TsxUnpacker*& unpacker;
    ~Forget() { unpacker = nullptr; }
  } forget{unpacker_};
  const bool ok = unpacker.Enumerate(
      [this](const UnpackEntry& entry, std::string& destination) {
        return Guarded([&] { return BeforeFileExtract(entry, destination); }, kUnpackAbort);
      },
      [this](const UnpackEntry& entry, const std::string& destination) {
        return Guarded([&] { return AfterFileExtract(entry, destination); }, kUnpackAbort);
      },
      [this](const std::string&, const std::string&, std::uint32_t, std::uint32_t bytes, std::uint32_t) {
        return Guarded([&] { return OnProgress(bytes); }, kUnpackAbort);
      },
      [this](const std::string& name, std::string& folder) {
        return Guarded([&] { return OnNeedCabinet(name, folder); }, false);
      });
  // A file the library began but did not finish (a failed next cabinet, say) goes.
  DropStagedFile();
  if (handlerError_) std::rethrow_exception(std::exchange(handlerError_, nullptr));
  // A suspension asked for in the last file's events holds before the next package.
  if (ok)
    Checkpoint();
  else
    failureReason_ = unpacker.ErrorText();
  return ok;
}

int TFilePhase::OnProgress(std::uint32_t bytes) {
  // An abort or a suspension asked for meanwhile stops the file here; this block's event is
  // delivered while the next block is written.
  if (QuickCheckpoint()) return kUnpackAbort;
  fileDone_ += bytes;
  done_ += bytes;
  SendProgress();
  return 1;
}

bool TFilePhase::OnNeedCabinet(const std::string& name, std::string& folder) {
  for (;;) {
    if (FileExistsAt(WithBackslash(folder) + name)) return true;
    char buffer[SX_PACKAGE_FOLDER_SIZE] = {};
    folder.copy(buffer, sizeof buffer - 1);
    const std::intptr_t reply = services_.SendEvent(EV_GETPACKAGE, reinterpret_cast<std::intptr_t>(name.c_str()),
                                                    reinterpret_cast<std::intptr_t>(buffer), false);
    if (reply == 0) {
      // Nobody could say where it is (a silent setup has nobody to ask): tell why the
      // installation stops, as for a missing package.
      std::string text = kFileNotFoundText;
      text.replace(text.find("%s"), 2, name);
      services_.ShowBox(TBoxOwner::kActiveWindow, "File not found", text, kIconError);
      Abort();
      return false;
    }
    buffer[sizeof buffer - 1] = '\0';
    folder = buffer;
  }
}

bool TFilePhase::CopyExternalFiles() {
  external_ = true;
  package_ = nullptr;
  fileInfos_.clear();
  for (TsxComponent* component : components_) {
    TsxPackage* package = database_.Packages->FindByFileName(component->Package);
    context_ = package ? static_cast<TXMLObject*>(package) : &database_;
    for (TsxFile& file : *component->Files) {
      if (Aborted()) return false;
      if (file.Action != TsxInstallAction::add || !file.Flags.Contains(TsxFlag::external) || !IsConditionTrue(file))
        continue;
      externalComponent_ = component;
      externalItem_ = &file;
      const std::string source = ExpandText(context_, file.Src);
      if (HasWildcards(NameOf(source)))
        CopyMatching(std::string(FolderOf(source)), std::string(NameOf(source)));
      else
        CopyExternal(source);
    }
  }
  return !Aborted();
}

void TFilePhase::SourceFailed(const std::string& path) {
  failedPath_ = path;
  sourceMissing_ = true;
  services_.SetAborted(true);
}

void TFilePhase::CopyMatching(const std::string& folder, const std::string& mask) {
  host::Host& host = host::CurrentHost();
  auto listing = host.FindFiles(folder + "*");
  if (!listing) {
    SourceFailed(folder + mask);
    return;
  }
  bool any = false;
  for (const host::FindEntry& entry : *listing) {
    if (Aborted()) return;
    if (entry.info.attributes & (host::kAttrDirectory | host::kAttrReparsePoint)) continue;
    if (!MatchesWildcard(WithExtensionDot(entry.name), mask, true)) continue;
    any = true;
    CopyExternal(folder + entry.name);
  }
  if (!any && !Aborted()) {
    // Nothing matched: the target folder is made all the same.
    UnpackEntry entry;
    entry.name = folder + ".";
    std::string destination;
    if (BeforeFileExtract(entry, destination) == kUnpackAbort) return;
  }
  for (const host::FindEntry& entry : *listing) {
    if (Aborted()) return;
    if (!(entry.info.attributes & host::kAttrDirectory) || (entry.info.attributes & host::kAttrReparsePoint)) continue;
    if (entry.name == "." || entry.name == "..") continue;
    if (!MatchesWildcard(WithExtensionDot(entry.name), mask, true) && !MatchesWildcard(entry.name, mask, true))
      continue;
    CopyMatching(folder + entry.name + "\\", mask);
  }
}

void TFilePhase::CopyExternal(const std::string& path) {
  host::Host& host = host::CurrentHost();
  const auto info = host.GetFileInfo(path);
  if (!info || (info->attributes & host::kAttrDirectory)) {
    SourceFailed(path);
    return;
  }
  UnpackEntry entry;
  entry.name = path;
  entry.size = static_cast<std::uint32_t>(info->size);
  entry.attributes = info->attributes;
  entry.dosDateTime = DosTimeOf(*info);
  entry.dateTime = DosDateTimeToFileTime(entry.dosDateTime);
  std::string destination;
  const int answer = BeforeFileExtract(entry, destination);
  if (answer != kUnpackExtract) return;

  // Enciphered sources are deciphered block by block, one chain per file.
  std::unique_ptr<GostCipher> cipher;
  if (passwordKey_ && flags_.Contains(TsxFlag::encrypt)) {
    cipher = std::make_unique<GostCipher>();
    cipher->Init(passwordKey_->data(), 256);
  }
  const bool copied = CopyFileBlocks(
      path, destination,
      [this](std::string_view, std::string_view, std::uint32_t bytes, std::uint32_t, std::uint32_t) {
        return OnProgress(bytes) != kUnpackAbort;
      },
      false,
      [&cipher](char* data, std::uint32_t size) {
        if (cipher) cipher->Decipher(reinterpret_cast<std::uint8_t*>(data), reinterpret_cast<std::uint8_t*>(data), size);
      });
  if (Aborted() || !copied) {
    DropStagedFile();
    if (!Aborted()) SourceFailed(path);
    return;
  }
  AfterFileExtract(entry, destination);
}

// ---- the per-file handlers

int TFilePhase::BeforeFileExtract(const UnpackEntry& entry, std::string& destination) {
  if (package_) failedPath_ = package_->FullFileName;
  targetExisted_ = false;
  assemblyTarget_ = false;
  flags_ = {};
  item_ = nullptr;
  fileInfo_ = nullptr;
  if (!external_ && StartsWithText(entry.name, kDataFolder)) {
    auto found = fileInfos_.find(LowerCaseFast(entry.name.substr(kDataFolder.size())));
    if (found != fileInfos_.end()) fileInfo_ = found->second;
  }
  fileSize_ = entry.size;
  fileDone_ = 0;

  TFoundItem found;
  TTargetPath target;
  bool skip = true, folderOnly = false;
  int decided = 0;
  for (;;) {
    if (QuickCheckpoint()) return kUnpackAbort;
    bool hold = false;
    SendToMainThread([&] {
      // Every event posted before has been delivered now: what its handlers asked for (an
      // abort, a suspension) holds before this file's first event.
      services_.WaitForEvents();
      hold = InstallThreadSuspended() || services_.Aborted();
      if (!hold) decided = DecideFile(entry, found, target, skip, folderOnly);
    });
    if (!hold) break;
  }
  if (decided == kUnpackAbort) return kUnpackAbort;

  if (skip) {
    done_ += entry.size;
    fileDone_ = fileSize_;
    SendProgress();
    if (found.file) {
      if (flags_.Contains(TsxFlag::shared) && !IncrementSharedCount(target.path, targetExisted_)) {
        services_.ShowErrorBox(Text(kStringSharedCount, target.path));
        Abort();
        return kUnpackAbort;
      }
      if (flags_.Contains(TsxFlag::reg_server)) {
        // The existing file is registered in the server phase and never undone.
        auto& action = actions_.AddActionOf<TInstallFile>();
        action.FileName = target.path;
        action.IsServer = true;
        action.Log = false;
        action.DontRollback = true;
      }
      services_.PostItemEvent(EV_AFTERPROCESSITEM, 0, record_);
    }
    return QuickCheckpoint() ? kUnpackAbort : kUnpackSkip;
  }
  const int answer = InstallTarget(target, destination);
  return answer == kUnpackSkip && QuickCheckpoint() ? kUnpackAbort : answer;
}

int TFilePhase::DecideFile(const UnpackEntry& entry, TFoundItem& found, TTargetPath& target, bool& skip,
                           bool& folderOnly) {
  SendProgress();
  SetRecord(std::string(NameOf(entry.name)), entry, 0);
  found = external_ ? TFoundItem{externalComponent_, externalItem_} : index_.Find(entry.name);
  if (found.file) {
    item_ = found.file;
    flags_ = item_->Flags;
    // The entry's path below the component's folder, or the found file's own path.
    std::string_view rest = entry.name;
    if (!external_) rest = rest.substr(kDataFolder.size() + found.component->ID().size() + 1);
    target = ComputeTarget(context_, *item_, rest);
    folderOnly = target.name == ".";
    skip = false;
    if (!folderOnly) {
      SetRecord(target.path, entry, 0);
      const bool vetoed = services_.SendEvent(EV_BEFOREPROCESSITEM, 0, RecordParam(), false) != 0;
      // Plug-ins may have changed variables.
      target = ComputeTarget(context_, *item_, rest);
      SetRecord(target.path, entry, 0);
      if (FileExistsAt(target.path)) {
        targetExisted_ = true;
        if (flags_.Contains(TsxFlag::dont_overwrite)) skip = true;
      }
      if (Protected(target.path) || vetoed) skip = true;
    }
    if (target.unsafe) {
      // A name that would climb out of the destination folder is never written.
      failedPath_ = target.path;
      services_.ShowErrorBox(Text(kStringCannotWrite, target.path));
      Abort();
      return kUnpackAbort;
    }
    if (!skip && !folderOnly && !flags_.Contains(TsxFlag::no_version)) skip = SkipForVersion(entry, target.path);
    if (Aborted()) return kUnpackAbort;
  }
  if (!folderOnly) services_.PostItemEvent(EV_PROCESSITEM, skip ? 1 : 0, record_);
  return 0;
}

bool TFilePhase::EnsureFolder(const std::string& folder, bool record) {
  std::string key = LowerCaseFast(folder);
  if (knownFolders_.count(key)) return true;
  actions_.ForceFolders(folder, record, !flags_.Contains(TsxFlag::dont_log));
  if (!FolderExistsAt(folder)) return false;
  knownFolders_.insert(std::move(key));
  return true;
}

int TFilePhase::InstallTarget(const TTargetPath& targetPath, std::string& destination) {
  std::string target = targetPath.path;
  if (StartsWithText(target, kGacPrefix)) {
    // An assembly for the global assembly cache waits in a folder of its own.
    const std::string staging = WithBackslash(database_.TempGACPath);
    const std::string folder = staging + MakeUniqueName(staging, "", "", true);
    target = folder + "\\" + targetPath.name;
    assemblyTarget_ = true;
  }
  target_ = target;
  failedPath_ = target;
  const std::string folder(FolderOf(target));
  if (!folder.empty() && !EnsureFolder(folder, !assemblyTarget_)) {
    services_.ShowErrorBox(Text(kStringCannotWrite, target));
    Abort();
    return kUnpackAbort;
  }
  if (targetPath.name == ".") return kUnpackSkip;

  if (flags_.Contains(TsxFlag::reg_font)) {
    // Staged for the font phase, each font in a folder of its own so that equal names never meet.
    const std::string staging = WithBackslash(database_.TempFontsPath);
    const std::string stagedFolder = staging + MakeUniqueName(staging, "", "", true);
    host::CurrentHost().CreateFolder(stagedFolder);
    auto& action = actions_.AddActionOf<TInstallFile>();
    action.FileName = target;
    action.TmpFileName = stagedFolder + "\\" + targetPath.name;
    action.IsFont = true;
    action.FontName = fileInfo_ ? fileInfo_->FontName : "";
    action.Log = !flags_.Contains(TsxFlag::dont_log);
    destination = action.TmpFileName;
    return kUnpackExtract;
  }
  TInstallFile* action = actions_.AddFileAction(target, flags_, true);
  if (!action) {
    // The previous file could not be backed up: it stays as it is.
    services_.ShowErrorBox(Text(kStringCannotWrite, target));
    Abort();
    return kUnpackAbort;
  }
  if (action->RenamePending) {
    destination = action->TmpFileName;
    return kUnpackExtract;
  }
  // The content goes to a temporary file beside the target and is renamed into place when it is
  // complete: the target never holds half a file, even when the process dies while writing.
  OpenTempFile staged = CreateOpenTempFileIn(folder, kStagingPrefix);
  staged_ = staged.path;
  // The library writes through the handle that made the file rather than opening it again.
  if (unpacker_ && staged.file) unpacker_->HandOverOutput(staged_, std::move(staged.file));
  if (staged_.empty()) {
    services_.ShowErrorBox(Text(kStringCannotWrite, target));
    Abort();
    return kUnpackAbort;
  }
  destination = staged_;
  return kUnpackExtract;
}

bool TFilePhase::PlaceStagedFile() {
  if (staged_.empty()) return true;
  const std::string staged = std::exchange(staged_, std::string());
  if (host::CurrentHost().MoveFile(staged, target_, true)) return true;
  DeleteFileKeepingAttributes(staged);
  services_.ShowErrorBox(Text(kStringCannotWrite, target_));
  Abort();
  return false;
}

void TFilePhase::DropStagedFile() {
  if (!staged_.empty()) DeleteFileKeepingAttributes(std::exchange(staged_, std::string()));
}

bool TFilePhase::SkipForVersion(const UnpackEntry& entry, const std::string& target) {
  if (!targetExisted_) return false;
  const auto installed = host::CurrentHost().GetFileInfo(target);
  if (!installed) return false;
  const std::string newVersion = external_ ? VersionText(ReadFileVersion(entry.name))
                                           : (fileInfo_ ? fileInfo_->Version : std::string());
  std::optional<TFileVersion> installedVersion;
  if (!newVersion.empty()) installedVersion = ReadFileVersion(target);
  const bool versions = !newVersion.empty() && installedVersion.has_value();

  bool newer, same;
  if (versions) {
    const PackedVersion mine = PackVersionText(newVersion), theirs = PackVersion(*installedVersion);
    newer = theirs > mine;
    same = theirs == mine;
  } else {
    const std::uint32_t theirs = DosTimeOf(*installed);
    newer = theirs > entry.dosDateTime;
    same = theirs == entry.dosDateTime;
  }
  if (newer) {
    if (flags_.Contains(TsxFlag::dont_ask)) return true;
    if (conflictAnswer_ != SX_CONFLICT_KEEP_ALL && conflictAnswer_ != SX_CONFLICT_OVERWRITE_ALL) {
      const std::intptr_t reply =
          services_.SendEvent(EV_VERSIONCONFLICT, reinterpret_cast<std::intptr_t>(target.c_str()), 0, false);
      if (reply >= SX_CONFLICT_KEEP && reply <= SX_CONFLICT_OVERWRITE_ALL) conflictAnswer_ = static_cast<int>(reply);
    }
    return conflictAnswer_ != SX_CONFLICT_OVERWRITE && conflictAnswer_ != SX_CONFLICT_OVERWRITE_ALL;
  }
  return same && installed->size == entry.size && !services_.RepairMode();
}

int TFilePhase::AfterFileExtract(const UnpackEntry& entry, const std::string& destination) {
  // An abort asked for while the file was written keeps it from taking its place.
  if (QuickCheckpoint()) {
    DropStagedFile();
    return kUnpackAbort;
  }
  const std::string written = staged_.empty() ? destination : target_;
  if (!PlaceStagedFile()) return kUnpackAbort;
  if (assemblyTarget_ &&
      !InstallAssembly(written, fileInfo_ ? fileInfo_->AssemblyData : "", !flags_.Contains(TsxFlag::dont_log))) {
    services_.ShowErrorBox("Cannot register assembly " + std::string(NameOf(written)));
    Abort();
    return kUnpackAbort;
  }
  if (flags_.Contains(TsxFlag::shared) && !IncrementSharedCount(target_, targetExisted_)) {
    services_.ShowErrorBox(Text(kStringSharedCount, target_));
    Abort();
    return kUnpackAbort;
  }
  SetRecord(target_, entry, 0);
  services_.PostItemEvent(EV_AFTERPROCESSITEM, 0, record_);
  failedPath_ = package_ ? package_->FullFileName : target_;
  // What the handlers of the posted events do is looked at by the next callback (or, after the
  // last file, by the end of the package).
  return 1;
}

}  // namespace

bool InstallFiles() { return TFilePhase().Run(); }

}  // namespace sx
