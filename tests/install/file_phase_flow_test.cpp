// The flow of the file phase on its thread: aborts, suspension, further cabinets, progress, and
// failures that must leave the machine as it was.
#include <chrono>
#include <random>
#include <thread>

#include "install/copy_thread.h"
#include "platform/reg_paths.h"
#include "tests/support/random_bytes.h"
#include "tests/install/file_phase_fixture.h"

namespace sx::test {
namespace {

// Compressible text: a damaged deflate stream of it cannot be decoded.
std::string Words(size_t size) {
  std::mt19937 random(7);
  static const char* const kWords[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon ", "zeta ", "eta\n"};
  std::string text;
  while (text.size() < size) text += kWords[random() % 7];
  text.resize(size);
  return text;
}

constexpr char kFiveFiles[] = R"(<sx2project><components><component id="C1"><files>
    <file src="*.txt" dst="C:\App\"/></files></component></components></sx2project>)";
const std::map<std::string, std::string> kFivePayload{{"payload/C1/1.txt", "one"},   {"payload/C1/2.txt", "two"},
                                                      {"payload/C1/3.txt", "three"}, {"payload/C1/4.txt", "four"},
                                                      {"payload/C1/5.txt", "five"}};

class FilePhaseFlow : public FilePhaseTest {};

TEST(ProgressPercent, RoundsHalvesToEvenAndStaysWithinBounds) {
  EXPECT_EQ(ProgressPercent(1, 2), 50);
  EXPECT_EQ(ProgressPercent(1, 8), 12);   // 12.5
  EXPECT_EQ(ProgressPercent(3, 8), 38);   // 37.5
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 67);
  EXPECT_EQ(ProgressPercent(0, 0), 100) << "an empty file is complete";
  EXPECT_EQ(ProgressPercent(7, 5), 100) << "bytes beyond the total never pass 100";
  EXPECT_EQ(ProgressPercent(0, 5), 0);
}

TEST_F(FilePhaseFlow, AbortAtTheSecondAfterEventStopsAtOnceAndRollsBack) {
  Build(kFiveFiles, kFivePayload);
  const MachineSnapshot before = Snapshot();
  int afters = 0;
  services.onEvent = [&](int number, std::intptr_t, std::intptr_t) -> std::intptr_t {
    if (number == EV_AFTERPROCESSITEM && ++afters == 2) services.SetAborted(true);  // CM_ABORTINSTALL
    return 0;
  };
  EXPECT_FALSE(Run());
  EXPECT_EQ(services.Events("before").size(), 2u) << "no further file is started";
  EXPECT_EQ(services.events.back(), "abort");
  EXPECT_TRUE(services.CallsStartingWith("box").empty()) << "an abort shows no error";
  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(FilePhaseFlow, SuspendedInsideItsOwnEventTheThreadWaitsUntilResumedOrAborted) {
  Build(kFiveFiles, kFivePayload);
  std::thread resumer;
  std::atomic<int> atSuspend{-1}, atResume{-1};
  services.onEvent = [&](int number, std::intptr_t, std::intptr_t) -> std::intptr_t {
    if (number == EV_AFTERPROCESSITEM && atSuspend < 0) {
      SuspendInstallThread();
      atSuspend = services.eventCount.load();
      resumer = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        atResume = services.eventCount.load();
        ResumeInstallThread();
      });
    }
    return 0;
  };
  ASSERT_TRUE(Run());
  resumer.join();
  EXPECT_EQ(atResume.load(), atSuspend.load()) << "nothing happened while suspended";
  EXPECT_EQ(services.Events("after").size(), 5u);
  EXPECT_EQ(Tree("C:\\App").size(), 5u);

  // An abort releases a suspended thread.
  list().RollbackAll();
  services.onEvent = [&](int number, std::intptr_t, std::intptr_t) -> std::intptr_t {
    if (number == EV_AFTERPROCESSITEM) {
      SuspendInstallThread();
      resumer = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        services.SetAborted(true);
      });
      services.onEvent = nullptr;
    }
    return 0;
  };
  EXPECT_FALSE(Run());
  resumer.join();
  EXPECT_FALSE(InstallThreadSuspended()) << "the end of the phase lifts the suspension";
}

