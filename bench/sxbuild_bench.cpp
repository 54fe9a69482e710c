// sxbuild against gcab: the time to pack the same payload (by default 10,000 files, 200 MB, two
// thirds text-like and one third incompressible) into a setup program with MSZIP, and into a
// cabinet with `gcab -c -z`. Also the cost of storing without compression and of scrambling with
// a password. Prints one table.
//
// usage: sxbuild_bench [--files N] [--megabytes M] [--runs R] [--work FOLDER]
//                      [--sxbuild FILE] [--engine FILE]
// sxbuild and sxengine are taken from the build tree beside this program unless given.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Options {
  int files = 10000;
  double megabytes = 200;
  int runs = 3;
  std::string work;
  std::string sxbuild;
  std::string engine;
};

std::string BuildTree() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path().parent_path().string();
}

// Runs a program (no shell), standard output and error discarded; its exit status.
int Run(const std::vector<std::string>& args, const std::string& folder = "") {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The best wall-clock time of `runs` runs, in seconds; `prepare` runs untimed before each.
template <class Prepare>
double Best(int runs, const std::vector<std::string>& args, const std::string& folder, Prepare prepare) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    if (Run(args, folder) != 0) {
      std::fprintf(stderr, "sxbuild_bench: \"%s\" failed\n", args[0].c_str());
      std::exit(1);
    }
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

uint64_t FolderBytes(const std::string& folder) {
  uint64_t bytes = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) bytes += entry.file_size();
  return bytes;
}

// Writes the payload: 100 folders of files whose sizes vary around the mean; every third file
// is noise, the others lines of text.
std::vector<std::string> MakePayload(const std::string& root, const Options& options) {
  std::vector<std::string> names;
  const uint64_t total = static_cast<uint64_t>(options.megabytes * 1024 * 1024);
  const uint64_t mean = total / static_cast<uint64_t>(options.files);
  uint64_t x = 88172645463325252ull, written = 0;
  auto next = [&] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  std::string buffer;
  for (int i = 0; i < options.files; ++i) {
    const uint64_t size = i + 1 == options.files ? (total > written ? total - written : 0)
                                                 : std::min<uint64_t>(mean / 4 + next() % (mean * 3 / 2 + 1),
                                                                      total > written ? total - written : 0);
    buffer.clear();
    if (i % 3 == 0) {
      while (buffer.size() < size) {
        const uint64_t v = next();
        buffer.append(reinterpret_cast<const char*>(&v), 8);
      }
    } else {
      while (buffer.size() < size)
        buffer += "record " + std::to_string(next() % 100000) + " of file " + std::to_string(i) + ": value=" +
                  std::to_string(next() % 1000) + "\r\n";
    }
    buffer.resize(size);
    const std::string name = "d" + std::to_string(i % 100) + "/f" + std::to_string(i) + ".dat";
    fs::create_directories((fs::path(root) / name).parent_path());
    std::ofstream(fs::path(root) / name, std::ios::binary).write(buffer.data(), static_cast<std::streamsize>(size));
    written += size;
    names.push_back(name);
  }
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string tree = BuildTree();
  options.sxbuild = tree + "/tools/sxbuild";
  options.engine = tree + "/engine/sxengine";
  options.work = (fs::temp_directory_path() / ("sxbuild-bench-" + std::to_string(getpid()))).string();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i], value = argv[i + 1];
    if (arg == "--files") {
      options.files = std::max(1, std::atoi(value.c_str()));
    } else if (arg == "--megabytes") {
      options.megabytes = std::max(0.001, std::atof(value.c_str()));
    } else if (arg == "--runs") {
      options.runs = std::max(1, std::atoi(value.c_str()));
    } else if (arg == "--work") {
      options.work = value;
    } else if (arg == "--sxbuild") {
      options.sxbuild = value;
    } else if (arg == "--engine") {
      options.engine = value;
    } else {
      std::fprintf(stderr, "sxbuild_bench: unknown option %s\n", arg.c_str());
      return 2;
    }
  }
  if (Run({"gcab", "--version"}) != 0) {
    std::fprintf(stderr, "sxbuild_bench: gcab is not installed\n");
    return 1;
  }
  const std::string project = options.work + "/project";
  const std::string payload = project + "/payload/core";
  fs::remove_all(options.work);
  const std::vector<std::string> names = MakePayload(payload, options);
  std::ofstream(project + "/project.xml")
      << "<sx2project><components><component id=\"core\"><files><file src=\"*.*\" dst=\"%InstallPath%\\\"/>"
         "</files></component></components></sx2project>\n";
  const double megabytes = static_cast<double>(
      [&] {
        uint64_t bytes = 0;
        for (const std::string& name : names) bytes += fs::file_size(payload + "/" + name);
        return bytes;
      }()) / (1024 * 1024);
  // Read every file once, so that every tool starts with the payload in the page cache.
  for (const std::string& name : names) std::ifstream(payload + "/" + name, std::ios::binary).ignore(INT64_MAX);

  const std::string out = options.work + "/out";
  const std::string cab = options.work + "/gcab.cab";
  auto clean = [&] {
    fs::remove_all(out);
    fs::remove(cab);
  };
  std::vector<std::string> gcab = {"gcab", "-c", "-z", cab};
  gcab.insert(gcab.end(), names.begin(), names.end());
  const double gcabTime = Best(options.runs, gcab, payload, clean);
  const uint64_t gcabBytes = fs::file_size(cab);

  struct Row {
    std::string label;
    std::vector<std::string> extra;
    double seconds = 0;
    uint64_t bytes = 0;
  };
  std::vector<Row> rows = {{"sxbuild, MSZIP level 6", {}},
                           {"sxbuild, MSZIP level 1", {"--level", "1"}},
                           {"sxbuild, stored", {"--compression", "none"}},
                           {"sxbuild, MSZIP, scrambled, password", {"--scramble", "--password", "bench"}}};
  for (Row& row : rows) {
    std::vector<std::string> args = {options.sxbuild, project, "-o", out, "--engine", options.engine};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    row.seconds = Best(options.runs, args, "", clean);
    row.bytes = FolderBytes(out) - fs::file_size(options.engine);
  }
  clean();
  fs::remove_all(options.work);

  std::printf("sxbuild against gcab: %d files, %.1f MB (2/3 text, 1/3 noise), best of %d runs\n", options.files,
              megabytes, options.runs);
  std::printf("%-38s %9s %9s %12s %9s\n", "tool", "seconds", "MB/s", "packed MB", "vs gcab");
  std::printf("%-38s %9.2f %9.1f %12.1f %8.2fx\n", "gcab -c -z", gcabTime, megabytes / gcabTime,
              static_cast<double>(gcabBytes) / (1024 * 1024), 1.0);
  for (const Row& row : rows)
    std::printf("%-38s %9.2f %9.1f %12.1f %8.2fx\n", row.label.c_str(), row.seconds, megabytes / row.seconds,
                static_cast<double>(row.bytes) / (1024 * 1024), row.seconds / gcabTime);
  std::printf("(packed MB of sxbuild: the setup program without its engine image)\n");
  return 0;
}
