#include "packages/cab_writer.h"

#include <algorithm>
#include <cstring>

#include "packages/gost.h"
#include "packages/mszip_writer.h"
#include "packages/unpack_api.h"

namespace sx {
namespace {

// Folder indexes of files that continue across cabinets.
constexpr uint16_t kFolderFromPrevious = 0xFFFD;
constexpr uint16_t kFolderToNext = 0xFFFE;
constexpr uint16_t kFolderPreviousAndNext = 0xFFFF;
// Header flags.
constexpr uint16_t kHasPrevious = 0x0001;
constexpr uint16_t kHasNext = 0x0002;

constexpr uint64_t kHeaderSize = 36;
constexpr uint64_t kFolderRecordSize = 8;
constexpr uint64_t kFileRecordSize = 16;  // before the name
constexpr uint64_t kDataHeaderSize = 8;
// The shortest piece of a split block, and the cipher block that split points keep to.
constexpr size_t kPiece = 8;
// Room a cabinet keeps after every block that is not the last of its folder: a block header and
// two pieces, so that the next block can always be split there.
constexpr uint64_t kSlack = kDataHeaderSize + 2 * kPiece;
constexpr uint64_t kMaxCabinetBytes = 0xFFFFFFFF;
constexpr size_t kMaxRecords = 0xFFFF;

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v));
  out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put16(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
  Put16(at, v & 0xFFFF);
  Put16(at + 2, v >> 16);
}

void Scramble(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) data[i] ^= kScrambleKey;
}

}  // namespace

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t words = size / 4;
  for (; words > 0; --words, data += 4)
    sum ^= static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  // The bytes after the last whole word, the first of them highest.
  uint32_t tail = 0;
  switch (size & 3) {
    case 3:
      tail |= static_cast<uint32_t>(*data++) << 16;
      [[fallthrough]];
    case 2:
      tail |= static_cast<uint32_t>(*data++) << 8;
      [[fallthrough]];
    case 1:
      tail |= *data;
  }
  return sum ^ tail;
}

uint32_t CabDataChecksum(const uint8_t* data, uint16_t compressedSize, uint16_t uncompressedSize) {
  const uint32_t sum = CabChecksum(data, compressedSize, 0);
  uint8_t sizes[4];
  Put16(sizes, compressedSize);
  Put16(sizes + 2, uncompressedSize);
  return CabChecksum(sizes, 4, sum);
}

struct CabinetSetWriter::State {
  State(CabStorage& storage, CabSetOptions options) : storage(storage), options(std::move(options)) {}

  CabStorage& storage;
  CabSetOptions options;
  std::unique_ptr<MszipWriter> mszip;
  GostCipher cipher;
  bool keyed = false;

  struct File {
    CabFileEntry entry;
    uint64_t offset;  // in its folder's uncompressed data
  };
  std::vector<File> files;

  // The cabinet being filled.
  struct Entry {
    size_t file;
    uint16_t folder;  // index in this cabinet
    bool fromPrevious = false;
    bool toNext = false;
  };
  struct Folder {
    uint64_t dataStart;  // offset of its first block in the scratch area
    uint32_t blocks;
    CabCompression compression;
  };
  int cabinet = 0;
  uint64_t previousNames = 0;  // header bytes of the link to the previous cabinet
  uint64_t nextNames = 0;      // and to the next one, reserved while filling
  std::vector<Folder> folders;
  std::vector<Entry> entries;
  uint64_t entryBytes = 0;
  uint64_t scratch = 0;  // bytes of data blocks in the scratch area

  // The folder being written.
  CabFolderOptions folderOptions;
  bool folderStarted = false;  // StartFolder was called
  bool folderOpen = false;
  bool needFolder = false;
  uint64_t folderSize = 0;          // uncompressed bytes given to the folder
  uint64_t emitted = 0;             // of them, bytes already in blocks
  bool spanned = false;             // the folder goes on in another cabinet: it ends with its file
  std::vector<uint8_t> pending;     // the next block's data
  std::vector<uint8_t> block;       // a compressed block
  std::vector<uint8_t> record;      // a block record as written
  std::vector<uint8_t> discard;     // deciphered bytes of plain blocks

