#include "engine/package_preparation.h"

#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "engine/engine_common.h"
#include "engine/engine_context.h"
#include "engine/engine_state.h"
#include "host/host.h"
#include "install/file_phase.h"
#include "packages/package_trailer.h"
#include "packages/pdb_file.h"
#include "packages/sx_unpacker.h"
#include "platform/file_utils.h"
#include "util/case_tables.h"
#include "util/errors.h"
#include "util/folder_path.h"

namespace sx {
namespace {

constexpr char kInvalidPackageText[] =
    "Invalid package size!\r\rPackage \"%s\" has been corrupted, installation impossible.";

std::string Format(std::string_view format, std::string_view argument) {
  std::string text(format);
  const size_t at = text.find("%s");
  return text.replace(at, 2, argument);
}

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

std::string WithoutExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// The package's folder must be a new sub-folder of TempDir: a plain, non-empty name.
bool IsUsablePackageName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

// Copies the first `length` bytes of `source` into the new file `target`, a block at a time.
bool CopyHead(const std::string& source, const std::string& target, uint64_t length) {
  auto& host = host::CurrentHost();
  auto in = host.OpenFile(source, {host::OpenMode::kRead, false});
  if (!in) return false;
  bool ok = true;
  {
    auto out = host.OpenFile(target, {host::OpenMode::kCreateAlways, false});
    if (!out) return false;
    std::string block(1 << 16, '\0');
    while (ok && length > 0) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(length, block.size()));
      const auto got = in->Read(block.data(), want);
      ok = got && *got == want && out->Write(block.data(), want);
      length -= want;
    }
  }
  if (!ok) host.DeleteFile(target);
  return ok;
}

// Rounds a / b to the nearest integer, halves to even.
uint64_t RoundedDivision(uint64_t a, uint64_t b) {
  uint64_t q = a / b;
  const uint64_t twice = (a % b) * 2;
  if (twice > b || (twice == b && q % 2 == 1)) ++q;
  return q;
}

}  // namespace

bool CheckPackage(TsxPackage& package) {
  TEngineContext& engine = *CurrentEngine();
  TEngineState& state = EngineState();
  auto& host = host::CurrentHost();

  const std::string full = host.FullPath(package.FullFileName);
  const size_t slash = full.find_last_of('\\');
  std::string folder = full.substr(0, slash + 1);
  const std::string name = full.substr(slash + 1);
  for (;;) {
    auto info = host.GetFileInfo(folder + name);
    if (info && !(info->attributes & host::kAttrDirectory)) break;
    auto answer = engine.Plugins().AskForPackageFolder(name, folder);
    if (!answer) {
      engine.Plugins().AbortInstall();
      ShowErrorBoxTitled("File not found", Format(kFileNotFoundText, name));
      return false;
    }
    folder = WithBackslash(*answer);
  }
  package.FullFileName = folder + name;
  package.FileName = WithoutExtension(name);

  const PackageCheck check = ReadPackageTrailer(package.FullFileName);
  if (check.status != PackageStatus::kOk || !IsUsablePackageName(package.FileName)) {
    ShowErrorBoxTitled("Invalid package", Format(kInvalidPackageText, package.FullFileName));
    return false;
  }
  package.PresetupSize = static_cast<int32_t>(check.trailer.presetupSize);
  package.DataSize = static_cast<int32_t>(check.trailer.dataSize);
  package.Flags = static_cast<int32_t>(check.trailer.flags);

  if (package.Main &&
      !CopyHead(state.ExeName, state.TempDir + "Resume.exe", check.trailer.stubSize)) {
    ShowErrorBoxTitled("Error", "Cannot prepare for resuming.");
    return false;
  }
  package.TempPath = state.TempDir + package.FileName + "\\";
  return true;
}

