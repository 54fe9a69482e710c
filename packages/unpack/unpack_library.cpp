// The unpack library ("unpack.dll"): cabinet extraction over libmspack with the engine's
// notifications, descrambling, the cabinet signature search and the data block decipher hook.
// The interface is described in packages/unpack_api.h.
//
// libmspack does all reading through the mspack_system below. That is where the package's
// scrambling is undone, where the cabinet's offset inside the package file is hidden (positions
// count from the signature), and where the compressed bytes of each data block are handed to the
// engine's decipher callback: the decompressor reads every block as an 8-byte header followed by
// exactly the block's compressed bytes, from a file it opens for that purpose while extracting.
//
// One archive at a time per process, as the exports take no handle.
#include <mspack.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <deque>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "packages/unpack/default_file_system.h"
#include "packages/unpack_api.h"

#ifdef _WIN32
#define SX_EXPORT extern "C" __declspec(dllexport)
#else
#define SX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using sx::kNotifyCopyFile;
using sx::kNotifyFileDone;
using sx::kNotifyNextCabinet;
using sx::kNotifyProgress;
using sx::kUnpackStop;

// ---- state of the library

enum class Kind { kCabinet, kData, kOutput, kNull };

struct Handle {
  mspack_file base;  // what libmspack sees
  void* file = nullptr;
  Kind kind = Kind::kCabinet;
  int64_t origin = 0;    // where the cabinet starts in the file
  int64_t position = 0;  // absolute position in the file
  bool scrambled = false;
  int32_t blockData = -1;  // data handles: compressed size of the block whose bytes come next
  // Read handles: what was read ahead (libmspack reads a cabinet's file list in pieces of a few
  // bytes, seeking back and forth), where it starts in the file, and where the file stands.
  std::vector<uint8_t> ahead;
  int64_t aheadStart = 0;
  int64_t filePosition = -1;  // unknown
  // Output handles.
  const char* path = nullptr;
  const char* name = nullptr;
  int32_t size = 0;
  int32_t written = 0;
};

struct Library {
  mspack_system system;
  UnpackFileSystem fs = sx::kDefaultUnpackFileSystem;
  bool customFileSystem = false;
  std::string packagePath;
  bool scrambled = false;
  bool opened = false;
  int64_t searchStart = 0;     // where the signature search starts in the package file
  int64_t packageOrigin = -1;  // cached signature position in the package file
  std::string error;           // why the last Enumerate failed
  // During Enumerate.
  UnpackNotifyProc notify = nullptr;
  UnpackDecryptProc decrypt = nullptr;
  bool extracting = false;
  bool stopped = false;
  Handle* output = nullptr;
};

Library g;

// Passed to libmspack as the output name of a file that is decompressed but not written.
const char kNowhere[] = "<not written>";

void Fail(const std::string& text) {
  if (g.error.empty()) g.error = text;
}