  // The file being written.
  bool inFile = false;
  uint64_t fileLeft = 0;
  bool finished = false;

  CabSetSummary summary;

  bool Limited() const { return options.maxCabinetSize != 0; }
  uint64_t Budget() const { return Limited() ? options.maxCabinetSize : kMaxCabinetBytes; }

  // Header bytes of the links to cabinet `n`: its file name and its disk name (the same).
  uint64_t NamesSize(int n) const {
    if (!options.cabinetName) throw CabWriteError("a cabinet set needs the names of its cabinets");
    return 2 * (options.cabinetName(n).size() + 1);
  }

  uint64_t HeaderSize(bool withNext) const {
    return kHeaderSize + previousNames + (withNext ? nextNames : 0) +
           kFolderRecordSize * folders.size() + entryBytes;
  }
  // Bytes of the cabinet so far, counting the link to a next cabinet it may need.
  uint64_t Used() const { return HeaderSize(Limited()) + scratch; }
  uint64_t Room() const {
    const uint64_t used = Used() + kDataHeaderSize;
    return Budget() > used ? Budget() - used : 0;
  }

  void StartFolder(const CabFolderOptions& next) {
    if (finished) throw CabWriteError("the archive is already finished");
    if (inFile) throw CabWriteError("a folder cannot start inside a file");
    if (folderOpen) EndFolder(false);
    folderOptions = next;
    folderStarted = true;
    needFolder = true;
    if (next.compression == CabCompression::kMszip && !mszip)
      mszip = std::make_unique<MszipWriter>(options.level);
  }

  void EndFolder(bool lastOfArchive) {
    if (!pending.empty()) EmitBlock(true, lastOfArchive);
    folderOpen = false;
    folderSize = emitted = 0;
    spanned = false;
  }

  void BeginFile(const CabFileEntry& entry) {
    if (finished) throw CabWriteError("the archive is already finished");
    if (inFile) throw CabWriteError("\"" + entry.name + "\" begins before the file before it ended");
    if (!folderStarted) throw CabWriteError("no folder was started before \"" + entry.name + "\"");
    if (entry.name.empty() || entry.name.size() > kMaxCabEntryName ||
        entry.name.find('\0') != std::string::npos)
      throw CabWriteError("unusable entry name \"" + entry.name + "\" (1 to 255 bytes, no zero byte)");
    if (entry.size > kMaxFolderData)
      throw CabWriteError("\"" + entry.name + "\" is too large for a cabinet (" +
                          std::to_string(entry.size) + " bytes; at most " +
                          std::to_string(kMaxFolderData) + ")");
    if (folderOpen && (spanned || folderSize + entry.size > kMaxFolderData)) {
      EndFolder(false);
      needFolder = true;
    }
    const uint64_t entrySize = kFileRecordSize + entry.name.size() + 1;
    for (;;) {
      const uint64_t need = entrySize + (needFolder ? kFolderRecordSize : 0) + kSlack;
      if (Used() + need <= Budget()) break;
      if (!Limited())
        throw CabWriteError("the archive does not fit into one cabinet of at most 4 GB; set a cabinet size limit");
      if (folderOpen) {
        // The folder ends here; a split may already have moved on to the next cabinet.
        EndFolder(false);
        needFolder = true;
        continue;
      }
      if (entries.empty() && folders.empty())
        throw CabWriteError("the cabinet size limit of " + std::to_string(options.maxCabinetSize) +
                            " bytes leaves no room for the entry of \"" + entry.name + "\"");
      CloseCabinet(true);
      OpenNextCabinet();
    }
    if (entries.size() >= kMaxRecords)
      throw CabWriteError("more than 65535 files in one cabinet; set a smaller cabinet size limit");
    if (needFolder) {
      if (folders.size() >= kMaxRecords) throw CabWriteError("more than 65535 folders in one cabinet");
      folders.push_back({scratch, 0, folderOptions.compression});
      folderOpen = true;
      needFolder = false;
      ++summary.folders;
    }
    files.push_back({entry, folderSize});
    entries.push_back({files.size() - 1, static_cast<uint16_t>(folders.size() - 1)});
    entryBytes += entrySize;
    inFile = true;
    fileLeft = entry.size;
    ++summary.files;
  }

