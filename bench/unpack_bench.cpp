// Extraction of a large MSZIP cabinet made by `gcab -c -z` through TsxUnpacker and the unpack
// library, against `cabextract -q` on the same cabinet; then the cost of scrambling and of a
// password (enciphered data, on stored cabinets of the same payload), and the GOST-CBC decipher
// on its own against the former block-at-a-time loop. Prints one table: the median of ROUNDS
// runs, the contenders taking turns, and the machine's load average.
//
//   unpack_bench [MEGABYTES [FILES [ROUNDS]]]     default: 200 MB in 10,000 files, 5 rounds
//
// Needs gcab and cabextract. Works in a temporary folder that it removes at the end.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_payload.h"
#include "host/host.h"
#include "host/posix/posix_host.h"
#include "packages/embedded_resource.h"
#include "packages/gost.h"
#include "packages/haval.h"
#include "packages/sx_unpacker.h"
#include "packages/unpack_api.h"

namespace {

namespace fs = std::filesystem;
using sx::bench::WriteAll;
using Clock = std::chrono::steady_clock;

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Files of mixed kinds: text that compresses well and pseudo-random bytes that do not.
void MakePayload(const std::string& folder, size_t totalBytes, size_t files) {
  sx::bench::MakePayload(folder, totalBytes, files, 4, sx::bench::FlatFolder);
}

// The data blocks of a plain cabinet enciphered in one chain, as a builder stores them.
std::string Encipher(std::string cab, const std::string& password) {
  auto get16 = [&](size_t at) {
    return size_t(uint8_t(cab[at])) | size_t(uint8_t(cab[at + 1])) << 8;
  };
  auto get32 = [&](size_t at) { return get16(at) | get16(at + 2) << 16; };
  const sx::HavalDigest key = sx::Digest(password);
  sx::GostCipher cipher;
  cipher.Init(key.data(), 256);
  const size_t folders = get16(26);
  for (size_t f = 0; f < folders; ++f) {
    size_t at = get32(36 + 8 * f);
    for (size_t b = 0, n = get16(36 + 8 * f + 4); b < n; ++b) {
      const size_t size = get16(at + 4);
      auto* p = reinterpret_cast<uint8_t*>(cab.data() + at + 8);
      cipher.Encipher(p, p, size);
      at += 8 + size;
    }
  }
  return cab;
}

// The unpack library on its own, with its own file calls on host paths: what the library costs
// without the engine's host layer.
// Both ways create each folder once, as an installer creates a product's folders before its
// files: the folder work is not what is measured.
std::string g_direct;
std::set<std::string> g_directFolders;
int32_t SX_STDCALL DirectNotify(int32_t type, void* record) {
  if (type != sx::kNotifyCopyFile) return 1;
  auto* r = static_cast<UnpackFileRecord*>(record);
  std::string path = g_direct + "/" + r->name;
  for (auto& c : path)
    if (c == '\\') c = '/';
  if (g_directFolders.insert(path.substr(0, path.rfind('/'))).second)
    ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
  std::snprintf(r->destination, sizeof r->destination, "%s", path.c_str());
  return 1;
}

bool DirectUnpack(void* library, const std::string& cab, const std::string& out) {
  auto open = reinterpret_cast<UnpackOpenProc>(dlsym(library, "Open"));
  auto enumerate = reinterpret_cast<UnpackEnumerateProc>(dlsym(library, "Enumerate"));
  auto close = reinterpret_cast<UnpackCloseProc>(dlsym(library, "Close"));
  auto setFileSystem = reinterpret_cast<UnpackSetFileSystemProc>(dlsym(library, "SetFileSystem"));
  if (!open || !enumerate || !close || !setFileSystem) return false;
  g_direct = out;
  g_directFolders.clear();
  ::mkdir(out.c_str(), 0755);
  setFileSystem(nullptr);
  open(cab.c_str(), 0);
  const bool ok = enumerate(DirectNotify, nullptr) != 0;
  close();
  return ok;
}

// The median of the timings of one contender.
double Median(std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  const size_t n = seconds.size();
  return n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
}

// GOST-CBC as it was deciphered before the blocks were interleaved: one block at a time, each
// waiting for the one before it. The reference for the decipher rows.
void DecipherBlockByBlock(const sx::GostCipher& cipher, uint8_t chain[8], uint8_t* data, size_t size) {
  for (size_t i = 0; i + 8 <= size; i += 8) {
    uint8_t block[8], plain[8];
    std::memcpy(block, data + i, 8);
    cipher.DecryptBlock(block, plain);
    for (int b = 0; b < 8; ++b) data[i + b] = plain[b] ^ chain[b];
    std::memcpy(chain, block, 8);
  }
}

std::string LoadAverage() {
  std::string text = ReadAll("/proc/loadavg");
  return text.substr(0, text.find(' ', text.find(' ', text.find(' ') + 1) + 1));
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  const size_t files = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  std::string base = (fs::temp_directory_path() / "sx-unpack-bench-XXXXXX").string();
  if (!mkdtemp(base.data())) return 1;
  const std::string machineFolder = base + "/machine";
  sx::host::InitMachine(machineFolder);
  auto host = sx::host::OpenPosixHost(machineFolder);
  sx::host::SetCurrentHost(host.get());
  const std::string drive = machineFolder + "/drive_c";
  const std::string payload = drive + "/payload";
  MakePayload(payload, megabytes << 20, files);

  const std::string cab = drive + "/zip.cab";
  const auto gcabStart = Clock::now();
  // All names on one command line: gcab writes one cabinet per call.
  if (Run("cd '" + payload + "' && gcab -c -z '" + cab + "' $(find * -type f | sort)") != 0) return 1;
  const double gcabSeconds = std::chrono::duration<double>(Clock::now() - gcabStart).count();
  if (Run("cd '" + payload + "' && gcab -c '" + drive + "/stored.cab' $(find * -type f | sort)") != 0)
    return 1;
  WriteAll(drive + "/scrambled.cab", [&] {
    std::string bytes = ReadAll(cab);
    for (auto& c : bytes) c = static_cast<char>(c ^ 0xD2);
    return bytes;
  }());
  WriteAll(drive + "/secret.cab", Encipher(ReadAll(drive + "/stored.cab"), "benchmark"));

  sx::SetUnpackDllPath(sx::WriteUnpackLibrary(host->TempPath()));
  void* direct = dlopen(host->MapPath(sx::UnpackDllPath())->c_str(), RTLD_NOW);
  if (!direct) return 1;
  // Every run writes into a folder of its own and nothing is deleted while runs are timed: the
  // file system makes new files slower right after many were deleted.
  int runNumber = 0;
  auto unpack = [&](const std::string& name, bool scrambled, const std::string& password) {
    const std::string out = "out" + std::to_string(++runNumber);
    fs::create_directories(drive + "/" + out);
    sx::TsxUnpacker unpacker("C:\\" + name, scrambled);
    unpacker.SetPassword(password);
    std::set<std::string> folders;
    const bool ok = unpacker.Enumerate([&](const sx::UnpackEntry& e, std::string& dest) {
      const size_t cut = e.name.rfind('\\');
      if (cut != std::string::npos && folders.insert(e.name.substr(0, cut)).second)
        host->CreateFolder("C:\\" + out + "\\" + e.name.substr(0, cut));
      dest = "C:\\" + out + "\\" + e.name;
      return sx::kUnpackExtract;
    });
    if (!ok) std::fprintf(stderr, "%s: %s\n", name.c_str(), unpacker.ErrorText().c_str());
    return ok;
  };
  auto cabextract = [&](const std::string& name) {
    const std::string out = drive + "/out" + std::to_string(++runNumber);
    return Run("cabextract -q -d '" + out + "' '" + drive + "/" + name + "'") == 0;
  };
  // The decipher alone, on the enciphered cabinet's bytes in 32 KB pieces (as data blocks come).
  std::string secretBytes = ReadAll(drive + "/secret.cab");
  const sx::HavalDigest benchKey = sx::Digest("benchmark");
  auto decipherAll = [&](bool blockByBlock) {
    sx::GostCipher cipher;
    cipher.Init(benchKey.data(), 256);
    uint8_t chain[8];
    std::memcpy(chain, cipher.InitialVector(), 8);
    auto* data = reinterpret_cast<uint8_t*>(secretBytes.data());
    for (size_t at = 0; at < secretBytes.size(); at += 32768) {
      const size_t n = std::min<size_t>(32768, secretBytes.size() - at) / 8 * 8;
      if (blockByBlock)
        DecipherBlockByBlock(cipher, chain, data + at, n);
      else
        cipher.Decipher(data + at, data + at, n);
    }
    return true;
  };
  const std::string loadBefore = LoadAverage();
  enum { kCabextractZip, kDirect, kZip, kScrambled, kCabextractStored, kStored, kSecret,
         kDecipherFormer, kDecipher, kCount };
  std::vector<std::vector<double>> times(kCount);
  for (int round = 0; round < rounds; ++round) {
    const std::function<bool()> runs[kCount] = {
        [&] { return cabextract("zip.cab"); },
        [&] { return DirectUnpack(direct, cab, drive + "/out" + std::to_string(++runNumber)); },
        [&] { return unpack("zip.cab", false, ""); },
        [&] { return unpack("scrambled.cab", true, ""); },
        [&] { return cabextract("stored.cab"); }, [&] { return unpack("stored.cab", false, ""); },
        [&] { return unpack("secret.cab", false, "benchmark"); },
        [&] { return decipherAll(true); }, [&] { return decipherAll(false); }};
    for (int i = 0; i < kCount; ++i) {
      const auto start = Clock::now();
      if (!runs[i]()) return 1;
      times[i].push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
  }
  std::vector<double> median(kCount);
  for (int i = 0; i < kCount; ++i) median[i] = Median(times[i]);
  const double cabextractZip = median[kCabextractZip], oursZip = median[kZip];
  const double oursScrambled = median[kScrambled], cabextractStored = median[kCabextractStored];
  const double oursStored = median[kStored], oursSecret = median[kSecret];

  const double mb = static_cast<double>(megabytes);
  std::printf("payload: %zu MB in %zu files; MSZIP cabinet %.1f MB made by gcab -c -z in %.2f s\n",
              megabytes, files, static_cast<double>(fs::file_size(cab)) / (1 << 20), gcabSeconds);
  std::printf("load average before: %s, after: %s (%ld cores)\n", loadBefore.c_str(),
              LoadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("%-48s %9s %9s %9s\n", ("extraction (median of " + std::to_string(rounds) + ")").c_str(),
              "seconds", "MB/s", "vs cabext");
  auto row = [&](const char* what, double seconds, double reference) {
    std::printf("%-48s %9.2f %9.1f %9.2f\n", what, seconds, mb / seconds, seconds / reference);
  };
  row("cabextract -q, MSZIP", cabextractZip, cabextractZip);
  row("unpack library alone, host paths, MSZIP", median[kDirect], cabextractZip);
  row("TsxUnpacker on the machine, MSZIP", oursZip, cabextractZip);
  row("TsxUnpacker on the machine, MSZIP scrambled", oursScrambled, cabextractZip);
  row("cabextract -q, stored", cabextractStored, cabextractStored);
  row("TsxUnpacker, stored", oursStored, cabextractStored);
  row("TsxUnpacker, stored enciphered (password)", oursSecret, cabextractStored);
  row("GOST-CBC decipher alone, one block at a time", median[kDecipherFormer], cabextractStored);
  row("GOST-CBC decipher alone, as the unpacker does", median[kDecipher], cabextractStored);
  dlclose(direct);
  sx::host::SetCurrentHost(nullptr);
  host.reset();
  fs::remove_all(base);
  return 0;
}