// The first signature in the kCabinetSearch bytes from `start` on, compared after descrambling.
int64_t FindCabinet(void* file, bool scrambled, int64_t start) {
  std::vector<uint8_t> buffer(sx::kCabinetSearch);
  size_t got = 0;
  if (!g.fs.seek(file, start)) return -1;
  while (got < buffer.size()) {
    const int32_t n = g.fs.read(file, buffer.data() + got, static_cast<int32_t>(buffer.size() - got));
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  const uint8_t key = scrambled ? sx::kScrambleKey : 0;
  for (size_t p = 0; p + 8 <= got; ++p) {
    if ((buffer[p] ^ key) != 'M') continue;
    uint32_t word = 0, zero = 0;
    for (int i = 3; i >= 0; --i) word = word << 8 | (buffer[p + i] ^ key);
    for (int i = 7; i >= 4; --i) zero = zero << 8 | (buffer[p + i] ^ key);
    if (word == sx::kCabinetSignature && zero == 0) return start + static_cast<int64_t>(p);
  }
  return -1;
}

// ---- mspack_system

mspack_file* SysOpen(mspack_system*, const char* filename, int mode) {
  auto* h = new Handle();
  if (mode == MSPACK_SYS_OPEN_WRITE) {
    if (filename == kNowhere) {
      h->kind = Kind::kNull;
      return &h->base;
    }
    h->file = g.fs.open(g.fs.context, filename, kUnpackOpenWrite);
    if (!h->file) {
      Fail(std::string("cannot create \"") + filename + "\"");
      delete h;
      return nullptr;
    }
    h->kind = Kind::kOutput;
    if (g.output) {
      h->path = g.output->path;
      h->name = g.output->name;
      h->size = g.output->size;
    }
    g.output = h;
    return &h->base;
  }
  if (mode != MSPACK_SYS_OPEN_READ) {
    delete h;
    return nullptr;
  }
  h->file = g.fs.open(g.fs.context, filename, kUnpackOpenRead);
  if (!h->file) {
    Fail(std::string("cannot open \"") + filename + "\"");
    delete h;
    return nullptr;
  }
  h->kind = g.extracting ? Kind::kData : Kind::kCabinet;
  h->scrambled = g.scrambled;
  if (g.packagePath == filename) {
    if (g.packageOrigin < 0) g.packageOrigin = FindCabinet(h->file, g.scrambled, g.searchStart);
    if (g.packageOrigin < 0) {
      Fail("no cabinet in the 524,272 bytes from " + std::to_string(g.searchStart) + " on in \"" +
           g.packagePath + "\"");
      g.fs.close(h->file);
      delete h;
      return nullptr;
    }
    h->origin = g.packageOrigin;
  }
  h->position = h->origin;
  if (!g.fs.seek(h->file, h->position)) {
    g.fs.close(h->file);
    delete h;
    return nullptr;
  }
  h->filePosition = h->position;
  return &h->base;
}

Handle* HandleOf(mspack_file* file) { return reinterpret_cast<Handle*>(file); }

void SysClose(mspack_file* file) {
  Handle* h = HandleOf(file);
  if (!h) return;
  if (h->file) g.fs.close(h->file);
  if (g.output == h) g.output = nullptr;
  delete h;
}

constexpr int32_t kReadAhead = 64 * 1024;

// Reads `count` bytes at `position` straight from the file; what read returned.
int32_t ReadFileAt(Handle* h, int64_t position, void* buffer, int32_t count) {
  if (h->filePosition != position) {
    if (!g.fs.seek(h->file, position)) return -1;
    h->filePosition = position;
  }
  const int32_t n = g.fs.read(h->file, buffer, count);
  if (n > 0) h->filePosition += n;
  return n;
}

// Up to `bytes` bytes from the handle's position on, served from the read-ahead where it holds
// them: as many as the file has, fewer only at its end; -1 when reading fails.
int32_t ReadBuffered(Handle* h, uint8_t* out, int32_t bytes) {
  int32_t total = 0;
  while (total < bytes) {
    const int64_t offset = h->position - h->aheadStart;
    if (offset >= 0 && offset < static_cast<int64_t>(h->ahead.size())) {
      const int32_t k = static_cast<int32_t>(
          std::min<int64_t>(bytes - total, static_cast<int64_t>(h->ahead.size()) - offset));
      std::memcpy(out + total, h->ahead.data() + offset, static_cast<size_t>(k));
      h->position += k;
      total += k;
      continue;
    }
    const int32_t remaining = bytes - total;
    if (remaining >= kReadAhead) {
      // Large reads (the blocks of a data stream) go to the caller's buffer directly.
      const int32_t n = ReadFileAt(h, h->position, out + total, remaining);
      if (n < 0) return -1;
      if (n == 0) break;
      h->position += n;
      total += n;
      continue;
    }
    h->ahead.resize(kReadAhead);
    const int32_t n = ReadFileAt(h, h->position, h->ahead.data(), kReadAhead);
    h->ahead.resize(n > 0 ? static_cast<size_t>(n) : 0);
    h->aheadStart = h->position;
    if (n < 0) return -1;
    if (n == 0) break;
  }
  return total;
}

int SysRead(mspack_file* file, void* buffer, int bytes) {
  Handle* h = HandleOf(file);
  if (h->kind == Kind::kNull || h->kind == Kind::kOutput || bytes < 0) return -1;
  const int32_t n = ReadBuffered(h, static_cast<uint8_t*>(buffer), bytes);
  if (n <= 0) return n;
  auto* data = static_cast<uint8_t*>(buffer);
  if (h->scrambled)
    for (int32_t i = 0; i < n; ++i) data[i] ^= sx::kScrambleKey;
  if (h->kind == Kind::kData) {
    if (h->blockData < 0) {
      // A block header: checksum (4), compressed size (2), uncompressed size (2).
      if (n == 8) h->blockData = data[4] | data[5] << 8;
    } else {
      if (n == h->blockData && g.decrypt) g.decrypt(buffer, n);
      h->blockData = -1;
    }
  }
  return n;
}

int SysWrite(mspack_file* file, void* buffer, int bytes) {
  Handle* h = HandleOf(file);
  if (h->kind == Kind::kNull) return bytes;
  if (h->kind != Kind::kOutput || bytes < 0) return -1;
  if (!g.fs.write(h->file, buffer, bytes)) {
    Fail(std::string("cannot write \"") + (h->path ? h->path : "") + "\"");
    return -1;
  }
  h->written += bytes;
  UnpackProgressRecord record = {h->name, h->path, h->size, bytes, h->written, buffer};
  if (g.notify(kNotifyProgress, &record) == kUnpackStop) {
    g.stopped = true;
    return -1;
  }
  return bytes;
}

int SysSeek(mspack_file* file, off_t offset, int mode) {
  Handle* h = HandleOf(file);
  if (!h->file) return -1;
  int64_t target;
  switch (mode) {
    case MSPACK_SYS_SEEK_START:
      target = h->origin + offset;
      h->blockData = -1;
      break;
    case MSPACK_SYS_SEEK_CUR:
      target = h->position + offset;
      break;
    case MSPACK_SYS_SEEK_END: {
      const int64_t size = g.fs.size(h->file);
      if (size < 0) return -1;
      target = size + offset;
      break;
    }
    default:
      return -1;
  }
  // The file itself moves when it is next read (most seeks land in what was read ahead).
  if (target < h->origin) return -1;
  h->position = target;
  return 0;
}

off_t SysTell(mspack_file* file) {
  Handle* h = HandleOf(file);
  return static_cast<off_t>(h->position - h->origin);
}

void SysMessage(mspack_file*, const char*, ...) {}
void* SysAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void SysFree(void* p) { std::free(p); }
void SysCopy(void* src, void* dest, size_t bytes) { std::memcpy(dest, src, bytes); }

const char* MspackErrorText(int code) {
  switch (code) {
    case MSPACK_ERR_ARGS: return "bad arguments";
    case MSPACK_ERR_OPEN: return "cannot open a file";
    case MSPACK_ERR_READ: return "cannot read the cabinet: damaged or truncated";
    case MSPACK_ERR_WRITE: return "cannot write a file";
    case MSPACK_ERR_SEEK: return "cannot seek in the cabinet: damaged or truncated";
    case MSPACK_ERR_NOMEMORY: return "out of memory";
    case MSPACK_ERR_SIGNATURE: return "not a cabinet";
    case MSPACK_ERR_DATAFORMAT: return "damaged cabinet";
    case MSPACK_ERR_CHECKSUM: return "data block checksum mismatch: damaged package or wrong password";
    case MSPACK_ERR_CRUNCH: return "compression error";
    case MSPACK_ERR_DECRUNCH: return "cannot decompress: damaged package or wrong password";
    default: return "unknown cabinet error";
  }
}

uint32_t DosDateTimeOf(const mscabd_file* f) {
  const uint32_t date = static_cast<uint32_t>(((f->date_y - 1980) & 0x7F) << 9 |
                                              (f->date_m & 0x0F) << 5 | (f->date_d & 0x1F));
  const uint32_t time = static_cast<uint32_t>((f->time_h & 0x1F) << 11 | (f->time_m & 0x3F) << 5 |
                                              ((f->time_s / 2) & 0x1F));
  return date << 16 | time;
}

char Separator() { return g.customFileSystem ? '\\' : '/'; }

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// A cabinet's path as paths compare: Windows paths (the engine's file system) ignoring case.
std::string CabinetPathKey(std::string path) {
  if (g.customFileSystem)
    for (char& c : path)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return path;
}

// The cabinet number of a set is 16 bits wide; a longer chain cannot be a real set.
constexpr size_t kMaxCabinetsInSet = 65535;

// One Enumerate: the cabinet set opened so far and the paths libmspack holds on to.
class Extraction {
 public:
  explicit Extraction(mscab_decompressor* cabd) : cabd_(cabd) {}
  ~Extraction() {
    if (!cabinets_.empty()) cabd_->close(cabd_, cabinets_.front());
  }

  bool OpenFirst() {
    paths_.push_back(g.packagePath);
    mscabd_cabinet* cab = cabd_->open(cabd_, paths_.back().c_str());
    if (!cab) {
      Fail(std::string(MspackErrorText(cabd_->last_error(cabd_))) + " (\"" + g.packagePath + "\")");
      return false;
    }
    cabinets_.push_back(cab);
    Remember(paths_.back(), cab);
    return true;
  }

  mscabd_cabinet* Head() const { return cabinets_.front(); }
  bool HasNext() const { return cabinets_.back()->flags & MSCAB_HDR_NEXTCAB; }

  // True when the file's data may go on in the cabinet that is not opened yet.
  bool NeedsNext(const mscabd_file* file) const {
    if (!HasNext()) return false;
    const mscabd_folder* last = Head()->folders;
    while (last && last->next) last = last->next;
    return file->folder == last;
  }

  // Asks where the next cabinet of the set is and appends it.
  bool AppendNext() {
    mscabd_cabinet* last = cabinets_.back();
    const std::string name = last->nextname ? last->nextname : "";
    if (!sx::IsSafeEntryName(name) || name.find_first_of("\\/") != std::string::npos) {
      Fail("the cabinet names an unusable next cabinet \"" + name + "\"");
      return false;
    }
    if (cabinets_.size() >= kMaxCabinetsInSet) {
      Fail("the cabinet set goes on past " + std::to_string(kMaxCabinetsInSet) +
           " cabinets: a damaged set");
      return false;
    }
    UnpackCabinetRecord record = {};
    record.cabinetName = name.c_str();
    const std::string folder = FolderOf(paths_.back());
    std::strncpy(record.folder, folder.c_str(), sizeof record.folder - 1);
    if (g.notify(kNotifyNextCabinet, &record) != 1) {
      Fail("next cabinet \"" + name + "\" of the set was not found");
      return false;
    }
    record.folder[sizeof record.folder - 1] = '\0';
    std::string path = record.folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += Separator();
    path += name;
    // A set that names one of its own cabinets again would be read for ever.
    if (seenPaths_.count(CabinetPathKey(path))) {
      Fail("the cabinet set comes back to \"" + path + "\": a damaged set");
      return false;
    }
    paths_.push_back(path);
    mscabd_cabinet* next = cabd_->open(cabd_, paths_.back().c_str());
    if (!next) {
      Fail(std::string(MspackErrorText(cabd_->last_error(cabd_))) + " (\"" + path + "\")");
      return false;
    }
    // A copy of an earlier cabinet under another name comes back too.
    if (numbers_.count({next->set_id, next->set_index})) {
      Fail("\"" + path + "\" is cabinet " + std::to_string(next->set_index) + " of set " +
           std::to_string(next->set_id) + " again: the cabinet set comes back, a damaged set");
      cabd_->close(cabd_, next);
      return false;
    }
    if (cabd_->append(cabd_, last, next) != MSPACK_ERR_OK) {
      cabd_->close(cabd_, next);
      Fail("\"" + path + "\" does not continue the cabinet set");
      return false;
    }
    cabinets_.push_back(next);
    Remember(path, next);
    return true;
  }

  // Decompresses one file to `destination`, or to nowhere. MSPACK_ERR_OK or the error.
  int Extract(mscabd_file* file, const char* destination, Handle* target) {
    g.output = target;
    g.extracting = true;
    const int result = cabd_->extract(cabd_, file, destination);
    g.extracting = false;
    g.output = nullptr;
    return result;
  }

 private:
  void Remember(const std::string& path, const mscabd_cabinet* cab) {
    seenPaths_.insert(CabinetPathKey(path));
    numbers_.insert({cab->set_id, cab->set_index});
  }

  mscab_decompressor* cabd_;
  std::vector<mscabd_cabinet*> cabinets_;
  std::deque<std::string> paths_;  // libmspack keeps the pointers
  // Every cabinet of the set so far, by path and by set ID and number.
  std::set<std::string> seenPaths_;
  std::set<std::pair<unsigned, unsigned>> numbers_;
};

// Returns true on success or on a stop requested by an answer of -1.
bool Walk(mscab_decompressor* cabd) {
  Extraction extraction(cabd);
  if (!extraction.OpenFirst()) return false;
  mscabd_file* previous = nullptr;
  mscabd_file* file = extraction.Head()->files;
  for (;;) {
    if (!file) {
      if (!extraction.HasNext()) return true;
      if (!extraction.AppendNext()) return false;
      file = previous ? previous->next : extraction.Head()->files;
      continue;
    }
    const char* name = file->filename ? file->filename : "";
    if (!sx::IsSafeEntryName(name)) {
      Fail(std::string("unsafe entry name in the archive: \"") + name +
           "\" (absolute, with a drive, or with a \"..\" component); nothing of it was written");
      return false;
    }
    UnpackFileRecord record = {};
    record.name = name;
    record.size = static_cast<int32_t>(file->length);
    record.dateTime = DosDateTimeOf(file);
    record.attributes = static_cast<uint32_t>(file->attribs);
    record.destination[0] = '\0';
    const int32_t answer = g.notify(kNotifyCopyFile, &record);
    if (answer == kUnpackStop) return true;
    record.destination[sizeof record.destination - 1] = '\0';
    const bool write = answer == 1 && record.destination[0] != '\0';
    // A file may go on through several cabinets: all of them join before it is read.
    while (extraction.NeedsNext(file))
      if (!extraction.AppendNext()) return false;
    if (write) {
      // The output handle takes its progress fields from here when libmspack opens it.
      Handle progress;
      progress.path = record.destination;
      progress.name = name;
      progress.size = record.size;
      const int result = extraction.Extract(file, record.destination, &progress);
      if (result != MSPACK_ERR_OK || g.stopped) {
        g.fs.remove(g.fs.context, record.destination);
        if (g.stopped) return true;
        Fail(std::string(MspackErrorText(result)) + " while extracting \"" + name + "\"");
        return false;
      }
      // A file without its time and attributes is not the archive's file: it goes, as a
      // partly written one does.
      if (!g.fs.setFileInfo(g.fs.context, record.destination, record.dateTime, record.attributes & 0x27)) {
        g.fs.remove(g.fs.context, record.destination);
        Fail(std::string("cannot set the time and attributes of \"") + name + "\"");
        return false;
      }
      if (g.notify(kNotifyFileDone, &record) == kUnpackStop) return true;
    } else {
      // Not written, but decompressed all the same: every data block passes the decipher
      // callback once, in file order, whichever files are chosen.
      const int result = extraction.Extract(file, kNowhere, nullptr);
      if (result != MSPACK_ERR_OK) {
        Fail(std::string(MspackErrorText(result)) + " while reading \"" + name + "\"");
        return false;
      }
    }
    previous = file;
    file = file->next;
  }
}

}  // namespace