TEST_F(FilePhaseFlow, FurtherCabinetsAreAskedForWhenNotBesideThePackage) {
  Build(R"(<sx2project>
      <packages><package id="big" filename="big"/></packages>
      <components><component id="C1" package="big"><files><file src="*.bin" dst="C:\App\"/></files></component>
      </components></sx2project>)",
        {{"payload/C1/a.bin", RandomBytes(60000, 1)}, {"payload/C1/b.bin", RandomBytes(60000, 2)}},
        {"--max-cabinet-size", "32K"});
  ScratchFolder elsewhere;
  std::vector<std::string> moved;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(OutPath("big.sxp")).parent_path()))
    // The further package's cabinets only (the main package, which carries the terminal wizard,
    // spans cabinets of its own).
    if (entry.path().extension() == ".cab" && entry.path().filename().string().rfind("big", 0) == 0) {
      std::filesystem::rename(entry.path(), elsewhere / entry.path().filename().string());
      moved.push_back(entry.path().filename().string());
    }
  ASSERT_FALSE(moved.empty());

  // Not answered: the installation is aborted, saying which file is missing.
  EXPECT_FALSE(Run());
  EXPECT_EQ(services.Events("getpackage").size(), 1u);
  EXPECT_TRUE(services.abortFlag);
  const auto boxes = services.CallsStartingWith("box File not found: File \"big-2.cab\" was not found");
  EXPECT_EQ(boxes.size(), 1u) << ::testing::PrintToString(services.calls);
  list().RollbackAll();

  // Answered with the folder that holds them.
  services.abortFlag = false;
  services.events.clear();
  const std::string folder = Win(elsewhere.path());
  services.onEvent = [&](int number, std::intptr_t, std::intptr_t param2) -> std::intptr_t {
    if (number != EV_GETPACKAGE) return 0;
    std::snprintf(reinterpret_cast<char*>(param2), SX_PACKAGE_FOLDER_SIZE, "%s", folder.c_str());
    return 1;
  };
  ASSERT_TRUE(Run()) << ::testing::PrintToString(services.calls);
  // The library looks for the next cabinet where it found the last one.
  EXPECT_EQ(services.Events("getpackage").size(), 1u);
  EXPECT_EQ(ReadFile("C:\\App\\b.bin").size(), 4096u) << "ReadFile reads the first 4 KB";
}

TEST_F(FilePhaseFlow, FailedBackupLeavesTheFileAndAbortsWithItsPath) {
  Build(kFiveFiles, kFivePayload);
  CreateFolderPath("C:\\App");
  ASSERT_TRUE(WriteFile("C:\\App\\3.txt", "precious"));
  host::FileTime old{116444736000000000ull};  // 1970: older than the packed file
  ASSERT_TRUE(host().SetFileTimes("C:\\App\\3.txt", nullptr, nullptr, &old));
  services.database->TempBackupPath = "C:\\nowhere\\";
  services.strings[11] = "Cannot write %s.";
  EXPECT_FALSE(Run());
  EXPECT_EQ(ReadFile("C:\\App\\3.txt"), "precious");
  EXPECT_EQ(services.CallsStartingWith("error"), (std::vector<std::string>{"error Cannot write C:\\App\\3.txt."}));
  EXPECT_TRUE(services.abortFlag);
  EXPECT_EQ(services.Events("before").size(), 3u) << "nothing after the failed file";
}

TEST_F(FilePhaseFlow, EmptyFilesAreCompleteAndADamagedPackageNamesTheEntryBeingExtracted) {
  Build(R"(<sx2project>
      <packages><package id="p2" filename="second"/></packages>
      <components>
        <component id="C1"><files><file src="empty.txt" dst="C:\App\empty.txt"/></files></component>
        <component id="C2" package="p2"><files><file src="*.*" dst="C:\App\"/></files></component>
      </components></sx2project>)",
        {{"payload/C1/empty.txt", ""}, {"payload/C2/small.txt", "small"}, {"payload/C2/big.bin", Words(300000)}});
  ASSERT_TRUE(Run());
  for (size_t i = 0; i < services.events.size(); ++i)
    if (services.events[i] == "process 0 C:\\App\\empty.txt") {
      EXPECT_EQ(services.events[i - 2].substr(0, 13), "progress 100 ") << "an empty file is complete at once";
      EXPECT_EQ(services.events[i + 1], "after C:\\App\\empty.txt");
    }
  list().RollbackAll();

  // Damage the middle of the second package's data: the failure names the entry it hit.
  const std::string path = OutPath("second.sxp");
  std::string bytes = ReadHostFile(path);
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] = static_cast<char>(~bytes[i]);
  WriteHostFile(path, bytes);
  services.strings[11] = "Cannot write %s.";
  services.calls.clear();
  EXPECT_FALSE(Run());
  const auto boxes = services.CallsStartingWith("box Error");
  ASSERT_EQ(boxes.size(), 1u) << ::testing::PrintToString(services.calls);
  EXPECT_NE(boxes[0].find("big.bin"), std::string::npos) << boxes[0];
}