  void Write(const uint8_t* data, size_t size) {
    if (!inFile) throw CabWriteError("data written outside a file");
    if (size > fileLeft)
      throw CabWriteError("more bytes than announced for \"" + files.back().entry.name + "\"");
    fileLeft -= size;
    folderSize += size;
    while (size > 0) {
      if (pending.size() == kMszipBlockData) EmitBlock(false, false);
      const size_t take = std::min(size, kMszipBlockData - pending.size());
      pending.insert(pending.end(), data, data + take);
      data += take;
      size -= take;
    }
  }

  void EndFile() {
    if (!inFile) throw CabWriteError("no file to end");
    if (fileLeft != 0) {
      const File& file = files.back();
      throw CabWriteError("\"" + file.entry.name + "\": " + std::to_string(file.entry.size) +
                          " bytes announced, " + std::to_string(file.entry.size - fileLeft) + " given");
    }
    inFile = false;
  }

  CabSetSummary Finish() {
    if (finished) throw CabWriteError("the archive is already finished");
    if (inFile) throw CabWriteError("\"" + files.back().entry.name + "\" was not ended");
    if (files.empty()) throw CabWriteError("an archive needs at least one file");
    if (folderOpen) EndFolder(true);
    CloseCabinet(false);
    finished = true;
    return summary;
  }

  // Compresses the pending data into a block and places it.
  void EmitBlock(bool lastOfFolder, bool lastOfArchive) {
    const size_t size = pending.size();
    const bool mszipBlock = folderOptions.compression == CabCompression::kMszip;
    if (mszipBlock) {
      block.resize(kMszipMaxBlock);
      block.resize(mszip->Compress(pending.data(), size, block.data()));
      // Whole cipher blocks for the reader's decipher callback, except at the very end.
      if (keyed && folderOptions.encipher && !lastOfArchive)
        block.resize((block.size() + kPiece - 1) / kPiece * kPiece, 0);
    } else {
      block.assign(pending.begin(), pending.end());
    }
    Place(static_cast<uint16_t>(size), lastOfFolder, mszipBlock);
    emitted += size;
    summary.uncompressed += size;
    pending.clear();
  }

  // Writes `block` into the cabinet, splitting it across cabinets when it does not fit.
  void Place(uint16_t uncompressed, bool lastOfFolder, bool mayPad) {
    size_t at = 0;
    for (;;) {
      const size_t left = block.size() - at;
      const uint64_t room = Room();
      if (left + kSlack <= room || (lastOfFolder && left <= room)) {
        WritePiece(block.data() + at, left, uncompressed);
        return;
      }
      if (!Limited())
        throw CabWriteError("the archive does not fit into one cabinet of at most 4 GB; set a cabinet size limit");
      if (left < 2 * kPiece) {
        // Too short to split: only MSZIP blocks get here (a short stored block ends its
        // folder and always fits), and readers skip zero bytes after the deflate stream.
        if (!mayPad) throw CabWriteError("internal: a short stored block does not fit");
        block.resize(at + 2 * kPiece, 0);
        continue;
      }
      const size_t part = static_cast<size_t>(std::min<uint64_t>(room, left - kPiece)) / kPiece * kPiece;
      if (part < kPiece) throw CabWriteError("internal: no room left for a split block");
      const uint64_t blockStart = emitted;
      WritePiece(block.data() + at, part, 0);
      at += part;
      SpanToNextCabinet(blockStart);
    }
  }

