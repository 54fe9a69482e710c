#include "packages/sx_unpacker.h"

#include <cstring>
#include <exception>
#include <utility>

#include "packages/gost.h"
#include "packages/unpack_api.h"

namespace sx {
namespace {

std::string& DllPath() {
  static std::string path;
  return path;
}

// ---- the library's file work, through the current host

struct HostFile {
  std::unique_ptr<host::File> file;
  std::string path;     // as the library named it
  bool output = false;  // opened for writing
};

// ---- the running enumeration (one per process)

struct Enumeration {
  OnCopyFile onCopyFile;
  OnFileDone onFileDone;
  OnProgress onProgress;
  OnNeedCabinet onNeedCabinet;
  GostCipher cipher;
  bool keyed = false;
  std::string error;
  // A file the copy handler created and opened itself (TsxUnpacker::HandOverOutput): the
  // library's next open of exactly that path for writing takes it instead of opening again.
  std::string handedOverPath;
  std::unique_ptr<host::File> handedOver;
  // The output file the library closed last. The library sets the file's time and attributes
  // by path right after closing it; kept open until then, they are set through the handle, which
  // spares looking the path up twice. Closed at the library's next call of any other kind and
  // before any handler runs (which may move or delete the file).
  std::unique_ptr<HostFile> closedOutput;