TEST_F(FilePhaseFlow, ANameThatExpandsOutOfTheDestinationIsNeverWritten) {
  Build(R"(<sx2project>
      <variables><var name="Up" value="..\..\windows\evil"/></variables>
      <components><component id="C1"><files><file src="*.txt" dst="C:\App\sub\"/></files></component></components>
    </sx2project>)",
        {{"payload/C1/%Up%.txt", "escape"}});
  services.strings[11] = "Cannot write %s.";
  const MachineSnapshot before = Snapshot();
  EXPECT_FALSE(Run());
  EXPECT_EQ(services.CallsStartingWith("error Cannot write C:\\App\\sub\\..\\..\\windows\\evil.txt.").size(), 1u)
      << ::testing::PrintToString(services.calls);
  EXPECT_FALSE(Exists("C:\\windows\\evil.txt"));
  EXPECT_TRUE(services.abortFlag);
  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

TEST_F(FilePhaseFlow, AnErrorRaisedDuringTheCopyIsRaisedAgainOnTheCallingThread) {
  Build(R"(<sx2project><components><component id="C1"><files>
      <file src="1.txt" dst="C:\App\1.txt"/>
      <file src="2.txt" dst="C:\App\2.txt" condition="broken("/>
    </files></component></components></sx2project>)",
        {{"payload/C1/1.txt", "one"}, {"payload/C1/2.txt", "two"}});
  ConditionHook = [&](const std::string& condition, int) -> bool {
    if (condition == "broken(") throw std::runtime_error("syntax error in a condition");
    return true;
  };
  EXPECT_THROW(Run(), std::runtime_error);
  EXPECT_EQ(ReadFile("C:\\App\\1.txt"), "one");
  list().RollbackAll();
  EXPECT_FALSE(Exists("C:\\App\\1.txt"));

  // The same from the handler of an event that was posted (no answer awaited): the copy thread
  // learns of it before it writes the next file.
  ConditionHook = [](const std::string&, int) { return true; };
  services.onEvent = [&](int number, std::intptr_t, std::intptr_t) -> std::intptr_t {
    if (number == EV_AFTERPROCESSITEM) throw std::runtime_error("from a handler");
    return 0;
  };
  EXPECT_THROW(Run(), std::runtime_error);
  EXPECT_FALSE(Exists("C:\\App\\2.txt"));
  list().RollbackAll();
  EXPECT_FALSE(Exists("C:\\App\\1.txt"));
}

TEST_F(FilePhaseFlow, AFaultAtAnyChangeOfARunIsRolledBackCompletely) {
  std::map<std::string, std::string> payload;
  std::string files;
  for (int i = 0; i < 20; ++i) {
    payload["payload/C1/f" + std::to_string(i) + ".txt"] = "new " + std::to_string(i);
  }
  Build(R"(<sx2project><components><component id="C1"><files>
      <file dst="C:\App\*.old" action="remove"/>
      <file src="f1*.txt" dst="C:\App\" flags="shared,no_version"/>
      <file src="*.txt" dst="C:\App\sub\" flags="no_version"/>
    </files></component></components></sx2project>)",
        payload);
  CreateFolderPath("C:\\App\\sub");
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(WriteFile("C:\\App\\r" + std::to_string(i) + ".old", "remove me"));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(WriteFile("C:\\App\\sub\\f" + std::to_string(i) + ".txt", "replace me"));
  ASSERT_TRUE(WriteFile("C:\\App\\f10.txt", "shared before"));
  const MachineSnapshot before = Snapshot();
  bool succeeded = false;
  for (int n = 1; n < 1000 && !succeeded; ++n) {
    SCOPED_TRACE(n);
    list().Clear();
    services.abortFlag = false;
    faults.mutations = 0;
    faults.failAt = n;
    succeeded = Run();
    faults.failAt = 0;
    list().RollbackAll();
    IniCloseAll();
    ASSERT_EQ(SnapshotDifference(before, Snapshot()), "") << "failing change " << n;
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GT(faults.mutations, 40) << "the run makes its changes through the failing host";
}

}  // namespace
}  // namespace sx::test
