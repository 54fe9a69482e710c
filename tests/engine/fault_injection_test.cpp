// Fault injection over a whole product: the sample product is built with sxbuild, then installed
// silently in this process once for every mutating call the installation makes, that call failing
// with the error Windows gives for it. A run that fails must end with exit code -1 and an error
// box, and leave the machine exactly as it was (files with their bytes, attributes and times; the
// registry value by value, read back from its files; no temporary files, no session files). A run
// may also succeed: when the call was tried again (then the installation must be complete, as
// two runs without faults are alike), or when an item's failure was shown and passed over by
// design (a shortcut). A temporary folder whose removal failed at the end must be removed by the
// next run's start. The setup's own folder C:\setup\ is only read and left out of the pictures.
// The uninstaller is treated alike: failed at each of its calls in turn, it ends with -1 or
// complete, and run again (and after the restart for files that were in use) the machine is as
// it was before the installation.
//
// The product is the assembled Atlas sample (all kinds of changes: files, shared and
// self-registering libraries, a font, INI entries, registry values, an environment addition)
// unless SX_FAULT_PROJECT names another project folder (examples/hello runs fastest);
// SX_FAULT_CALL=N runs only the run whose call N fails.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/engine_state.h"
#include "engine/program.h"
#include "engine/run_lock.h"
#include "host/posix/posix_host.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "tests/install/fault_host.h"
#include "tests/packages/built_setup.h"
#include "tests/support/machine_snapshot.h"
#include "tests/support/temp_machine.h"
#include "uninstall/uninstall_run.h"
#include "util/message_boxes.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// SX_FAULT_CALL=N runs only the run that fails call N (to look at one fault closely).
std::pair<int, int> Calls(int total) {
  const char* only = std::getenv("SX_FAULT_CALL");
  if (!only || !*only) return {1, total};
  const int n = std::atoi(only);
  return {n, n};
}

std::string ProductFolder() {
  const char* chosen = std::getenv("SX_FAULT_PROJECT");
  return chosen && *chosen ? chosen : SX_ATLAS_PROJECT;
}

// The fault host that also keeps the message boxes the run showed.
class FaultRecorder : public FaultHost {
 public:
  using FaultHost::FaultHost;
  std::vector<std::string> boxes;
  bool errorShown = false;
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override {
    boxes.push_back(std::string(title) + ": " + std::string(text));
    errorShown = errorShown || (style & 0xF0) == 0x10;
    return FaultHost::MessageBox(title, text, style);
  }
};

// The machine folder outside its drives: registry files, announced sessions, settings. The lock
// files of the registry and of named mutexes stay by design (removing a lock file is racy).
std::vector<std::string> MachineFolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = fs::relative(it->path(), folder).string();
    if (name.rfind("drive_", 0) == 0 || name.rfind("dosdevices", 0) == 0 || name.rfind("mutexes", 0) == 0) {
      it.disable_recursion_pending();
      continue;
    }
    if (name == "sessions" || it->path().extension() == ".lock") continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The snapshot with the uninstall entries of HKCU counted as HKLM's: the engine writes the entry
// under HKCU when HKLM refuses it.
MachineSnapshot UninstallEntryInOneRoot(const MachineSnapshot& snapshot) {
  static const std::string user = "hkcu\\software\\microsoft\\windows\\currentversion\\uninstall\\";
  MachineSnapshot moved;
  for (const auto& [name, what] : snapshot.entries) {
    if (name == "key " + user.substr(0, user.size() - 1)) continue;  // the user's list itself
    std::string key = name;
    const size_t at = key.find(user);
    if (at != std::string::npos) key.replace(at, 4, "hklm");
    moved.entries[key] = what;
  }
  return moved;
}

struct MachineState {
  MachineSnapshot snapshot;
  std::vector<std::string> machineFiles;
};