  void WritePiece(const uint8_t* data, size_t size, uint16_t uncompressed) {
    Folder& folder = folders.back();
    if (folder.blocks >= kMaxRecords)
      throw CabWriteError("more than 65535 data blocks of one folder in one cabinet");
    const bool encipher = keyed && folderOptions.encipher;
    const uint16_t compressed = static_cast<uint16_t>(size);
    record.resize(kDataHeaderSize + size);
    // Plain blocks under a key are deciphered into garbage by a reader with the key: no checksum.
    Put32(record.data(), keyed && !encipher ? 0 : CabDataChecksum(data, compressed, uncompressed));
    Put16(record.data() + 4, compressed);
    Put16(record.data() + 6, uncompressed);
    if (encipher) {
      cipher.Encipher(data, record.data() + kDataHeaderSize, size);
    } else {
      std::memcpy(record.data() + kDataHeaderSize, data, size);
      if (keyed) {
        // The reader's deciphering runs over these bytes too; so does the chain here.
        discard.resize(size);
        cipher.Decipher(data, discard.data(), size);
      }
    }
    if (options.scramble) Scramble(record.data(), record.size());
    storage.WriteScratch(record.data(), record.size());
    scratch += record.size();
    ++folder.blocks;
    ++summary.blocks;
    summary.compressed += size;
  }

  // The block that starts at `blockStart` in the folder was split: every file with data from
  // there on goes on in the next cabinet.
  void SpanToNextCabinet(uint64_t blockStart) {
    const uint16_t current = static_cast<uint16_t>(folders.size() - 1);
    std::vector<size_t> continued;
    for (Entry& entry : entries) {
      if (entry.folder != current) continue;
      const File& file = files[entry.file];
      if (file.offset + file.entry.size > blockStart) {
        entry.toNext = true;
        continued.push_back(entry.file);
      }
    }
    const CabCompression compression = folders.back().compression;
    CloseCabinet(true);
    OpenNextCabinet();
    folders.push_back({0, 0, compression});
    for (size_t file : continued) {
      entries.push_back({file, 0, true, false});
      entryBytes += kFileRecordSize + files[file].entry.name.size() + 1;
    }
    if (Used() + kSlack > Budget())
      throw CabWriteError("the cabinet size limit of " + std::to_string(options.maxCabinetSize) +
                          " bytes is too small: " + std::to_string(continued.size()) +
                          " files go on into cabinet " + std::to_string(cabinet + 1) +
                          " and their entries do not fit there");
    spanned = true;
  }

  void OpenNextCabinet() {
    if (cabinet + 1 >= static_cast<int>(kMaxRecords)) throw CabWriteError("more than 65535 cabinets");
    ++cabinet;
    previousNames = NamesSize(cabinet - 1);
    nextNames = NamesSize(cabinet + 1);
    folders.clear();
    entries.clear();
    entryBytes = 0;
    scratch = 0;
  }

