// The setup engine end to end on a fresh machine, run silently: how the preparation of the main
// package scales with the installable data it must leave alone (1 MB against 200 MB: it stops
// at the first "data\" file), and how selecting, marking, pruning and merging (the steps before
// the installation) scale with the number of components (5,000 / 20,000 / 50,000 components in
// 20 packages, 10,000 features). Times are the best of R runs of the whole setup program.
// Prints one table.
//
// usage: engine_bench [--runs R] [--work FOLDER] [--quick]
// sxbuild and sxengine are taken from the build tree beside this program.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string BuildTree() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path().parent_path().string();
}

// Runs a program with extra environment words ("NAME=value"), output discarded; its exit status.
int Run(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envText(environment);
  for (char** e = environ; *e; ++e) envText.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Write(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

// Incompressible bytes, so that the stored data really is that large.
void WriteRandom(const fs::path& path, size_t size, uint32_t seed) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  std::string block(1 << 20, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t done = 0; done < size; done += block.size()) {
    for (auto& c : block) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      c = static_cast<char>(x);
    }
    out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - done)));
  }
}

// A project with `megabytes` of data in one component of the main package.
void DataProject(const fs::path& folder, size_t megabytes) {
  Write(folder / "project.xml", R"(<sx2project><components><component id="c">
      <files><file src="*.*" dst="C:\App\"/></files></component></components></sx2project>)");
  for (size_t i = 0; i < megabytes; i += 50)
    WriteRandom(folder / "payload" / "c" / ("part" + std::to_string(i) + ".bin"),
                std::min<size_t>(50, megabytes - i) << 20, static_cast<uint32_t>(i + 1));
}

// `components` components in 20 packages, 10,000 features of components/10,000 components each
// (features beyond the components reference none), one install type selecting every feature.
void SelectionProject(const fs::path& folder, int components) {
  constexpr int kPackages = 20, kFeatures = 10000;
  std::string xml = "<sx2project><packages><package id=\"main\" main=\"1\" filename=\"setup\"/>";
  for (int p = 1; p < kPackages; ++p) xml += "<package id=\"p" + std::to_string(p) + "\"/>";
  xml += "</packages><components>";
  for (int c = 0; c < components; ++c) {
    const int p = c % kPackages;
    xml += "<component id=\"c" + std::to_string(c) + "\"" + (p ? " package=\"p" + std::to_string(p) + "\"" : "") + "/>";
  }
  xml += "</components><features>";
  const int perFeature = std::max(1, components / kFeatures);
  for (int f = 0; f < kFeatures; ++f) {
    xml += "<feature id=\"f" + std::to_string(f) + "\"><components>";
    for (int k = 0; k < perFeature && f * perFeature + k < components; ++k)
      xml += "<component id=\"c" + std::to_string(f * perFeature + k) + "\"/>";
    xml += "</components></feature>";
  }
  xml += "</features><installtypes><installtype id=\"all\" default=\"1\"><features>";
  for (int f = 0; f < kFeatures; ++f) xml += "<feature id=\"f" + std::to_string(f) + "\"/>";
  xml += "</features></installtype></installtypes></sx2project>";
  Write(folder / "project.xml", xml);
}

// Builds the project and returns the best time of `runs` silent runs of its setup program on a
// fresh machine (the machine is made before each timed run).
double TimeSetup(const fs::path& project, const fs::path& work, int runs, const std::vector<std::string>& buildOptions) {
  const std::string tree = BuildTree();
  const fs::path output = work / "out";
  fs::remove_all(output);
  std::vector<std::string> build{tree + "/tools/sxbuild", project.string(), "-o", output.string(),
                                 "--engine", tree + "/engine/sxengine"};
  build.insert(build.end(), buildOptions.begin(), buildOptions.end());
  if (Run(build) != 0) {
    std::fprintf(stderr, "engine_bench: building %s failed\n", project.c_str());
    std::exit(1);
  }
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const fs::path machine = work / "machine";
    fs::remove_all(machine);
    const std::string env = "SX_MACHINE=" + machine.string();
    if (Run({tree + "/tools/sxtool", "machine", "init"}, {env}) != 0) std::exit(1);
    fs::copy(output, machine / "drive_c" / "setup", fs::copy_options::recursive);
    const auto start = std::chrono::steady_clock::now();
    const int code = Run({(machine / "drive_c" / "setup" / "setup.exe").string(), "/s"}, {env, "SX_TRACE="});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (code != 0) {
      std::fprintf(stderr, "engine_bench: the setup of %s failed (%d)\n", project.c_str(), code);
      std::exit(1);
    }
    best = std::min(best, seconds);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  bool quick = false;
  fs::path work = fs::temp_directory_path() / ("sxengine-bench-" + std::to_string(getpid()));
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--work" && i + 1 < argc) work = argv[++i];
    else if (arg == "--quick") quick = true;
    else {
      std::fprintf(stderr, "usage: engine_bench [--runs R] [--work FOLDER] [--quick]\n");
      return 2;
    }
  }
  fs::create_directories(work);
  std::printf("%-48s %10s\n", "setup run (silent, fresh machine)", "seconds");
  for (size_t megabytes : {size_t{1}, static_cast<size_t>(quick ? 20 : 200)}) {
    const fs::path project = work / ("data" + std::to_string(megabytes));
    DataProject(project, megabytes);
    const double t = TimeSetup(project, work, runs, {"--compression", "none"});
    std::printf("%-48s %10.3f\n", ("preparation, " + std::to_string(megabytes) + " MB of data").c_str(), t);
    fs::remove_all(project);
  }
  for (int components : quick ? std::vector<int>{5000, 10000} : std::vector<int>{5000, 20000, 50000}) {
    const fs::path project = work / ("select" + std::to_string(components));
    SelectionProject(project, components);
    const double t = TimeSetup(project, work, runs, {});
    std::printf("%-48s %10.3f\n",
                (std::to_string(components) + " components, 20 packages, 10k features").c_str(), t);
    fs::remove_all(project);
  }
  fs::remove_all(work);
  return 0;
}