  // Remembers the first failure of the engine's side; the walk is stopped with -1.
  int32_t Fail(std::string text) {
    if (error.empty()) error = std::move(text);
    return kUnpackStop;
  }
};

Enumeration* active = nullptr;

void CloseClosedOutput() {
  if (active) active->closedOutput.reset();
}

void* SX_STDCALL HostOpen(void*, const char* path, int32_t mode) {
  CloseClosedOutput();
  const bool output = mode == kUnpackOpenWrite;
  if (output && active && active->handedOver) {
    auto handedOver = std::move(active->handedOver);
    if (std::exchange(active->handedOverPath, std::string()) == path)
      return new HostFile{std::move(handedOver), path, true};
  }
  const host::OpenOptions options{output ? host::OpenMode::kCreateAlways : host::OpenMode::kRead, false};
  auto file = host::CurrentHost().OpenFile(path, options);
  if (!file) return nullptr;
  return new HostFile{std::move(file), path, output};
}

int32_t SX_STDCALL HostRead(void* file, void* buffer, int32_t count) {
  if (count < 0) return -1;
  auto n = static_cast<HostFile*>(file)->file->Read(buffer, static_cast<size_t>(count));
  return n ? static_cast<int32_t>(*n) : -1;
}

// Set when a write of the current enumeration failed because the disk is full: the library
// only knows that it could not write, the user should learn why.
thread_local bool writeFoundDiskFull = false;

int32_t SX_STDCALL HostWrite(void* file, const void* data, int32_t count) {
  if (count < 0) return 0;
  if (static_cast<HostFile*>(file)->file->Write(data, static_cast<size_t>(count))) return 1;
  if (host::CurrentHost().LastError() == host::kErrorDiskFull) writeFoundDiskFull = true;
  return 0;
}

int32_t SX_STDCALL HostSeek(void* file, int64_t position) {
  if (position < 0) return 0;
  return static_cast<HostFile*>(file)->file->Seek(static_cast<uint64_t>(position)) ? 1 : 0;
}

int64_t SX_STDCALL HostSize(void* file) {
  auto size = static_cast<HostFile*>(file)->file->Size();
  return size ? static_cast<int64_t>(*size) : -1;
}

void SX_STDCALL HostClose(void* file) {
  std::unique_ptr<HostFile> closed(static_cast<HostFile*>(file));
  CloseClosedOutput();
  if (closed->output && active) active->closedOutput = std::move(closed);
}

int32_t SX_STDCALL HostRemove(void*, const char* path) {
  CloseClosedOutput();
  if (active && active->handedOver && active->handedOverPath == path) active->handedOver.reset();
  return host::CurrentHost().DeleteFile(path) ? 1 : 0;
}

int32_t SX_STDCALL HostSetFileInfo(void*, const char* path, uint32_t dosDateTime,
                                   uint32_t attributes) {
  auto& host = host::CurrentHost();
  const host::FileTime utc = host.LocalToUtc(DosDateTimeToFileTime(dosDateTime));
  const uint32_t windowsAttributes = attributes ? attributes : host::kAttrNormal;
  std::unique_ptr<HostFile> closed = active ? std::move(active->closedOutput) : nullptr;
  if (closed && closed->path == path) {
    const bool timesSet = closed->file->SetTimes(nullptr, &utc, &utc);
    const bool attributesSet = closed->file->SetAttributes(windowsAttributes);
    return timesSet && attributesSet ? 1 : 0;
  }
  closed.reset();
  const bool timesSet = host.SetFileTimes(path, nullptr, &utc, &utc);
  const bool attributesSet = host.SetFileAttributes(path, windowsAttributes);
  return timesSet && attributesSet ? 1 : 0;
}

const UnpackFileSystem kHostFileSystem = {HostOpen,  HostRead,   HostWrite,       HostSeek,
                                          HostSize,  HostClose,  HostRemove,      HostSetFileInfo,
                                          nullptr};

UnpackEntry EntryOf(const UnpackFileRecord& record) {
  UnpackEntry entry;
  entry.name = record.name ? record.name : "";
  entry.size = static_cast<uint32_t>(record.size);
  entry.attributes = record.attributes;
  entry.dosDateTime = record.dateTime;
  entry.dateTime = DosDateTimeToFileTime(record.dateTime);
  return entry;
}

bool FileExists(const std::string& path) {
  auto info = host::CurrentHost().GetFileInfo(path);
  return info && !(info->attributes & host::kAttrDirectory);
}

void AddBackslash(std::string& folder) {
  if (folder.empty() || folder.back() != '\\') folder += '\\';
}

int32_t CopyFileNotification(Enumeration& e, UnpackFileRecord& record) {
  const UnpackEntry entry = EntryOf(record);
  if (!IsSafeEntryName(entry.name))
    return e.Fail("unsafe entry name in the archive: \"" + entry.name + "\"");
  std::string destination;
  const int answer = e.onCopyFile ? e.onCopyFile(entry, destination) : kUnpackSkip;
  if (answer == kUnpackExtract && !destination.empty()) {
    if (destination.size() >= sizeof record.destination)
      return e.Fail("destination path too long: \"" + destination + "\"");
    std::memcpy(record.destination, destination.c_str(), destination.size() + 1);
  }
  return answer;
}

int32_t NextCabinetNotification(Enumeration& e, UnpackCabinetRecord& record) {
  const std::string name = record.cabinetName ? record.cabinetName : "";
  std::string folder(record.folder, strnlen(record.folder, sizeof record.folder));
  AddBackslash(folder);
  if (!FileExists(folder + name)) {
    if (!e.onNeedCabinet || !e.onNeedCabinet(name, folder)) return kUnpackStop;
    AddBackslash(folder);
    if (!FileExists(folder + name)) return kUnpackStop;
  }
  if (folder.size() >= sizeof record.folder)
    return e.Fail("folder of the next cabinet too long: \"" + folder + "\"");
  std::memcpy(record.folder, folder.c_str(), folder.size() + 1);
  return 1;
}

int32_t SX_STDCALL NotifyProc(int32_t type, void* record) {
  if (!active || !record) return kUnpackStop;
  Enumeration& e = *active;
  e.closedOutput.reset();
  try {
    switch (type) {
      case kNotifyCopyFile: {
        e.handedOver.reset();
        const int32_t answer = CopyFileNotification(e, *static_cast<UnpackFileRecord*>(record));
        if (answer != kUnpackExtract) e.handedOver.reset();
        return answer;
      }
      case kNotifyFileDone: {
        if (!e.onFileDone) return 1;
        auto& r = *static_cast<UnpackFileRecord*>(record);
        return e.onFileDone(EntryOf(r), r.destination);
      }
      case kNotifyProgress: {
        if (!e.onProgress) return 1;
        auto& r = *static_cast<UnpackProgressRecord*>(record);
        return e.onProgress(r.name ? r.name : "", r.destination ? r.destination : "",
                            static_cast<uint32_t>(r.size), static_cast<uint32_t>(r.bytes),
                            static_cast<uint32_t>(r.written));
      }
      case kNotifyNextCabinet:
        return NextCabinetNotification(e, *static_cast<UnpackCabinetRecord*>(record));
      default:
        return 0;
    }
  } catch (const std::exception& ex) {
    return e.Fail(std::string("extraction handler failed: ") + ex.what());
  } catch (...) {
    return e.Fail("extraction handler failed");
  }
}

void SX_STDCALL DecryptProc(void* buffer, int32_t count) {
  if (!active || !active->keyed || count <= 0) return;
  auto* bytes = static_cast<uint8_t*>(buffer);
  active->cipher.Decipher(bytes, bytes, static_cast<size_t>(count));
}

template <typename Proc>
Proc As(void* symbol) {
  return reinterpret_cast<Proc>(symbol);
}

}  // namespace

void SetUnpackDllPath(std::string_view path) { DllPath() = path; }
const std::string& UnpackDllPath() { return DllPath(); }

host::FileTime DosDateTimeToFileTime(uint32_t dosDateTime) {
  const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  host::SystemTime st;
  st.year = static_cast<uint16_t>(1980 + (date >> 9));
  st.month = static_cast<uint16_t>((date >> 5) & 0x0F);
  st.day = static_cast<uint16_t>(date & 0x1F);
  st.hour = static_cast<uint16_t>(time >> 11);
  st.minute = static_cast<uint16_t>((time >> 5) & 0x3F);
  st.second = static_cast<uint16_t>((time & 0x1F) * 2);
  return host::SystemTimeToFileTime(st);
}

TsxUnpacker::TsxUnpacker(std::string_view packagePath, bool scrambled, uint64_t searchStart) {
  library_ = host::CurrentHost().LoadLibrary(UnpackDllPath());
  if (!library_) {
    error_ = "cannot load the unpack library \"" + UnpackDllPath() + "\"";
    return;
  }
  open_ = library_->Symbol("Open");
  enumerate_ = library_->Symbol("Enumerate");
  close_ = library_->Symbol("Close");
  if (!open_ || !enumerate_ || !close_) {
    library_.reset();
    open_ = enumerate_ = close_ = nullptr;
    error_ = "the unpack library \"" + UnpackDllPath() + "\" lacks Open, Enumerate or Close";
    return;
  }
  errorText_ = library_->Symbol("ErrorText");
  // A library that takes the engine's files works on Windows paths through the host; one that
  // does not gets the paths as they are.
  if (void* setFileSystem = library_->Symbol("SetFileSystem"))
    As<UnpackSetFileSystemProc>(setFileSystem)(&kHostFileSystem);
  const std::string path(packagePath);
  As<UnpackOpenProc>(open_)(path.c_str(), scrambled ? -1 : 0);
  if (searchStart > 0) {
    void* setSearchStart = library_->Symbol("SetSearchStart");
    if (setSearchStart)
      As<UnpackSetSearchStartProc>(setSearchStart)(static_cast<int64_t>(searchStart));
    else
      error_ = "the unpack library cannot search a package from an offset";
  }
}

TsxUnpacker::~TsxUnpacker() {
  if (key_) key_->fill(0xFF);
  key_.reset();
  if (library_) As<UnpackCloseProc>(close_)();
}

void TsxUnpacker::SetPassword(std::string_view password) {
  if (key_) key_->fill(0xFF);
  key_.reset();
  if (!password.empty()) key_ = Digest(password);
}

void TsxUnpacker::HandOverOutput(std::string path, std::unique_ptr<host::File> file) {
  if (!active) return;  // no extraction to take it: the file closes here
  active->handedOverPath = std::move(path);
  active->handedOver = std::move(file);
}

bool TsxUnpacker::Enumerate(OnCopyFile onCopyFile, OnFileDone onFileDone, OnProgress onProgress,
                            OnNeedCabinet onNeedCabinet) {
  if (!library_) {
    if (error_.empty()) error_ = "the unpack library is not loaded";
    return false;
  }
  error_.clear();
  Enumeration e;
  e.onCopyFile = std::move(onCopyFile);
  e.onFileDone = std::move(onFileDone);
  e.onProgress = std::move(onProgress);
  e.onNeedCabinet = std::move(onNeedCabinet);
  if (key_) e.keyed = e.cipher.Init(key_->data(), 256);
  active = &e;
  writeFoundDiskFull = false;
  int32_t result = 0;
  try {
    result = As<UnpackEnumerateProc>(enumerate_)(NotifyProc, DecryptProc);
  } catch (...) {
    e.Fail("the unpack library failed");
  }
  active = nullptr;
  e.cipher.Burn();
  if (!e.error.empty()) {
    error_ = e.error;
    return false;
  }
  if (result == 0) {
    const char* text = errorText_ ? As<UnpackErrorTextProc>(errorText_)() : nullptr;
    error_ = text && *text ? text : "the unpack library could not extract the package";
    if (writeFoundDiskFull) error_ = "there is not enough space on the disk: " + error_;
    return false;
  }
  return true;
}

}  // namespace sx