SX_EXPORT void SX_STDCALL Open(const char* packagePath, int32_t scrambled) {
  g.packagePath = packagePath ? packagePath : "";
  g.scrambled = scrambled != 0;
  g.opened = true;
  g.searchStart = 0;
  g.packageOrigin = -1;
  g.error.clear();
}

SX_EXPORT void SX_STDCALL SetSearchStart(int64_t offset) {
  g.searchStart = offset > 0 ? offset : 0;
  g.packageOrigin = -1;
}

SX_EXPORT int32_t SX_STDCALL Enumerate(UnpackNotifyProc notify, UnpackDecryptProc decrypt) {
  g.error.clear();
  g.stopped = false;
  g.extracting = false;
  g.output = nullptr;
  if (!g.opened) {
    Fail("no package was opened");
    return 0;
  }
  if (!notify) {
    Fail("no notification callback");
    return 0;
  }
  int selftest = MSPACK_ERR_OK;
  MSPACK_SYS_SELFTEST(selftest);
  if (selftest != MSPACK_ERR_OK) {
    Fail("libmspack was built with another file offset size");
    return 0;
  }
  g.notify = notify;
  g.decrypt = decrypt;
  g.system = {SysOpen, SysClose, SysRead, SysWrite, SysSeek, SysTell,
              SysMessage, SysAlloc, SysFree, SysCopy, nullptr};
  mscab_decompressor* cabd = mspack_create_cab_decompressor(&g.system);
  if (!cabd) {
    Fail("cannot start the cabinet reader");
    return 0;
  }
  cabd->set_param(cabd, MSCABD_PARAM_DECOMPBUF, 65536);
  const bool ok = Walk(cabd);
  mspack_destroy_cab_decompressor(cabd);
  g.notify = nullptr;
  g.decrypt = nullptr;
  return ok ? 1 : 0;
}

SX_EXPORT void SX_STDCALL Close() {
  g.opened = false;
  g.packagePath.clear();
  g.packageOrigin = -1;
}

SX_EXPORT void SX_STDCALL SetFileSystem(const UnpackFileSystem* fileSystem) {
  g.customFileSystem = fileSystem != nullptr;
  g.fs = fileSystem ? *fileSystem : sx::kDefaultUnpackFileSystem;
}

SX_EXPORT const char* SX_STDCALL ErrorText() { return g.error.c_str(); }
