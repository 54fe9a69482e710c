// `sxtool package` runs side by side on one machine, and runs that are interrupted: every run
// loads an unpack library of its own and leaves nothing behind, Ctrl-C included.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/packages/package_fixture.h"

extern char** environ;

namespace sx::test {
namespace {

namespace fs = std::filesystem;

class PackageToolProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(SX_SXTOOL)) GTEST_SKIP() << "sxtool is not built";
    work_ = machine_.HostPath("work");
    fs::create_directories(work_);
  }
  // Files and folders the runs may have left anywhere in the machine: their paths.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(machine_.folder())) {
      const std::string name = entry.path().filename().string();
      if (name == "unpack.dll" || name.starts_with("sxtool-")) found.push_back(entry.path());
    }
    return found;
  }
  // Starts sxtool on the machine; its process ID.
  pid_t Start(const std::string& arguments) {
    const std::string command = "exec '" SX_SXTOOL "' " + arguments + " >/dev/null 2>&1";
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    setenv("SX_MACHINE", machine_.folder().c_str(), 1);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, "/bin/sh", nullptr, nullptr,
                                  const_cast<char* const*>(argv), environ);
    unsetenv("SX_MACHINE");
    EXPECT_EQ(error, 0);
    return pid;
  }

  TempMachine machine_;
  std::string work_;
};

TEST_F(PackageToolProcessesTest, ParallelRunsEachLoadALibraryOfTheirOwn) {
  const Files files = {{"a.txt", TextBytes(300000, 1)}, {"b.bin", RandomBytes(200000, 2)}};
  WriteHostFile(work_ + "/pkg.cab", MakeCabinet(files, true));
  // 40 runs at once; each writes its status and listing to files of its own.
  const std::string script =
      "for i in $(seq 40); do (SX_MACHINE='" + machine_.folder() + "' '" SX_SXTOOL
      "' package info '" + work_ + "/pkg.cab' >'" + work_ + "/out.'$i 2>'" + work_ +
      "/err.'$i; echo $? >'" + work_ + "/rc.'$i) & done; wait";
  ASSERT_EQ(RunCommand(script), 0);
  int failed = 0;
  for (int i = 1; i <= 40; ++i) {
    const std::string n = std::to_string(i);
    const std::string rc = ReadHostFile(work_ + "/rc." + n);
    const std::string out = ReadHostFile(work_ + "/out." + n);
    if (rc != "0\n" || out.find("2 files, 500000 bytes") == std::string::npos) {
      ++failed;
      ADD_FAILURE() << "run " << n << " exited " << rc << ReadHostFile(work_ + "/err." + n);
    }
  }
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

TEST_F(PackageToolProcessesTest, InterruptedRunRemovesItsLibrary) {
  // Large enough that a run spends a while reading it.
  WriteHostFile(work_ + "/big.cab", MakeCabinet({{"zeros.bin", std::string(64 << 20, '\0')}}, true));
  const std::string temp = *machine_.host().MapPath(machine_.host().TempPath());
  for (int signal : {SIGINT, SIGTERM, SIGPIPE}) {
    bool interrupted = false;
    // Catch a run while its library exists: stop it there, send the signal, let it go on.
    for (int attempt = 0; attempt < 50 && !interrupted; ++attempt) {
      const pid_t pid = Start("package info '" + work_ + "/big.cab'");
      const std::string library = temp + "/sxtool-" + std::to_string(pid) + "/unpack.dll";
      int status = 0;
      bool exited = false;
      while (!fs::exists(library) && !exited) {
        exited = waitpid(pid, &status, WNOHANG) == pid;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      if (exited) continue;
      kill(pid, SIGSTOP);
      waitpid(pid, &status, WUNTRACED);
      if (WIFSTOPPED(status) && fs::exists(library)) {
        interrupted = true;
        kill(pid, signal);
      }
      kill(pid, SIGCONT);
      while (waitpid(pid, &status, 0) == pid && !WIFEXITED(status) && !WIFSIGNALED(status)) {
      }
      if (!interrupted) continue;
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
      EXPECT_FALSE(fs::exists(library));
      EXPECT_FALSE(fs::exists(fs::path(library).parent_path()));
    }
    EXPECT_TRUE(interrupted) << "no run was caught while it had its library";
  }
  EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

}  // namespace
}  // namespace sx::test
