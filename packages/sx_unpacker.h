// TsxUnpacker: the engine's side of the unpack library (unpack_api.h). It loads the library,
// opens one package file, walks every file of its archive while the caller decides for each one
// whether and where it is written, reports progress, resolves further cabinets of a spanned set,
// and deciphers the archive data when a password is set.
//
// One extraction at a time per process: the library keeps one open archive, and the handlers,
// the key and the cipher state of the running enumeration are module-level. An unpacker must
// live and enumerate on one thread.
//
// Files go through the current host: paths given to and returned by the handlers are Windows
// paths.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/host.h"
#include "packages/haval.h"

namespace sx {

// Where the engine wrote the unpack library; the unpacker loads it from there.
void SetUnpackDllPath(std::string_view path);
const std::string& UnpackDllPath();

// Answers of the handlers.
inline constexpr int kUnpackExtract = 1;
inline constexpr int kUnpackSkip = 0;
inline constexpr int kUnpackAbort = -1;

// A file of the archive as the handlers see it. `dateTime` is the archive's local time.
struct UnpackEntry {
  std::string name;  // path inside the archive, folders separated by backslashes
  uint32_t size = 0;
  uint32_t attributes = 0;
  host::FileTime dateTime;
  uint32_t dosDateTime = 0;
};

// kUnpackExtract with a destination path (Windows path) to write the file, kUnpackSkip to pass
// it over, kUnpackAbort to stop the enumeration at once (it still succeeds).
using OnCopyFile = std::function<int(const UnpackEntry& entry, std::string& destination)>;
// After the file was written, closed and got its time and attributes. kUnpackAbort stops.
using OnFileDone = std::function<int(const UnpackEntry& entry, const std::string& destination)>;
// After each piece of a file was written. kUnpackAbort stops (the partial file is removed).
using OnProgress = std::function<int(const std::string& name, const std::string& destination,
                                     uint32_t fileSize, uint32_t bytes, uint32_t written)>;
// The next cabinet `cabinetName` of a spanned set is not in `folder`: true when it was located
// (in `folder`, which the handler may change).
using OnNeedCabinet = std::function<bool(const std::string& cabinetName, std::string& folder)>;

// DOS date (high word) and time (low word) as a FILETIME of the same wall-clock time.
host::FileTime DosDateTimeToFileTime(uint32_t dosDateTime);

class TsxUnpacker {
 public:
  // Loads the library from UnpackDllPath() and opens the package file (a Windows path); with
  // `scrambled` the package bytes are XORed with the scrambling key. When the library or one of
  // its exports is missing, the unpacker stays inert and Enumerate fails.
  // `searchStart`: where the search for the cabinet starts. The main package passes its
  // StubSize: its cabinet follows the engine image, which is larger than the search window.
  TsxUnpacker(std::string_view packagePath, bool scrambled, uint64_t searchStart = 0);
  ~TsxUnpacker();
  TsxUnpacker(const TsxUnpacker&) = delete;
  TsxUnpacker& operator=(const TsxUnpacker&) = delete;

  // The installation password whose digest deciphers the archive data; "" for none.
  void SetPassword(std::string_view password);
  bool HasKey() const { return key_.has_value(); }

  // Walks the whole archive once. False when inert, when the library fails (damaged or
  // truncated package, missing further cabinet, unsafe entry name), when a destination does not
  // fit the library's path buffer, or when a handler threw; ErrorText() then says why. An answer
  // of kUnpackAbort ends the walk with true.
  bool Enumerate(OnCopyFile onCopyFile, OnFileDone onFileDone = {}, OnProgress onProgress = {},
                 OnNeedCabinet onNeedCabinet = {});

  // From an OnCopyFile handler that answers kUnpackExtract with `path` as the destination: the
  // handler has just created that file and holds it open for writing, empty (CreateOpenTempFileIn);
  // the library writes through this handle instead of opening the path a second time. A file
  // the library does not take (another answer, another destination) is closed before the
  // library goes on; outside an enumeration it is closed at once.
  void HandOverOutput(std::string path, std::unique_ptr<host::File> file);

  bool Loaded() const { return library_ != nullptr; }
  const std::string& ErrorText() const { return error_; }

 private:
  std::unique_ptr<host::Library> library_;
  void* open_ = nullptr;
  void* enumerate_ = nullptr;
  void* close_ = nullptr;
  void* errorText_ = nullptr;
  std::optional<HavalDigest> key_;
  std::string error_;
};

}  // namespace sx
