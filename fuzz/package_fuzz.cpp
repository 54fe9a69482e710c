// A package file: its trailer read and checked as the engine does (ReadPackageTrailer), then the
// unpack library walking its cabinet, every file extracted. The library is linked in and works on
// files in memory: the input is the package, every file it writes is counted and dropped, and a
// further cabinet of a spanned set is the input again (a set that comes back must be refused).
// Inputs of odd length are deciphered as a password-protected package is (GOST in CBC mode over
// every data block), so block lengths that are no whole number of cipher blocks are met too.
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_machine.h"
#include "packages/gost.h"
#include "packages/package_trailer.h"
#include "packages/unpack_api.h"

extern "C" {
void Open(const char* packagePath, int32_t scrambled);
void SetSearchStart(int64_t offset);
int32_t Enumerate(UnpackNotifyProc notify, UnpackDecryptProc decrypt);
void Close(void);
void SetFileSystem(const UnpackFileSystem* fileSystem);
const char* ErrorText(void);
}

namespace {

constexpr char kPackagePath[] = "C:\\fuzz\\package.sxp";

struct MemoryFile {
  std::string_view bytes;  // empty for a file being written
  int64_t position = 0;
  bool writing = false;
};

std::string_view g_input;
size_t g_bytesWritten = 0;
sx::GostCipher g_cipher;

void* SX_STDCALL MemoryOpen(void*, const char*, int32_t mode) {
  auto* file = new MemoryFile();
  file->writing = mode == kUnpackOpenWrite;
  if (!file->writing) file->bytes = g_input;
  return file;
}
int32_t SX_STDCALL MemoryRead(void* handle, void* buffer, int32_t count) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (file->writing || count < 0) return -1;
  const int64_t left = static_cast<int64_t>(file->bytes.size()) - file->position;
  const int32_t n = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(left, count)));
  if (n > 0) std::memcpy(buffer, file->bytes.data() + file->position, static_cast<size_t>(n));
  file->position += n;
  return n;
}
int32_t SX_STDCALL MemoryWrite(void* handle, const void*, int32_t count) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (!file->writing || count < 0) return 0;
  g_bytesWritten += static_cast<size_t>(count);
  return 1;
}
int32_t SX_STDCALL MemorySeek(void* handle, int64_t position) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (position < 0 || position > static_cast<int64_t>(file->bytes.size())) return 0;
  file->position = position;
  return 1;
}
int64_t SX_STDCALL MemorySize(void* handle) {
  return static_cast<int64_t>(static_cast<MemoryFile*>(handle)->bytes.size());
}
void SX_STDCALL MemoryClose(void* handle) { delete static_cast<MemoryFile*>(handle); }
int32_t SX_STDCALL MemoryRemove(void*, const char*) { return 1; }
int32_t SX_STDCALL MemorySetFileInfo(void*, const char*, uint32_t, uint32_t) { return 1; }

const UnpackFileSystem kMemoryFileSystem = {MemoryOpen,  MemoryRead,  MemoryWrite,
                                            MemorySeek,  MemorySize,  MemoryClose,
                                            MemoryRemove, MemorySetFileInfo, nullptr};

int32_t SX_STDCALL Notify(int32_t type, void* record) {
  switch (type) {
    case sx::kNotifyCopyFile: {
      auto& file = *static_cast<UnpackFileRecord*>(record);
      sx::fuzz::Require(sx::IsSafeEntryName(file.name), "an unsafe entry name is offered");
      std::snprintf(file.destination, sizeof file.destination, "C:\\fuzz\\out\\%s", file.name);
      return 1;
    }
    case sx::kNotifyNextCabinet:
      return 1;  // in the folder the library looked in: the input again
    default:
      return 0;
  }
}

void SX_STDCALL Decrypt(void* buffer, int32_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  g_cipher.Decipher(bytes, bytes, static_cast<size_t>(count));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sx::fuzz::Machine();
  const std::string_view input = sx::fuzz::AsText(data, size);
  sx::fuzz::WriteMachineFile(kPackagePath, input);
  const sx::PackageCheck check = sx::ReadPackageTrailer(kPackagePath);
  sx::DescribePackageStatus(check);
  // A package with its trailer is read as the trailer says; bytes without one are read as a
  // further cabinet of a set, which carries no trailer.
  const bool withTrailer = check.status == sx::PackageStatus::kOk;
  g_input = input;
  g_bytesWritten = 0;
  SetFileSystem(&kMemoryFileSystem);
  Open(kPackagePath, withTrailer && (check.trailer.flags & sx::kPackageScrambled) ? -1 : 0);
  if (withTrailer) SetSearchStart(check.trailer.stubSize);
  const uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const bool decipher = size % 2 == 1;
  if (decipher) g_cipher.Init(key, 256);
  if (!Enumerate(Notify, decipher ? Decrypt : nullptr))
    sx::fuzz::Require(ErrorText()[0] != '\0', "a failed walk says why");
  Close();
  return 0;
}