  void CloseCabinet(bool hasNext) {
    const uint64_t headerSize = HeaderSize(hasNext);
    const uint64_t total = headerSize + scratch;
    if (total > Budget())
      throw CabWriteError("internal: cabinet " + std::to_string(cabinet + 1) + " exceeds its size limit");
    std::string h;
    h.reserve(headerSize);
    Put32(h, kCabinetSignature);
    Put32(h, 0);
    Put32(h, static_cast<uint32_t>(total));
    Put32(h, 0);
    const uint64_t filesAt = kHeaderSize + previousNames + (hasNext ? nextNames : 0) +
                             kFolderRecordSize * folders.size();
    Put32(h, static_cast<uint32_t>(filesAt));
    Put32(h, 0);
    h.push_back(3);  // format version 1.3
    h.push_back(1);
    Put16(h, static_cast<uint32_t>(folders.size()));
    Put16(h, static_cast<uint32_t>(entries.size()));
    Put16(h, (cabinet > 0 ? kHasPrevious : 0) | (hasNext ? kHasNext : 0));
    Put16(h, options.setId);
    Put16(h, static_cast<uint32_t>(cabinet));
    auto link = [&](int n) {
      const std::string name = options.cabinetName(n);
      h += name;
      h.push_back('\0');
      h += name;  // the disk name
      h.push_back('\0');
    };
    if (cabinet > 0) link(cabinet - 1);
    if (hasNext) link(cabinet + 1);
    for (const Folder& folder : folders) {
      Put32(h, static_cast<uint32_t>(headerSize + folder.dataStart));
      Put16(h, folder.blocks);
      Put16(h, static_cast<uint16_t>(folder.compression));
    }
    for (const Entry& entry : entries) {
      const File& file = files[entry.file];
      uint16_t folder = entry.folder;
      if (entry.fromPrevious && entry.toNext) {
        folder = kFolderPreviousAndNext;
      } else if (entry.fromPrevious) {
        folder = kFolderFromPrevious;
      } else if (entry.toNext) {
        folder = kFolderToNext;
      }
      Put32(h, static_cast<uint32_t>(file.entry.size));
      Put32(h, static_cast<uint32_t>(file.offset));
      Put16(h, folder);
      Put16(h, file.entry.dosDateTime >> 16);
      Put16(h, file.entry.dosDateTime & 0xFFFF);
      Put16(h, file.entry.attributes);
      h += file.entry.name;
      h.push_back('\0');
    }
    if (h.size() != headerSize) throw CabWriteError("internal: cabinet header size mismatch");
    if (options.scramble) Scramble(reinterpret_cast<uint8_t*>(h.data()), h.size());
    storage.Write(cabinet, h.data(), h.size());
    storage.MoveScratch(cabinet);
    summary.cabinetSizes.push_back(total);
  }
};

CabinetSetWriter::CabinetSetWriter(CabStorage& storage, CabSetOptions options)
    : s_(std::make_unique<State>(storage, std::move(options))) {
  const CabSetOptions& o = s_->options;
  if (o.maxCabinetSize != 0 && o.maxCabinetSize < kMinCabinetSize)
    throw CabWriteError("a cabinet size limit must be at least " + std::to_string(kMinCabinetSize) +
                        " bytes, not " + std::to_string(o.maxCabinetSize));
  if (o.maxCabinetSize > kMaxCabinetBytes)
    throw CabWriteError("a cabinet size limit must be below 4 GB");
  if (o.level < 1 || o.level > 9)
    throw CabWriteError("the MSZIP level must be 1 to 9, not " + std::to_string(o.level));
  if (o.key) {
    s_->cipher.Init(o.key->data(), 256);
    s_->keyed = true;
  }
  if (o.maxCabinetSize != 0) s_->nextNames = s_->NamesSize(1);
}

CabinetSetWriter::~CabinetSetWriter() = default;

void CabinetSetWriter::StartFolder(const CabFolderOptions& options) { s_->StartFolder(options); }
void CabinetSetWriter::BeginFile(const CabFileEntry& entry) { s_->BeginFile(entry); }
void CabinetSetWriter::Write(const void* data, size_t size) {
  s_->Write(static_cast<const uint8_t*>(data), size);
}
void CabinetSetWriter::EndFile() { s_->EndFile(); }
void CabinetSetWriter::AddFile(const CabFileEntry& entry, std::string_view bytes) {
  CabFileEntry sized = entry;
  sized.size = bytes.size();
  s_->BeginFile(sized);
  s_->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  s_->EndFile();
}
CabSetSummary CabinetSetWriter::Finish() { return s_->Finish(); }

}  // namespace sx
