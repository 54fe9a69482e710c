// The file phase of an installation against cabextract: a project of FILES files (a third of them
// incompressible) built into a setup program by sxbuild, installed onto a fresh machine by
// InstallFiles, and the same cabinet extracted by `cabextract -q`, the two taking turns (best of
// three). Then the same installation with every event carried to the main thread (the cost of
// one loaded plug-in), and the rollback of an installation. Prints one table.
//
//   file_phase_bench [MEGABYTES [FILES]]     default: 177 MB in 10,000 files
//
// Needs cabextract. Works in a temporary folder that it removes at the end.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/bench_payload.h"
#include "database/sx_main_database.h"
#include "database/sx_variable_access.h"
#include "host/host.h"
#include "host/posix/posix_host.h"
#include "install/file_phase.h"
#include "install/install_actions.h"
#include "install/install_services.h"
#include "packages/embedded_resource.h"
#include "packages/package_trailer.h"
#include "packages/pdb_file.h"
#include "packages/sx_unpacker.h"
#include "util/folder_path.h"
#include "util/message_queue.h"

namespace {

namespace fs = std::filesystem;
using sx::bench::WriteAll;
using Clock = std::chrono::steady_clock;

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Text that compresses well in two files of three, pseudo-random bytes in the third.
void MakePayload(const std::string& folder, size_t totalBytes, size_t files) {
  sx::bench::MakePayload(folder, totalBytes, files, 3, sx::bench::FlatFolder);
}

// The engine's services as the file phase needs them; events either answered on the calling
// thread (no plug-in loaded) or carried to the main thread (a plug-in that answers every event).
class BenchServices : public sx::TInstallServices {
 public:
  sx::TsxMainDatabase database;
  bool handOver = false;
  std::atomic<bool> aborted{false};
  long events = 0;

  sx::TsxMainDatabase& Database() override { return database; }
  bool Aborted() override { return aborted; }
  void SetAborted(bool value) override { aborted = value; }
  bool ResumeMode() override { return false; }
  void SetResumeMode(bool) override {}
  bool ResumePending() override { return false; }
  void SetResumePending(bool) override {}
  std::string ExeName() override { return ""; }
  std::intptr_t SendEvent(std::int32_t, std::intptr_t, std::intptr_t, bool) override {
    if (handOver) sx::SendToMainThread([&] { ++events; });
    return 0;
  }
  void ShowStatusText(std::string_view) override {}
  void HideStatusText() override {}
  std::string LanguageString(int) override { return "Cannot write %s"; }
  std::vector<std::string> LanguageSectionNames() override { return {}; }
  std::vector<std::string> LanguageSectionLines(std::string_view) override { return {}; }
  int ShowErrorBox(std::string_view text) override {
    std::fprintf(stderr, "error: %.*s\n", static_cast<int>(text.size()), text.data());
    return 1;
  }
  int ShowBox(sx::TBoxOwner, std::string_view, std::string_view text, std::uint32_t) override {
    return ShowErrorBox(text);
  }
  bool RunApplications(sx::TsxWhenStart) override { return true; }
  std::vector<sx::TsxRunApp*> UninstallRunApps(sx::TsxWhenStart) override { return {}; }
  bool SaveResumeState() override { return true; }
  void RemoveFontResource(std::string_view) override {}
  bool RegisterServer(std::string_view, bool) override { return true; }
};

// Extracts the package's files outside "data\" into `temp` and loads its database, as the
// engine's preparation does.
bool Prepare(sx::TsxPackage& package, const std::string& path, const std::string& temp) {
  const sx::PackageCheck check = sx::ReadPackageTrailer(path);
  if (check.status != sx::PackageStatus::kOk) return false;
  sx::CreateFolderPath(temp);
  sx::TsxUnpacker unpacker(path, check.trailer.flags & sx::kPackageScrambled, check.trailer.stubSize);
  if (!unpacker.Enumerate([&](const sx::UnpackEntry& entry, std::string& destination) {
        if (entry.name.rfind("data\\", 0) == 0) return sx::kUnpackAbort;
        destination = temp + entry.name;
        sx::CreateFolderPath(sx::FolderOf(destination));
        return sx::kUnpackExtract;
      }))
    return false;
  package.LoadFromString(sx::ReadPdbFile(temp + "db.pdb"), "package");
  package.Main = true;
  package.FullFileName = path;
  package.TempPath = temp;
  package.Flags = static_cast<int32_t>(check.trailer.flags);
  package.PresetupSize = static_cast<int32_t>(check.trailer.presetupSize);
  package.DataSize = static_cast<int32_t>(check.trailer.dataSize);
  return true;
}

long PeakKilobytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 177;
  const size_t files = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  std::string base = (fs::temp_directory_path() / "sx-file-phase-bench-XXXXXX").string();
  if (!mkdtemp(base.data())) return 1;
  const std::string project = base + "/project", out = base + "/out";
  MakePayload(project + "/payload/C1", megabytes << 20, files);
  WriteAll(project + "/project.xml", R"(<sx2project>
  <variables><var name="InstallPath" value="C:\App"/></variables>
  <components><component id="C1"><files><file src="*.*" dst="%InstallPath%\"/></files></component></components>
</sx2project>)");
  const auto buildStart = Clock::now();
  if (Run(std::string("'") + SX_SXBUILD + "' --engine '" + SX_SXENGINE + "' '" + project + "' -o '" + out +
          "' >/dev/null 2>&1") != 0)
    return 1;
  const double buildSeconds = std::chrono::duration<double>(Clock::now() - buildStart).count();
  fs::remove_all(project);

