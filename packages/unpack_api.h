// The interface between the engine and the unpack library ("unpack.dll"), a shared object of its
// own over libmspack that the engine carries as its resource "UNPACK" and loads at run time.
//
// Exports (C names, SX_STDCALL):
//   void    Open(const char* packagePath, int32_t scrambled)   remember the package and the
//           scrambling choice (-1 true, 0 false); touches no file
//   int32_t Enumerate(UnpackNotifyProc, UnpackDecryptProc)     walk the whole archive once;
//           non-zero = success (also when a notification answered -1)
//   void    Close(void)                                         release the archive
// and two more that the engine uses when they are there:
//   void    SetFileSystem(const UnpackFileSystem*)             do all file work through these
//           calls (the engine passes its host's files, so paths are Windows paths); without it
//           the library uses the C library on the paths as given
//   const char* ErrorText(void)                                 why the last Enumerate failed
//   void    SetSearchStart(int64_t offset)                      after Open: start the signature
//           search at `offset` (the end of the engine image that heads the main package; the
//           engine image is larger than the search window)
//
// Reading the package: with scrambling every byte read from a cabinet file is XORed with
// kScrambleKey first. The first cabinet is found by its signature ("MSCF" and four zero bytes)
// in the first kCabinetSearch bytes of the package file; positions in that file then count from
// there. Further cabinets of a spanned set are opened as they are.
//
// Notifications (UnpackNotifyProc(type, record), answers):
//   kNotifyCopyFile  (UnpackFileRecord)     1 with a destination: write the file there;
//                                           -1: stop; anything else: skip the file
//   kNotifyFileDone  (UnpackFileRecord)     sent after the file was closed and got its time
//                                           (DOS date/time as local time) and attributes
//                                           (masked with 0x27); -1: stop
//   kNotifyProgress  (UnpackProgressRecord) after each piece written; -1: stop
//   kNotifyNextCabinet (UnpackCabinetRecord) 1: the cabinet is in `folder` (written back);
//                                           -1: not found, Enumerate fails
// The compressed bytes of every data block pass through UnpackDecryptProc in file order before
// they are decompressed (never the cabinet's or the blocks' headers).
//
// Entry names that are absolute, carry a drive or a ".." component are never offered: Enumerate
// fails with ErrorText naming the entry.
#pragma once

#include <cstdint>
#include <string_view>

#if defined(_WIN32) && !defined(_WIN64)
#define SX_STDCALL __stdcall
#else
#define SX_STDCALL
#endif

namespace sx {

inline constexpr uint8_t kScrambleKey = 0xD2;
inline constexpr uint32_t kCabinetSearch = 524272;  // 0x7FFF0
// "MSCF" read as a little-endian number; the four bytes after it are zero.
inline constexpr uint32_t kCabinetSignature = 0x4643534D;

// Sizes of the path buffers in the records. A Windows path is at most MAX_PATH long.
inline constexpr int kUnpackPathBuffer = 261;
inline constexpr int kUnpackFolderBuffer = 260;

enum UnpackNotification : int32_t {
  kNotifyCopyFile = 1,
  kNotifyFileDone = 2,
  kNotifyProgress = 3,
  kNotifyNextCabinet = 4,
};

inline constexpr int32_t kUnpackStop = -1;

// True when an archive entry name stays inside the folder it is extracted to: not empty, not
// absolute, no drive or stream colon, no ".." component, also none that Windows reads as one
// (".. ", "..."); "\" and "/" both separate.
inline bool IsSafeEntryName(std::string_view name) {
  if (name.empty() || name.front() == '\\' || name.front() == '/') return false;
  if (name.find(':') != std::string_view::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    // Windows drops trailing dots and spaces from a name, so ".. " or "..." names the parent
    // folder there too: a component of nothing but dots and spaces, two dots or more, is one.
    const std::string_view part = name.substr(start, end - start);
    if (part.find_first_not_of(". ") == std::string_view::npos &&
        part.find("..") != std::string_view::npos)
      return false;
    start = end + 1;
  }
  return true;
}

}  // namespace sx

extern "C" {

struct UnpackFileRecord {
  const char* name;     // path inside the archive, folders separated by backslashes
  int32_t size;         // uncompressed bytes
  uint32_t dateTime;    // DOS date (high word) and time (low word)
  uint32_t attributes;  // as stored in the archive
  char destination[sx::kUnpackPathBuffer];
};

struct UnpackProgressRecord {
  const char* name;
  const char* destination;
  int32_t size;        // bytes of the file
  int32_t bytes;       // bytes of this piece
  int32_t written;     // bytes of the file written so far, this piece included
  const void* data;    // the piece
};

struct UnpackCabinetRecord {
  const char* cabinetName;
  char folder[sx::kUnpackFolderBuffer];  // in: where the library looked; out: where it is
};

typedef int32_t(SX_STDCALL* UnpackNotifyProc)(int32_t type, void* record);
typedef void(SX_STDCALL* UnpackDecryptProc)(void* buffer, int32_t count);

// File work of the library. Paths are whatever the engine understands (Windows paths); handles
// are the engine's own. Every call reports failure as documented and never throws.
struct UnpackFileSystem {
  // kUnpackOpenRead: an existing file; kUnpackOpenWrite: created or truncated. nullptr on failure.
  void*(SX_STDCALL* open)(void* context, const char* path, int32_t mode);
  // Bytes read (0 at the end), -1 on failure.
  int32_t(SX_STDCALL* read)(void* file, void* buffer, int32_t count);
  // 1 when all bytes were written, 0 on failure.
  int32_t(SX_STDCALL* write)(void* file, const void* data, int32_t count);
  // 1 after moving to an absolute position, 0 on failure.
  int32_t(SX_STDCALL* seek)(void* file, int64_t position);
  // The length of the file, -1 on failure.
  int64_t(SX_STDCALL* size)(void* file);
  void(SX_STDCALL* close)(void* file);
  // Deletes a file (a partly written one after a failure). 1 on success.
  int32_t(SX_STDCALL* remove)(void* context, const char* path);
  // Sets the time (DOS date and time, local) and attributes of a closed file. 1 on success.
  int32_t(SX_STDCALL* setFileInfo)(void* context, const char* path, uint32_t dosDateTime,
                                   uint32_t attributes);
  void* context;
};

enum { kUnpackOpenRead = 0, kUnpackOpenWrite = 1 };

typedef void(SX_STDCALL* UnpackOpenProc)(const char* packagePath, int32_t scrambled);
typedef int32_t(SX_STDCALL* UnpackEnumerateProc)(UnpackNotifyProc notify,
                                                 UnpackDecryptProc decrypt);
typedef void(SX_STDCALL* UnpackCloseProc)(void);
typedef void(SX_STDCALL* UnpackSetFileSystemProc)(const UnpackFileSystem* fileSystem);
typedef const char*(SX_STDCALL* UnpackErrorTextProc)(void);
typedef void(SX_STDCALL* UnpackSetSearchStartProc)(int64_t offset);

}  // extern "C"
