// Writing Microsoft Cabinet archives: one cabinet, or a set of cabinets when a size limit makes
// the archive span several files. The package builder writes every package through it; the
// engine reads them back with the unpack library (unpack_api.h) over libmspack.
//
// Layout, as readers expect it:
//   - A cabinet is the header (CFHEADER), the folder table (CFFOLDER), the file table (CFFILE),
//     then the data blocks (CFDATA) of its folders. No reserved areas.
//   - A folder is one stream of file data cut into blocks of 32 KB of uncompressed data (the
//     last one shorter), stored as they are or MSZIP-compressed (mszip_writer.h).
//   - Every block carries the cabinet checksum of its compressed bytes and its two size fields.
//   - A set: when the next block does not fit into the cabinet, it is split (compressed bytes,
//     cut at a multiple of 8): the first part, with an uncompressed size of 0, ends this cabinet
//     and the rest opens the next one, where the folder goes on. Every file with data from the
//     split block on is listed in both cabinets ("continued to next" / "from previous"). The
//     folder then ends with the file being written; the next file starts a new folder, because
//     libmspack and cabextract drop files that start inside a continued folder. A cabinet also
//     ends, without a split, when the next file's table entry no longer fits.
//
// Enciphered data (the installation password): with a key, the compressed bytes of every data
// block are enciphered in one GOST-CBC chain (gost.h) over the whole set, block by block in file
// order, exactly as the unpack library hands them to the engine's decipher callback. Checksums are
// those of the plain bytes. MSZIP blocks are padded with zero bytes to a multiple of 8 (readers
// skip to the next "CK"), and split points are multiples of 8, so that every piece the reader
// deciphers is whole cipher blocks, except the last block of the archive. Stored blocks cannot be
// padded: the last block of a stored folder may end in a short piece, which the cipher takes as
// its stream tail in both directions.
//
// A folder may also be kept plain while a key is set: its blocks are written without checksums
// (a reader that has the key deciphers them into garbage, which must not fail a check) and are
// best stored, not compressed (garbage does not inflate); the chain still runs over them as the
// reader's deciphering does, so the enciphered folders after them decipher correctly. The engine
// reads the files it prepares without the key, and every file of the archive with it.
//
// Scrambling: every byte of every cabinet of the set is XORed with kScrambleKey.
//
// All output goes through a CabStorage, so the same writer fills files, memory or anything else.
// Errors (sizes out of range, a cabinet limit too small, storage failures) throw CabWriteError.
// Not thread-safe; one writer per archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "packages/haval.h"
#include "util/errors.h"

namespace sx {

class CabWriteError : public EEngineError {
 public:
  using EEngineError::EEngineError;
};

enum class CabCompression : uint16_t { kNone = 0, kMszip = 1 };

// The smallest size limit of a cabinet in a set: room for the headers, a file entry and data.
inline constexpr uint64_t kMinCabinetSize = 32768;
// The most uncompressed bytes in one folder and in one file (what libmspack accepts).
inline constexpr uint64_t kMaxFolderData = 0x7FFF8000;
// Entry names longer than this are refused (the cabinet format's limit).
inline constexpr size_t kMaxCabEntryName = 255;

// The checksum of the cabinet format over `size` bytes, continuing from `seed`.
uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);
// The checksum stored in a data block: its bytes, then its two size fields.
uint32_t CabDataChecksum(const uint8_t* data, uint16_t compressedSize, uint16_t uncompressedSize);

// Where the bytes of a set go. Cabinets are numbered from 0; each is written front to back.
class CabStorage {
 public:
  virtual ~CabStorage() = default;
  // Appends to the file of cabinet `cabinet` (made on first use; cabinet 0 may already hold bytes
  // in front of the cabinet, such as the engine image of a setup program).
  virtual void Write(int cabinet, const void* data, size_t size) = 0;
  // Appends to the scratch area that collects the data blocks of the cabinet being filled (its
  // header is written only when the cabinet is complete).
  virtual void WriteScratch(const void* data, size_t size) = 0;
  // Appends the whole scratch area to the file of cabinet `cabinet` and empties it.
  virtual void MoveScratch(int cabinet) = 0;
};

struct CabFileEntry {
  std::string name;          // path inside the archive, folders separated by backslashes
  uint64_t size = 0;         // bytes that will follow
  uint32_t dosDateTime = 0;  // DOS date in the high word, DOS time in the low word (local time)
  uint16_t attributes = 0x20;
};

struct CabFolderOptions {
  CabCompression compression = CabCompression::kMszip;
  // Only with a key: true enciphers the folder's blocks, false keeps them plain (see above).
  bool encipher = true;
};

struct CabSetOptions {
  int level = 6;                // MSZIP: zlib level 1-9
  uint64_t maxCabinetSize = 0;  // 0: one cabinet, whatever its size
  bool scramble = false;
  std::optional<HavalDigest> key;
  uint16_t setId = 0;
  // The file name of cabinet n of the set, for the links between cabinets (n >= 1; the name of
  // cabinet 0 is asked for as the previous name of cabinet 1). Needed only with a size limit.
  std::function<std::string(int cabinet)> cabinetName;
};

struct CabSetSummary {
  std::vector<uint64_t> cabinetSizes;  // bytes of each cabinet (not counting bytes before it)
  uint64_t files = 0;                  // distinct files
  uint64_t folders = 0;                // folders, a folder that spans cabinets counted once
  uint64_t blocks = 0;                 // data block records, split parts counted separately
  uint64_t uncompressed = 0;
  uint64_t compressed = 0;             // data bytes of the blocks, padding included
};

class CabinetSetWriter {
 public:
  CabinetSetWriter(CabStorage& storage, CabSetOptions options);
  ~CabinetSetWriter();
  CabinetSetWriter(const CabinetSetWriter&) = delete;
  CabinetSetWriter& operator=(const CabinetSetWriter&) = delete;

  // Ends the folder being written (if any); the next file starts a folder with these options.
  // Must come before the first file.
  void StartFolder(const CabFolderOptions& options);
  // A file of `entry.size` bytes, given by Write calls, closed by EndFile.
  void BeginFile(const CabFileEntry& entry);
  void Write(const void* data, size_t size);
  void EndFile();
  // BeginFile, Write and EndFile in one.
  void AddFile(const CabFileEntry& entry, std::string_view bytes);

  // Writes what is left and the header of the last cabinet.
  CabSetSummary Finish();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace sx
