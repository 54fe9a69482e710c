// The engine killed (SIGKILL) at 50 moments of an installation, drawn from a fixed seed: after
// each kill the registry files still parse and hold the old or the new state of the product's
// values (never half of them), no installed file holds part of its content under its final name
// (files are written under a temporary "~sx....tmp" name beside the target and renamed when
// complete), and the next run of the setup installs the product completely and removes the
// temporary folder the dead run left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/reg_paths.h"
#include "tests/packages/built_setup.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 16;
constexpr int kValues = 40;
constexpr char kValuesKey[] = "HKLM\\Software\\CrashTest";

// Pseudo-random bytes (they do not compress, so writing them takes a while).
std::string Content(int file) {
  std::mt19937 bytes(static_cast<unsigned>(file) + 1);
  std::string text(384 * 1024, '\0');
  for (char& c : text) c = static_cast<char>(bytes());
  return text;
}

std::string Project() {
  std::string xml = R"(<sx2project>
  <variables>
    <var name="AppID" value="CrashTest"/><var name="AppName" value="Crash"/>
    <var name="InstallPath" value="C:\Crash"/><var name="Uninstall" value="1"/>
  </variables>
  <components><component id="core">
    <files><file src="*.*" dst="%InstallPath%\"/></files>
    <registry>
)";
  for (int i = 0; i < kValues; ++i)
    xml += "      <reg key=\"" + std::string(kValuesKey) + "\" param=\"V" + std::to_string(i) + "\" value=\"" +
           std::to_string(i) + "\"/>\n";
  return xml + "    </registry>\n  </component></components>\n</sx2project>\n";
}

class CrashSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    project_.Project(Project());
    for (int i = 0; i < kFiles; ++i)
      project_.Write("payload/core/part" + std::to_string(i % 3) + "/file" + std::to_string(i) + ".bin", Content(i));
    const SxbuildRun run = RunSxbuild({project_.path(), "-o", output_.path()});
    ASSERT_EQ(run.status, 0) << run.output;
  }

  std::unique_ptr<TempMachine> NewMachine() {
    auto machine = std::make_unique<TempMachine>();
    fs::create_directories(machine->HostPath("drive_c/setup"));
    fs::copy_file(output_ / "setup.exe", machine->HostPath("drive_c/setup/setup.exe"));
    fs::permissions(machine->HostPath("drive_c/setup/setup.exe"), fs::perms::owner_all);
    return machine;
  }

  // Starts the setup silently on the machine; its process.
  static pid_t Start(const TempMachine& machine) {
    const std::string program = machine.HostPath("drive_c/setup/setup.exe");
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("SX_MACHINE", machine.folder().c_str(), 1);
      unsetenv("SX_TRACE");
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      execl(program.c_str(), program.c_str(), "/s", static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The product's files on the machine: relative path -> content.
  static std::map<std::string, std::string> InstalledFiles(const TempMachine& machine) {
    std::map<std::string, std::string> files;
    const std::string root = machine.HostPath("drive_c/Crash");
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = ReadHostFile(entry.path().string());
    return files;
  }

  // What a crash may leave: payload files whole or missing, staged files under their temporary
  // names, the product's values all or none. "" when that holds.
  static std::string CheckAfterCrash(TempMachine& machine) {
    std::string problems;
    for (const auto& [name, content] : InstalledFiles(machine)) {
      const std::string file = fs::path(name).filename().string();
      if (file.rfind("~sx", 0) == 0 && fs::path(file).extension() == ".tmp") continue;
      if (file.rfind("file", 0) == 0) {
        const int number = std::atoi(file.c_str() + 4);
        if (content != Content(number)) problems += "half-written " + name + "; ";
      }
    }
    try {
      machine.Reopen();  // read back from the files, as the next process does
      const auto values = machine.host().RegEnumValues(host::RegRoot::kLocalMachine, "Software\\CrashTest");
      const size_t count = values ? values->size() : 0;
      if (count != 0 && count != static_cast<size_t>(kValues))
        problems += std::to_string(count) + " of the product's values; ";
    } catch (const std::exception& e) {
      problems += std::string("registry unreadable: ") + e.what() + "; ";
    }
    return problems;
  }

  ProjectFolder project_;
  ScratchFolder output_;
};

TEST_F(CrashSafety, KilledAnywhereTheNextRunRepairsAndCleansUp) {
  // Runs to the end tell how long an installation takes (the shorter of two: the first may pay for
  // cold caches); the kills land within the first three quarters of that.
  Clock::duration length = Clock::duration::max();
  for (int run = 0; run < 2; ++run) {
    auto machine = NewMachine();
    const auto start = Clock::now();
    ASSERT_EQ(Wait(Start(*machine)), 0);
    length = std::min(length, (Clock::now() - start) * 3 / 4);
    ASSERT_EQ(InstalledFiles(*machine).size(), kFiles + 3u) << "payload, Uninstall.exe, install.log and .sss";
  }
  std::mt19937 moments(20261207);
  std::uniform_int_distribution<long> delay(0, std::chrono::duration_cast<std::chrono::microseconds>(length).count());
  // Fifty kills must land while the installation runs. A run that ended before its kill (the
  // machine got faster than when it was measured) is checked all the same, and the later kills
  // come sooner.
  int killedWhileRunning = 0;
  for (int attempt = 0; killedWhileRunning < 50 && attempt < 100; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    auto machine = NewMachine();
    const long after = delay(moments);
    const pid_t pid = Start(*machine);
    std::this_thread::sleep_for(std::chrono::microseconds(after));
    kill(pid, SIGKILL);
    if (Wait(pid) == -1) {
      ++killedWhileRunning;
    } else {
      delay = std::uniform_int_distribution<long>(0, after * 3 / 4);
    }
    EXPECT_EQ(CheckAfterCrash(*machine), "") << "killed after " << after << " µs";

    // The next run installs everything and leaves no temporary folder behind, its own or the dead one's.
    EXPECT_EQ(Wait(Start(*machine)), 0);
    const auto files = InstalledFiles(*machine);
    for (int i = 0; i < kFiles; ++i) {
      auto found = files.find("part" + std::to_string(i % 3) + "/file" + std::to_string(i) + ".bin");
      EXPECT_TRUE(found != files.end() && found->second == Content(i)) << "file" << i;
    }
    machine->Reopen();
    const auto values = machine->host().RegEnumValues(host::RegRoot::kLocalMachine, "Software\\CrashTest");
    EXPECT_EQ(values ? values->size() : 0u, static_cast<size_t>(kValues));
    std::vector<std::string> temp;
    for (const auto& entry : fs::directory_iterator(machine->HostPath("drive_c/users/user/Temp")))
      temp.push_back(entry.path().filename().string());
    EXPECT_EQ(temp, std::vector<std::string>{});
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(killedWhileRunning, 50) << "kills that landed while the installation ran";
}

}  // namespace
}  // namespace sx::test