bool PreparePackages() {
  TEngineContext& engine = *CurrentEngine();
  TsxMainDatabase& database = engine.Database();
  const TEngineState& state = EngineState();

  uint64_t total = 0;
  for (const TsxPackage& package : *database.Packages)
    if (!package.Prepared) total += static_cast<uint32_t>(package.PresetupSize);
  if (DiskFreeKB(state.TempDir) < static_cast<int64_t>(RoundedDivision(total, 1024))) {
    ShowErrorBoxTitled("Error", "Insufficient free disk space.");
    return false;
  }

  TSplashWindow splash;
  TPreparingWindow preparing;
  // On every exit the preparing window goes first, then the splash after its minimum time.
  struct Closer {
    TSplashWindow& splash;
    TPreparingWindow& preparing;
    ~Closer() {
      preparing.Destroy();
      splash.Close();
    }
  } closer{splash, preparing};

  const WindowHandle owner = engine.MainWindow().Handle();
  uint64_t done = 0;
  bool quiet = false;
  for (TsxPackage& package : *database.Packages) {
    quiet = ReadVariableInt(&database, "SilentMode", 0) != 0 ||
            FlagSet(static_cast<uint32_t>(package.Flags), kPackageQuiet);
    const bool noWindow = FlagSet(static_cast<uint32_t>(package.Flags), kPackageNoWindow);
    if (package.Prepared) continue;
    CreateFolderPath(package.TempPath);
    if (preparing.Exists()) preparing.SetCaption(PreparingCaption(package.FileName));

    auto onCopyFile = [&](const UnpackEntry& entry, std::string& destination) {
      const std::string base = entry.name.substr(0, entry.name.find_last_of('.'));
      if (!quiet && !noWindow && total > 0 && !preparing.Visible() &&
          !SameTextFast(base, "splash") && !SameTextFast(base, "presetup"))
        preparing.Show(package.TempPath, package.FileName, owner, splash.Visible());
      if (entry.name.size() >= 5 && SameTextFast(entry.name.substr(0, 5), "data\\"))
        return kUnpackAbort;
      destination = package.TempPath + entry.name;
      CreateFolderPath(destination.substr(0, destination.find_last_of('\\') + 1));
      return kUnpackExtract;
    };
    auto onFileDone = [&](const UnpackEntry& entry, const std::string& destination) {
      if (!quiet && !splash.Visible() && SameTextFast(entry.name, "splash.bmp"))
        splash.Show(destination, owner);
      return kUnpackExtract;
    };
    auto onProgress = [&](const std::string&, const std::string&, uint32_t, uint32_t bytes,
                          uint32_t) {
      done += bytes;
      if (total > 0) preparing.SetProgress(static_cast<int>(RoundedDivision(done * 100, total)));
      return kUnpackExtract;
    };
    // The main package's cabinet follows the engine image: its search starts there.
    const uint64_t searchStart =
        package.Main ? ReadPackageTrailer(package.FullFileName).trailer.stubSize : 0;
    TsxUnpacker unpacker(package.FullFileName,
                         FlagSet(static_cast<uint32_t>(package.Flags), kPackageScrambled),
                         searchStart);
    // A further package spanned over cabinets may need its second cabinet already: the plug-ins
    // are asked for one that is not beside the package, as the file phase asks.
    auto onNeedCabinet = [&](const std::string& name, std::string& folder) {
      for (;;) {
        auto info = host::CurrentHost().GetFileInfo(WithBackslash(folder) + name);
        if (info && !(info->attributes & host::kAttrDirectory)) return true;
        auto answer = engine.Plugins().AskForPackageFolder(name, folder);
        if (!answer) return false;
        folder = *answer;
      }
    };
    if (!unpacker.Enumerate(onCopyFile, onFileDone, onProgress, onNeedCabinet)) return false;
    package.Prepared = true;
  }
  if (!quiet) WaitServingMessages(host::CurrentHost().TickCount(), 100);
  return true;
}

bool LoadPackageDatabase(TsxPackage& package) {
  const std::string path = package.TempPath + "db.pdb";
  const std::string text = ReadPdbFile(path);
  if (text.empty()) throw EEngineError("Package database \"" + path + "\" is missing or empty.");
  TXMLTag tag;
  tag.Parse(text);
  if (tag.Name() != "package") throw EEngineError("Package database \"" + path + "\" is damaged.");
  // Where the package was found and what its preparation did belong to this run, not to the
  // database the builder wrote.
  const std::string fileName = package.FileName, fullFileName = package.FullFileName;
  package.MergeFrom(tag);
  package.FileName = fileName;
  package.FullFileName = fullFileName;
  TsxVariable* presetup = package.Variables->ScanByName("Presetup");
  if (!presetup) {
    presetup = &package.Variables->AddNew();
    presetup->Name = "Presetup";
    package.Variables->Reindex();
  }
  presetup->Value = package.TempPath + "presetup";
  return true;
}

}  // namespace sx
