// sxtool package info|extract: the trailer and the archive of a setup program or ".sxp" package,
// read through the engine's unpacker on the machine.
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "packages/embedded_resource.h"
#include "packages/package_trailer.h"
#include "packages/sx_unpacker.h"
#include "tools/sxtool/commands.h"
#include "tools/sxtool/tool_host.h"

namespace sx::tool {
namespace {

constexpr char kHelp[] =
    "usage: sxtool package info FILE [--password PASSWORD]\n"
    "       sxtool package extract FILE DIR [--password PASSWORD]\n"
    "  info     print the trailer fields and list the archive: size, DOS date and time,\n"
    "           attributes and name of every file\n"
    "  extract  write every file of the archive below the folder DIR\n"
    "  FILE and DIR are paths of this computer. A file without a trailer is read as a plain\n"
    "  cabinet. PASSWORD deciphers the archive data of a password-protected package.\n";

int Usage(FILE* out) {
  std::fputs(kHelp, out);
  return out == stdout ? 0 : 2;
}

// Host paths of the unpack library and its folder while they exist, for the signal handler.
char g_libraryFile[4096];
char g_libraryFolder[4096];
volatile std::sig_atomic_t g_libraryWritten = 0;

// Removes what the run wrote, then ends the process by the same signal.
extern "C" void RemoveLibraryAndExit(int signal) {
  if (g_libraryWritten) {
    ::unlink(g_libraryFile);
    ::rmdir(g_libraryFolder);
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// The unpack library written for this run alone: into a folder of the machine's temp folder
// named after the process, so that a second sxtool never rewrites a library this one has loaded.
// Removed on the way out, also when a signal ends the run (Ctrl-C, kill, a closed pipe).
class UnpackLibrary {
 public:
  UnpackLibrary() {
    auto& host = host::CurrentHost();
    folder_ = host.TempPath() + "sxtool-" + std::to_string(::getpid());
    auto hostFolder = host.MapPath(folder_);
    if (!hostFolder || hostFolder->size() + sizeof "/unpack.dll" > sizeof g_libraryFile) return;
    // A folder of this name can only be left over from a dead process that had our number.
    if (!host.CreateFolder(folder_) && host.LastError() != host::kErrorAlreadyExists) return;
    std::strcpy(g_libraryFolder, hostFolder->c_str());
    std::strcpy(g_libraryFile, (*hostFolder + "/unpack.dll").c_str());
    for (size_t i = 0; i < kSignals.size(); ++i) {
      previous_[i] = std::signal(kSignals[i], RemoveLibraryAndExit);
      // A signal ignored by whoever started us (nohup, a background job) stays ignored.
      if (previous_[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
    }
    g_libraryWritten = 1;
    path_ = WriteUnpackLibrary(folder_);
    SetUnpackDllPath(path_);
  }
  ~UnpackLibrary() {
    SetUnpackDllPath("");
    if (!g_libraryFolder[0]) return;
    auto& host = host::CurrentHost();
    if (!path_.empty()) host.DeleteFile(path_);
    host.RemoveFolder(folder_);
    g_libraryWritten = 0;
    for (size_t i = 0; i < kSignals.size(); ++i) std::signal(kSignals[i], previous_[i]);
    g_libraryFolder[0] = '\0';
  }
  UnpackLibrary(const UnpackLibrary&) = delete;
  UnpackLibrary& operator=(const UnpackLibrary&) = delete;
  bool ok() const { return !path_.empty(); }

 private:
#ifdef _WIN32
  // Ctrl-C, Ctrl-Break, and an end asked for.
  static constexpr std::array<int, 3> kSignals = {SIGINT, SIGBREAK, SIGTERM};
#else
  // Ctrl-C, Ctrl-\, kill, a closed terminal, and a reader that went away ("| head").
  static constexpr std::array<int, 5> kSignals = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE};
#endif
  using Handler = void (*)(int);
  std::string folder_, path_;
  std::array<Handler, kSignals.size()> previous_ = {};
};

std::string AttributeLetters(uint32_t attributes) {
  std::string letters;
  letters += attributes & host::kAttrReadOnly ? 'R' : '-';
  letters += attributes & host::kAttrHidden ? 'H' : '-';
  letters += attributes & host::kAttrSystem ? 'S' : '-';
  letters += attributes & host::kAttrArchive ? 'A' : '-';
  return letters;
}

std::string DosText(uint32_t dos) {
  const uint32_t date = dos >> 16, time = dos & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9),
                (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
  return text;
}

struct Package {
  std::string windowsPath;
  PackageCheck check;
  bool scrambled = false;
  uint64_t searchStart = 0;  // the main package's cabinet follows the engine image
};

// Finds the package on the machine and reads its trailer. False (after a message) when the file
// cannot be reached.
bool OpenPackage(const std::string& hostPath, Package& package) {
  std::error_code error;
  const std::string absolute = std::filesystem::absolute(hostPath, error).string();
  auto windowsPath = host::CurrentHost().WindowsPathOf(absolute);
  if (!windowsPath || !std::filesystem::is_regular_file(absolute, error)) {
    std::fprintf(stderr, "sxtool package: cannot read \"%s\"\n", hostPath.c_str());
    return false;
  }
  package.windowsPath = *windowsPath;
  package.check = ReadPackageTrailer(package.windowsPath);
  const bool hasTrailer = package.check.status == PackageStatus::kOk ||
                          package.check.status == PackageStatus::kSizeMismatch;
  package.scrambled = hasTrailer && (package.check.trailer.flags & kPackageScrambled);
  package.searchStart = hasTrailer ? package.check.trailer.stubSize : 0;
  return true;
}

int Info(const std::string& file, const std::string& password) {
  Package package;
  if (!OpenPackage(file, package)) return 1;
  const PackageCheck& check = package.check;
  std::printf("file: %s (%llu bytes)\n", file.c_str(),
              static_cast<unsigned long long>(check.fileSize));
  int status = 0;
  if (check.status == PackageStatus::kNoTrailer) {
    std::printf("trailer: none (read as a plain cabinet)\n");
  } else {
    const PackageTrailer& t = check.trailer;
    std::printf("trailer: %s\n", DescribePackageStatus(check).c_str());
    std::printf("  StubSize        %u\n  PackageFileSize %u\n  PresetupSize    %u\n"
                "  DataSize        %u\n  Flags           0x%X%s%s%s\n  appended bytes  %llu\n",
                t.stubSize, t.packageFileSize, t.presetupSize, t.dataSize, t.flags,
                t.flags & kPackageScrambled ? " scrambled" : "",
                t.flags & kPackageNoWindow ? " no-window" : "",
                t.flags & kPackageQuiet ? " quiet" : "",
                static_cast<unsigned long long>(check.appendedLength));
    if (check.status != PackageStatus::kOk) status = 1;
  }
  UnpackLibrary library;
  TsxUnpacker unpacker(package.windowsPath, package.scrambled, package.searchStart);
  unpacker.SetPassword(password);
  std::printf("archive:\n%12s  %-19s  %-4s  %s\n", "size", "date       time", "attr", "name");
  uint64_t files = 0, bytes = 0;
  const bool ok = unpacker.Enumerate([&](const UnpackEntry& e, std::string&) {
    std::printf("%12u  %s  %s  %s\n", e.size, DosText(e.dosDateTime).c_str(),
                AttributeLetters(e.attributes).c_str(), e.name.c_str());
    ++files;
    bytes += e.size;
    return kUnpackSkip;
  });
  std::printf("%llu files, %llu bytes\n", static_cast<unsigned long long>(files),
              static_cast<unsigned long long>(bytes));
  if (!ok) {
    std::fprintf(stderr, "sxtool package: %s\n", unpacker.ErrorText().c_str());
    return 1;
  }
  return status;
}

int Extract(const std::string& file, const std::string& folder, const std::string& password) {
  Package package;
  if (!OpenPackage(file, package)) return 1;
  if (package.check.status != PackageStatus::kOk &&
      package.check.status != PackageStatus::kNoTrailer) {
    std::fprintf(stderr, "sxtool package: %s\n", DescribePackageStatus(package.check).c_str());
    return 1;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::string absolute = std::filesystem::absolute(folder, error).string();
  auto windowsFolder = host::CurrentHost().WindowsPathOf(absolute);
  if (!windowsFolder || !std::filesystem::is_directory(absolute, error)) {
    std::fprintf(stderr, "sxtool package: cannot create the folder \"%s\"\n", folder.c_str());
    return 1;
  }
  std::string base = *windowsFolder;
  if (base.empty() || base.back() != '\\') base += '\\';
  UnpackLibrary library;
  TsxUnpacker unpacker(package.windowsPath, package.scrambled, package.searchStart);
  unpacker.SetPassword(password);
  uint64_t files = 0;
  const bool ok = unpacker.Enumerate(
      [&](const UnpackEntry& e, std::string& destination) {
        // The unpacker has refused unsafe names before this point.
        std::string relative = e.name;
        for (auto& c : relative)
          if (c == '\\') c = '/';
        std::filesystem::create_directories(
            std::filesystem::path(absolute + "/" + relative).parent_path(), error);
        destination = base + e.name;
        return kUnpackExtract;
      },
      [&](const UnpackEntry&, const std::string&) {
        ++files;
        return 1;
      });
  if (!ok) {
    std::fprintf(stderr, "sxtool package: %s\n", unpacker.ErrorText().c_str());
    return 1;
  }
  std::printf("%llu files extracted to %s\n", static_cast<unsigned long long>(files),
              folder.c_str());
  return 0;
}

}  // namespace

int PackageCommand(const Args& args) {
  if (WantsHelp(args)) return Usage(stdout);
  Args plain;
  std::string password;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password") {
      if (i + 1 >= args.size()) return Usage(stderr);
      password = args[++i];
    } else {
      plain.push_back(args[i]);
    }
  }
  if (plain.size() == 2 && plain[0] == "info") {
    ToolHost machine;
    return Info(plain[1], password);
  }
  if (plain.size() == 3 && plain[0] == "extract") {
    ToolHost machine;
    return Extract(plain[1], plain[2], password);
  }
  return Usage(stderr);
}

}  // namespace sx::tool
