// A whole installation measured against its peers: a payload of FILES files (a third of them
// incompressible, in nested folders) built by sxbuild into a setup program, then, each several
// times taking turns (the median counts):
//   - the setup installing silently onto a fresh machine (sxengine, the whole run);
//   - cabextract of the same cabinet into an empty folder (the decompression floor);
//   - dpkg -i of a .deb with the same payload into a root of its own, and cp -r of the payload;
//   - the rollback of the same installation, failed by a program after its last file, against
//     our uninstaller and dpkg -r;
//   - the engine's peak memory at two payload sizes (same file count, half the bytes);
//   - a scaling row: the time per item of projects of 5,000 and of 50,000 items (files and
//     registry values).
// Prints one Markdown table with the ratios and the goals.
//
//   install_bench [FILES [MEGABYTES [RUNS]]]     default: 10,000 files, 177 MB, 3 runs
//   SX_BENCH_SCALING=0 leaves the scaling row out.
//
// Needs cabextract, dpkg-deb and dpkg. Works in a temporary folder that it removes at the end.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_payload.h"
#include "packages/package_trailer.h"

namespace {

namespace fs = std::filesystem;
using sx::bench::WriteAll;
using Clock = std::chrono::steady_clock;

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Measured {
  double seconds = 0;
  long peakKilobytes = 0;  // of the process started (its largest child counts when it has one)
  int status = -1;
};

// Runs a shell command line; its wall time, exit status and the peak memory of its processes.
Measured Run(const std::string& command) {
  Measured m;
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  m.peakKilobytes = usage.ru_maxrss;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

void Must(const Measured& m, const std::string& what) {
  if (m.status == 0) return;
  std::fprintf(stderr, "install_bench: %s failed (status %d)\n", what.c_str(), m.status);
  std::exit(1);
}

// FILES files of about totalBytes together, in folders three levels deep (10 × 10 × n); every
// third file pseudo-random bytes that do not compress, the others text records.
void MakePayload(const std::string& folder, size_t totalBytes, size_t files) {
  sx::bench::MakePayload(folder, totalBytes, files, 3, [](size_t i) {
    return "part" + std::to_string(i % 10) + "/group" + std::to_string(i / 10 % 10) + "/set" + std::to_string(i / 100 % 20);
  });
}

// A project installing the payload into C:\Bench with an uninstaller; `values` registry values;
// with `failScript`, that program runs after the files and fails: the installation rolls back.
std::string ProjectXml(size_t values, const std::string& failScript) {
  std::string xml = R"(<sx2project>
  <variables>
    <var name="AppID" value="SXBench"/><var name="AppName" value="Bench"/>
    <var name="InstallPath" value="C:\Bench"/><var name="Uninstall" value="1"/>
  </variables>
  <components><component id="C1">
    <files><file src="*.*" dst="%InstallPath%\"/></files>
)";
  if (values) {
    xml += "    <registry>\n";
    for (size_t i = 0; i < values; ++i)
      xml += "      <reg key=\"HKLM\\Software\\SXBench\\Group" + std::to_string(i / 100) + "\" param=\"Value" +
             std::to_string(i) + "\" value=\"" + std::to_string(i * 7) + "\"/>\n";
    xml += "    </registry>\n";
  }
  if (!failScript.empty()) {
    std::string windowsPath = "Z:" + failScript;
    for (char& c : windowsPath)
      if (c == '/') c = '\\';
    xml += "    <runapps><runapp cmdline=\"" + windowsPath +
           "\" whenstart=\"after_install\" flags=\"check_exitcode\"/></runapps>\n";
  }
  return xml + "  </component></components>\n</sx2project>\n";
}

struct Setup {
  std::string folder;  // the sxbuild output: setup.exe
  std::string cabinet;  // the main package's cabinet alone
};

Setup Build(const std::string& base, const std::string& name, const std::string& payload, size_t values,
            const std::string& failScript = "") {
  const std::string project = base + "/" + name;
  fs::create_directories(project + "/payload");
  fs::create_symlink(payload, project + "/payload/C1");
  WriteAll(project + "/project.xml", ProjectXml(values, failScript));
  Setup setup{base + "/" + name + "-out", base + "/" + name + ".cab"};
  Must(Run(Quote(SX_SXBUILD) + " " + Quote(project) + " -o " +
           Quote(setup.folder) + " >/dev/null 2>&1"),
       "sxbuild " + name);
  // The cabinet alone follows the engine image and precedes the trailer.
  std::ifstream in(setup.folder + "/setup.exe", std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto trailer = sx::DecodeTrailer(std::string_view(whole).substr(whole.size() - sx::kPackageTrailerSize));
  if (!trailer) Must(Measured{}, "reading the trailer of " + name);
  const size_t stub = trailer->stubSize;
  std::ofstream(setup.cabinet, std::ios::binary | std::ios::trunc)
      << whole.substr(stub, whole.size() - stub - sx::kPackageTrailerSize);
  return setup;
}

std::string FreshMachine(const std::string& base) {
  const std::string machine = base + "/machine";
  // The uninstaller removes itself after it has ended, from a batch file that may still run.
  std::error_code error;
  for (int attempt = 0; attempt < 50; ++attempt) {
    fs::remove_all(machine, error);
    if (!error && !fs::exists(machine)) break;
    usleep(100000);
  }
  Must(Run("SX_MACHINE=" + Quote(machine) + " " + Quote(SX_SXTOOL) + " machine init >/dev/null"), "machine init");
  return machine;
}

Measured Install(const std::string& machine, const Setup& setup, const std::string& environment = "") {
  Run("sync");
  return Run(environment + " SX_MACHINE=" + Quote(machine) + " " + Quote(setup.folder + "/setup.exe") +
             " /s </dev/null >/dev/null 2>&1");
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

struct Row {
  std::string what;
  double seconds;
  std::string comparison;
};

std::string Format(const char* format, double a, double b = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string Verdict(bool met) { return met ? "met" : "**missed**"; }

}  // namespace

int main(int argc, char** argv) {
  const size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
  const size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 177;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  const char* scalingSwitch = std::getenv("SX_BENCH_SCALING");
  const bool scaling = !scalingSwitch || std::string(scalingSwitch) != "0";
  std::string base = (fs::temp_directory_path() / "sx-install-bench-XXXXXX").string();
  if (!mkdtemp(base.data())) return 1;
  std::fprintf(stderr, "install_bench: payload of %zu files, %zu MB in %s\n", files, megabytes, base.c_str());

  const std::string payload = base + "/payload", halfPayload = base + "/payload-half";
  MakePayload(payload, megabytes << 20, files);
  MakePayload(halfPayload, (megabytes << 20) / 2, files);
  // The failing program notes when it ran (the rollback starts then) beside itself.
  const std::string failScript = base + "/fail.sh", stamp = failScript + ".stamp";
  WriteAll(failScript, "#!/bin/sh\ndate +%s.%N > '" + stamp + "'\nexit 1\n");
  fs::permissions(failScript, fs::perms::owner_all);
  const Setup setup = Build(base, "full", payload, 0);
  const Setup failing = Build(base, "failing", payload, 0, failScript);
  const Setup half = Build(base, "half", halfPayload, 0);

  // The Debian package of the same payload, compressed with gzip as MSZIP compresses (deflate).
  const std::string debRoot = base + "/deb";
  fs::create_directories(debRoot + "/DEBIAN");
  WriteAll(debRoot + "/DEBIAN/control",
           "Package: sxbench\nVersion: 1.0\nArchitecture: all\nMaintainer: bench <bench@example.org>\n"
           "Description: benchmark payload\n");
  fs::create_directories(debRoot + "/opt");
  Must(Run("cp -r " + Quote(payload) + " " + Quote(debRoot + "/opt/sxbench")), "staging the .deb");
  Must(Run("dpkg-deb -Zgzip --build " + Quote(debRoot) + " " + Quote(base + "/sxbench.deb") + " >/dev/null"),
       "dpkg-deb");
  fs::remove_all(debRoot);
  auto freshDpkgRoot = [&] {
    const std::string root = base + "/dpkgroot";
    fs::remove_all(root);
    for (const char* sub : {"/var/lib/dpkg/info", "/var/lib/dpkg/updates", "/var/lib/dpkg/triggers"})
      fs::create_directories(root + sub);
    WriteAll(root + "/var/lib/dpkg/status", "");
    WriteAll(root + "/var/lib/dpkg/available", "");
    return root;
  };
  auto dpkg = [&](const std::string& root, const std::string& action) {
    return "dpkg --force-all --force-not-root --root=" + Quote(root) + " --admindir=" +
           Quote(root + "/var/lib/dpkg") + " --log=/dev/null " + action + " >/dev/null 2>&1";
  };

  std::vector<double> install, cabextract, dpkgInstall, copy, rollback, uninstall, dpkgRemove;
  long peakFull = 0, peakHalf = 0;
  for (int run = 0; run < runs; ++run) {
    std::fprintf(stderr, "install_bench: round %d of %d\n", run + 1, runs);
    // The engine's installation, then its uninstaller.
    std::string machine = FreshMachine(base);
    Measured m = Install(machine, setup);
    Must(m, "the installation");
    install.push_back(m.seconds);
    peakFull = std::max(peakFull, m.peakKilobytes);
    const std::string installed = machine + "/drive_c/Bench";
    Run("chmod +x " + Quote(installed + "/Uninstall.exe") + " && sync");
    m = Run("SX_MACHINE=" + Quote(machine) + " " + Quote(installed + "/Uninstall.exe") + " /s 'C:\\Bench\\install.log'" +
            " </dev/null >/dev/null 2>&1");
    Must(m, "the uninstallation");
    uninstall.push_back(m.seconds);

    // The same installation failed by a program after its files: the time from the program's
    // end to the engine's end is the rollback (and the engine's exit).
    machine = FreshMachine(base);
    fs::remove(stamp);
    const auto start = std::chrono::system_clock::now();
    m = Install(machine, failing);
    const double end = std::chrono::duration<double>(start.time_since_epoch()).count() + m.seconds;
    std::ifstream stampFile(stamp);
    double failedAt = 0;
    if (!(stampFile >> failedAt) || m.status == 0) {
      std::fprintf(stderr, "install_bench: the failing installation did not fail after its files\n");
      return 1;
    }
    rollback.push_back(end - failedAt);
    if (fs::exists(machine + "/drive_c/Bench")) std::fprintf(stderr, "install_bench: rollback left C:\\Bench\n");

    // The half-size payload, for the peak memory.
    machine = FreshMachine(base);
    m = Install(machine, half);
    Must(m, "the half installation");
    peakHalf = std::max(peakHalf, m.peakKilobytes);

    // cabextract, dpkg and cp.
    const std::string target = base + "/target";
    fs::remove_all(target);
    fs::create_directories(target);
    Run("sync");
    m = Run("cabextract -q -d " + Quote(target) + " " + Quote(setup.cabinet));
    Must(m, "cabextract");
    cabextract.push_back(m.seconds);
    fs::remove_all(target);
    const std::string root = freshDpkgRoot();
    Run("sync");
    m = Run(dpkg(root, "-i " + Quote(base + "/sxbench.deb")));
    Must(m, "dpkg -i");
    dpkgInstall.push_back(m.seconds);
    Run("sync");
    m = Run(dpkg(root, "-r sxbench"));
    Must(m, "dpkg -r");
    dpkgRemove.push_back(m.seconds);
    fs::remove_all(root);
    Run("sync");
    m = Run("cp -r " + Quote(payload) + " " + Quote(target));
    Must(m, "cp -r");
    copy.push_back(m.seconds);
    fs::remove_all(target);
  }

  // Scaling: small files and registry values, 5,000 against 50,000 items.
  double perItemSmall = 0, perItemLarge = 0;
  long peakScaling = 0;
  if (scaling) {
    auto perItem = [&](size_t items) {
      const size_t fileCount = items * 5 / 7, values = items - fileCount;  // 50,000 = 35,714 + 14,286
      const std::string name = "scale" + std::to_string(items);
      MakePayload(base + "/" + name + "-payload", fileCount * 512, fileCount);
      const Setup scaled = Build(base, name, base + "/" + name + "-payload", values);
      std::vector<double> times;
      for (int run = 0; run < runs; ++run) {
        const std::string machine = FreshMachine(base);
        const Measured m = Install(machine, scaled);
        Must(m, "the installation of " + name);
        times.push_back(m.seconds);
        peakScaling = std::max(peakScaling, m.peakKilobytes);
      }
      fs::remove_all(base + "/" + name + "-payload");
      return Median(times) / static_cast<double>(items);
    };
    perItemSmall = perItemLarge = 0;
    perItemSmall = perItem(5000);
    perItemLarge = perItem(50000);
  }

  const double tInstall = Median(install), tCab = Median(cabextract), tDpkg = Median(dpkgInstall),
               tCopy = Median(copy), tRollback = Median(rollback), tUninstall = Median(uninstall),
               tRemove = Median(dpkgRemove);
  std::printf("| measured (%zu files, %zu MB, median of %d) | seconds | against | goal |\n", files, megabytes, runs);
  std::printf("|---|---:|---|---|\n");
  std::printf("| sxengine /s installation | %.2f | %s cabextract, %s dpkg -i, %s cp -r | ≤ 1.3× cabextract: %s; "
              "< dpkg -i: %s |\n",
              tInstall, Format("%.2f×", tInstall / tCab).c_str(), Format("%.2f×", tInstall / tDpkg).c_str(),
              Format("%.2f×", tInstall / tCopy).c_str(), Verdict(tInstall <= 1.3 * tCab).c_str(),
              Verdict(tInstall < tDpkg).c_str());
  std::printf("| cabextract of the cabinet | %.2f | | |\n", tCab);
  std::printf("| dpkg -i of the .deb (gzip) | %.2f | | |\n", tDpkg);
  std::printf("| cp -r of the payload | %.2f | | |\n", tCopy);
  std::printf("| rollback after the last file | %.2f | %s the installation | ≤ installation: %s |\n", tRollback,
              Format("%.2f×", tRollback / tInstall).c_str(), Verdict(tRollback <= tInstall).c_str());
  std::printf("| Uninstall.exe /s | %.2f | %s dpkg -r | ≤ dpkg -r: %s |\n", tUninstall,
              Format("%.2f×", tUninstall / tRemove).c_str(), Verdict(tUninstall <= tRemove).c_str());
  std::printf("| dpkg -r | %.2f | | |\n", tRemove);
  std::printf("| engine peak RSS, %zu MB / %zu MB payload | %s | %s | ≤ 64 MB and flat: %s |\n", megabytes,
              megabytes / 2, Format("%.1f / %.1f MB", peakFull / 1024.0, peakHalf / 1024.0).c_str(),
              Format("%.2f×", static_cast<double>(peakFull) / static_cast<double>(std::max(peakHalf, 1L))).c_str(),
              Verdict(peakFull <= 64 * 1024 && peakFull <= peakHalf * 11 / 10 + 1024).c_str());
  if (scaling)
    std::printf("| time per item, 5,000 / 50,000 items (5 files : 2 values) | %s | %s | ≤ 1.5×: %s |\n",
                Format("%.0f / %.0f µs", perItemSmall * 1e6, perItemLarge * 1e6).c_str(),
                Format("%.2f×, peak RSS %.1f MB", perItemLarge / perItemSmall, peakScaling / 1024.0).c_str(),
                Verdict(perItemLarge <= 1.5 * perItemSmall).c_str());
  FreshMachine(base);  // waits for the uninstaller's batch file
  std::error_code ignored;
  fs::remove_all(base, ignored);
  return 0;
}