class FaultInjection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A thousand runs each flush the registry with fsync: their machines live in memory where
    // the system has a memory file system.
    if (fs::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0) {
      const char* previous = std::getenv("TMPDIR");
      previousTmp_ = previous ? previous : "";
      hadTmp_ = previous != nullptr;
      setenv("TMPDIR", "/dev/shm", 1);
    }
    output_ = new ScratchFolder;
    const SxbuildRun run = RunSxbuild({ProductFolder(), "-o", output_->path()});
    ASSERT_EQ(run.status, 0) << run.output;
    for (const auto& entry : fs::directory_iterator(output_->path()))
      if (entry.path().extension() == ".exe") setupName_ = entry.path().filename().string();
    ASSERT_FALSE(setupName_.empty());
  }
  static void TearDownTestSuite() {
    delete output_;
    output_ = nullptr;
    if (hadTmp_)
      setenv("TMPDIR", previousTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

  // A fresh machine with the built setup in C:\setup\.
  static std::unique_ptr<TempMachine> NewMachine() {
    auto machine = std::make_unique<TempMachine>();
    fs::create_directories(machine->HostPath("drive_c/setup"));
    for (const auto& entry : fs::directory_iterator(output_->path()))
      fs::copy_file(entry.path(), machine->HostPath("drive_c/setup/" + entry.path().filename().string()));
    // Windows keeps its list of shared files from the start; a product adds to it, never owns it.
    machine->host().RegCreateKey(host::RegRoot::kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
    machine->Reopen();
    return machine;
  }

  // The machine as the next process would see it: its registry read back from its files.
  static MachineState State(TempMachine& machine) {
    machine.Reopen();
    return {TakeSnapshot({"C:\\"}, {"C:\\setup\\"}), MachineFolderEntries(machine.folder())};
  }
  static std::string Difference(const MachineState& before, const MachineState& after,
                                const std::set<std::string>& ignored = {}) {
    MachineSnapshot expected = UninstallEntryInOneRoot(before.snapshot), found = UninstallEntryInOneRoot(after.snapshot);
    for (const std::string& name : ignored) {
      if (expected.entries.count(name) && found.entries.count(name)) expected.entries[name] = found.entries[name];
    }
    std::string difference = SnapshotDifference(expected, found);
    if (before.machineFiles != after.machineFiles)
      difference += "machine folder: " + ::testing::PrintToString(after.machineFiles) + "\n";
    return difference;
  }

  // Two failures end the installation without a message of their own, by design: a program with
  // its exit code checked that cannot be started (as if it had returned an error), and an
  // environment variable that cannot be set.
  static bool FailsWithoutMessage(const std::string& failedCall) {
    // A registry call names its key, two backslashes, then the value: "...\Environment\\PATH".
    return failedCall.starts_with("CreateProcess ") ||
           (failedCall.starts_with("RegSetValue ") && failedCall.find("Environment\\\\") != std::string::npos);
  }

  // Files the uninstaller rewrote to their former bytes (an INI file the machine had, with the
  // product's entries taken out again): only their write time tells them apart.
  static std::set<std::string> Rewritten(const MachineState& before, const MachineState& after) {
    static const std::regex written("written [0-9]+");
    std::set<std::string> names;
    for (const auto& [name, what] : after.snapshot.entries) {
      const auto it = before.snapshot.entries.find(name);
      if (name.starts_with("file ") && it != before.snapshot.entries.end() && it->second != what &&
          std::regex_replace(it->second, written, "") == std::regex_replace(what, written, ""))
        names.insert(name);
    }
    return names;
  }

  // Runs the setup silently in this process over `faults`.
  static int Install(TempMachine& machine, FaultRecorder& faults) {
    host::SetCurrentHost(&faults);
    EngineState() = TEngineState{};
    SetMessageTitle("");
    int code;
    {
      TEngineContext engine;
      code = RunProgram({"/s", "/exename:C:\\setup\\" + setupName_});
    }
    faults.counting = false;
    EngineState() = TEngineState{};
    SetMessageTitle("");
    ExtraBoxFlags = 0;
    host::SetCurrentHost(&machine.host());
    return code;
  }

  // The uninstaller's program and log as the product's uninstall entry names them.
  struct UninstallCommand {
    std::string program, log;
  };
  static UninstallCommand FindUninstallCommand() {
    auto& host = host::CurrentHost();
    auto keys = host.RegEnumKeys(host::RegRoot::kLocalMachine, kUninstallKey);
    if (!keys) return {};
    for (const std::string& key : *keys) {
      auto value = host.RegQueryValue(host::RegRoot::kLocalMachine, std::string(kUninstallKey) + "\\" + key,
                                      "UninstallString");
      if (!value) continue;
      // "C:\...\Uninstall.exe" "C:\...\install.log"
      std::vector<std::string> words;
      const std::string text = value->data.c_str();
      for (size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at + 1)) {
        const size_t end = text.find('"', at + 1);
        if (end == std::string::npos) break;
        words.push_back(text.substr(at + 1, end - at - 1));
        at = end;
      }
      if (words.size() == 2) return {words[0], words[1]};
    }
    return {};
  }

  // Runs the uninstaller silently in this process over `faults`; after a complete run, removes
  // the running program (and its folder) as its batch file would once it has ended.
  static TUninstallOutcome Uninstall(TempMachine& machine, FaultRecorder& faults, const UninstallCommand& command) {
    host::SetCurrentHost(&faults);
    IniCloseAll();
    TUninstallOptions options;
    options.silent = true;
    options.selfPath = command.program;
    TUninstallOutcome outcome = RunUninstall(command.log, options);
    faults.counting = false;
    IniCloseAll();
    host::SetCurrentHost(&machine.host());
    if (outcome.removeSelf) {
      machine.host().DeleteFile(command.program);
      for (const std::string& folder : outcome.foldersAfterSelf) machine.host().RemoveFolder(folder);
    }
    return outcome;
  }

  static ScratchFolder* output_;
  static std::string setupName_;
  static std::string previousTmp_;
  static bool hadTmp_;
};

ScratchFolder* FaultInjection::output_ = nullptr;
std::string FaultInjection::setupName_;
std::string FaultInjection::previousTmp_;
bool FaultInjection::hadTmp_ = false;

TEST_F(FaultInjection, EveryFailedCallOfAnInstallationEndsItAndRollsBackCompletely) {
  // Two runs without faults: what differs between them (dates, temporary names) says what a
  // complete installation may have of its own.
  int total = 0;
  MachineState installed;
  std::set<std::string> varying;
  for (int reference = 0; reference < 2; ++reference) {
    auto machine = NewMachine();
    const MachineState before = State(*machine);
    FaultRecorder faults(machine->host());
    ASSERT_EQ(Install(*machine, faults), 0) << ::testing::PrintToString(faults.boxes);
    total = faults.mutations;
    EXPECT_FALSE(FindUninstallCommand().program.empty()) << "the product is registered";
    MachineState after = State(*machine);
    EXPECT_NE(Difference(before, after), "");
    if (reference == 1)
      for (const auto& [name, what] : after.snapshot.entries)
        if (installed.snapshot.entries[name] != what) varying.insert(name);
    installed = std::move(after);
  }
  // The uninstall entry's InstallDate is the day of the run: runs after midnight write another.
  for (const auto& [name, what] : installed.snapshot.entries)
    if (name.ends_with("\\installdate")) varying.insert(name);
  ASSERT_GT(total, 20) << "the run makes its changes through the failing host";
  std::printf("[ fault injection ] %d mutating calls in the installation\n", total);

  std::vector<std::string> faults;
  int retried = 0, reported = 0, cleanedLater = 0;
  const auto [first, last] = Calls(total);
  for (int n = first; n <= last; ++n) {
    auto machine = NewMachine();
    const MachineState before = State(*machine);
    FaultRecorder host(machine->host());
    host.failAt = n;
    const int code = Install(*machine, host);
    // The next run's start removes what a temporary folder kept when its removal failed.
    if (RemoveDeadRunFolders() > 0) ++cleanedLater;
    const MachineState after = State(*machine);
    std::string fault;
    if (code == 0 && host.errorShown) {
      // An item whose failure is shown and passed over (a shortcut, say): the user was told.
      ++reported;
    } else if (code == 0) {
      // The call was tried again and succeeded, or the uninstall entry went to HKCU when HKLM
      // refused it: then the installation must be complete.
      ++retried;
      const std::string difference = Difference(installed, after, varying);
      if (!difference.empty()) fault = " succeeded incomplete: " + difference;
    } else {
      if (code != -1) fault += " exit code " + std::to_string(code) + ";";
      if (!host.errorShown && !FailsWithoutMessage(host.failedCall)) fault += " no error box;";
      const std::string difference = Difference(before, after);
      if (!difference.empty()) fault += " left: " + difference.substr(0, 400);
    }
    if (!fault.empty())
      faults.push_back("call " + std::to_string(n) + " " + host.failedCall + ":" + fault + " boxes " +
                       ::testing::PrintToString(host.boxes));
  }
  std::printf("[ fault injection ] %d of them retried with success, %d reported and passed over; %d left a temporary "
              "folder that the next run removed\n", retried, reported, cleanedLater);
  std::string report;
  for (const std::string& fault : faults) report += fault + "\n";
  EXPECT_TRUE(faults.empty()) << faults.size() << " of " << total << " failed calls were mishandled:\n" << report;
}

TEST_F(FaultInjection, EveryFailedCallOfTheUninstallerStopsItAndASecondRunFinishes) {
  int total = 0;
  {
    auto machine = NewMachine();
    const MachineState before = State(*machine);
    FaultRecorder installing(machine->host());
    installing.counting = false;
    ASSERT_EQ(Install(*machine, installing), 0);
    const UninstallCommand command = FindUninstallCommand();
    ASSERT_FALSE(command.program.empty());
    FaultRecorder faults(machine->host());
    EXPECT_EQ(Uninstall(*machine, faults, command).result, TUninstallResult::kDone);
    total = faults.mutations;
    const MachineState after = State(*machine);
    EXPECT_EQ(Difference(before, after, Rewritten(before, after)), "");
  }
  ASSERT_GT(total, 5);
  std::printf("[ fault injection ] %d mutating calls in the uninstallation\n", total);
  std::vector<std::string> faults;
  const auto [first, last] = Calls(total);
  for (int n = first; n <= last; ++n) {
    auto machine = NewMachine();
    const MachineState before = State(*machine);
    FaultRecorder installing(machine->host());
    installing.counting = false;
    ASSERT_EQ(Install(*machine, installing), 0);
    const UninstallCommand command = FindUninstallCommand();
    FaultRecorder host(machine->host());
    host.failAt = n;
    const TUninstallOutcome outcome = Uninstall(*machine, host, command);
    std::string fault;
    if (outcome.result != TUninstallResult::kDone) {
      if (UninstallExitCode(outcome) != -1) fault += " exit code " + std::to_string(UninstallExitCode(outcome)) + ";";
      // Run again; what was left for the next start (files in use) goes with the reboot.
      FaultRecorder again(machine->host());
      again.counting = false;
      Uninstall(*machine, again, command);
      host::PerformReboot(machine->host(), [](const std::string&) {});
    }
    const MachineState after = State(*machine);
    const std::string difference = Difference(before, after, Rewritten(before, after));
    if (!difference.empty()) fault += " left: " + difference.substr(0, 400);
    if (!fault.empty())
      faults.push_back("call " + std::to_string(n) + " " + host.failedCall + ":" + fault + " boxes " +
                       ::testing::PrintToString(host.boxes));
  }
  std::string report;
  for (const std::string& fault : faults) report += fault + "\n";
  EXPECT_TRUE(faults.empty()) << faults.size() << " of " << total << " failed calls were mishandled:\n" << report;
}

}  // namespace
}  // namespace sx::test