  const std::string machineFolder = base + "/machine";
  sx::host::InitMachine(machineFolder);
  auto host = sx::host::OpenPosixHost(machineFolder);
  sx::host::SetCurrentHost(host.get());
  sx::SetMainThread();
  sx::SetUnpackDllPath(sx::WriteUnpackLibrary(host->TempPath()));
  BenchServices services;
  sx::SetInstallServices(&services);
  const std::string setup = *host->WindowsPathOf(out + "/setup.exe");
  sx::TsxMainDatabase& db = services.database;
  {
    sx::TsxPackage scratch;
    if (!Prepare(scratch, setup, "C:\\sxtemp\\pkg0\\")) return 1;
  }
  db.LoadFromString(sx::ReadPdbFile("C:\\sxtemp\\pkg0\\main.pdb"), "sx2project");
  db.Packages->Clear();
  if (!Prepare(db.Packages->AddNew(), setup, "C:\\sxtemp\\pkg0\\")) return 1;
  db.TempBackupPath = "C:\\sxtemp\\backup\\";
  db.TempFontsPath = "C:\\sxtemp\\fonts\\";
  db.TempGACPath = "C:\\sxtemp\\gac\\";
  sx::CreateFolderPath(db.TempBackupPath);

  // The cabinet alone, for cabextract.
  const sx::PackageCheck check = sx::ReadPackageTrailer(setup);
  {
    // Copied piece by piece, so that the peak memory below is the installation's own.
    std::ifstream in(out + "/setup.exe", std::ios::binary);
    std::ofstream cab(base + "/setup.cab", std::ios::binary | std::ios::trunc);
    in.seekg(check.trailer.stubSize);
    size_t left = check.trailer.packageFileSize - check.trailer.stubSize - sx::kPackageTrailerSize;
    std::string piece(1 << 20, '\0');
    while (left > 0 && in) {
      const size_t n = std::min(left, piece.size());
      in.read(piece.data(), static_cast<std::streamsize>(n));
      cab.write(piece.data(), in.gcount());
      left -= static_cast<size_t>(in.gcount());
    }
  }

  int runNumber = 0;
  auto install = [&](bool handOver) {
    sx::InstallActionList().Clear();
    sx::WriteVariable(&db, "InstallPath", "C:\\App" + std::to_string(++runNumber));
    services.handOver = handOver;
    return sx::InstallFiles();
  };
  auto cabextract = [&] {
    return Run("cabextract -q -d '" + base + "/cab" + std::to_string(++runNumber) + "' '" + base + "/setup.cab'") == 0;
  };
  double bestCab = 1e30, bestOurs = 1e30;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    if (!cabextract()) return 1;
    bestCab = std::min(bestCab, std::chrono::duration<double>(Clock::now() - start).count());
    start = Clock::now();
    if (!install(false)) return 1;
    bestOurs = std::min(bestOurs, std::chrono::duration<double>(Clock::now() - start).count());
  }
  const long peak = PeakKilobytes();
  auto start = Clock::now();
  if (!install(true)) return 1;
  const double withPlugin = std::chrono::duration<double>(Clock::now() - start).count();
  start = Clock::now();
  sx::InstallActionList().RollbackAll();
  const double rollback = std::chrono::duration<double>(Clock::now() - start).count();

  const double mb = static_cast<double>(megabytes);
  std::printf("payload: %zu MB in %zu files (a third incompressible); setup program built by sxbuild in %.1f s; "
              "cabinet %.1f MB\n",
              megabytes, files, buildSeconds, static_cast<double>(fs::file_size(base + "/setup.cab")) / (1 << 20));
  std::printf("%-52s %9s %9s %9s\n", "file phase onto a fresh machine (best of 3)", "seconds", "MB/s", "vs cabext");
  auto row = [&](const char* what, double seconds) {
    std::printf("%-52s %9.2f %9.1f %9.2f\n", what, seconds, mb / seconds, seconds / bestCab);
  };
  row("cabextract -q of the same cabinet", bestCab);
  row("InstallFiles, no plug-in", bestOurs);
  row("InstallFiles, every event to the main thread", withPlugin);
  std::printf("%-52s %9.2f\n", "rollback of that installation", rollback);
  std::printf("%-52s %9ld KB\n", "peak memory after the installations", peak);
  std::printf("(events carried over: %ld)\n", services.events);
  sx::SetInstallServices(nullptr);
  sx::host::SetCurrentHost(nullptr);
  host.reset();
  fs::remove_all(base);
  return 0;
}
