// System services: OS version records, message boxes, persistent environment on both Windows
// families, temporary and shell folders, programs, file search, unique names, the main queue.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>
#include <chrono>
#include <thread>

#include "host/host_wrapper.h"
#include "util/environment.h"
#include "util/file_find.h"
#include "util/message_boxes.h"
#include "util/message_queue.h"
#include "util/os_version.h"
#include "util/run_program.h"
#include "util/system_folders.h"
#include "util/unique_name.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

TEST(OsVersion, KindsVersionTextsAndNames) {
  struct Case {
    const char* ini;
    TOSKind kind;
    const char* text;
    const char* name;
  } cases[] = {
      {"[System]\nPlatform=9x\nVersion=4.10.67766446\nServicePack= A \n", osWin98, "4.10", "Windows 98 4.10.2222 A"},
      {"[System]\nPlatform=9x\nVersion=4.90.3000\nServicePack=\n", osWinMe, "4.90", "Windows Me 4.90.3000"},
      {"[System]\nPlatform=9x\nVersion=4.0.950\nServicePack=\n", osWin95, "4.0", "Windows 95 4.0.0950"},
      {"[System]\nVersion=5.0.2195\nServicePack=Service Pack 4\n", osWin2000, "5.0", "Windows 2000 5.0.2195 Service Pack 4"},
      {"[System]\nVersion=5.1.2600\nServicePack=Service Pack 2\n", osWinXP, "5.01", "Windows XP 5.01.2600 Service Pack 2"},
      {"[System]\nVersion=4.0.1381\nServicePack=\n", osWinNT, "4.0", "Windows NT 4.0.1381"},
      {"[System]\nVersion=6.0.6000\nServicePack=\n", osWin2000, "6.0", "Windows 2000 6.0.6000"},
  };
  for (const auto& c : cases) {
    test::TempMachine machine(c.ini);
    TOSVersion v = OSVersion();
    EXPECT_EQ(v.Kind, c.kind) << c.ini;
    EXPECT_EQ(v.VersionText, c.text);
    EXPECT_EQ(v.Name, c.name);
  }
}

// Records the boxes shown and answers them all with one answer.
class RecordingHost : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override {
    boxes.push_back(std::string(title) + "|" + std::string(text) + "|" + std::to_string(style));
    return host::kIdOk;
  }
  std::vector<std::string> boxes;
};

TEST(MessageBoxes, StyleFlagsAndTitles) {
  test::TempMachine machine;
  RecordingHost recorder(machine.host());
  host::SetCurrentHost(&recorder);
  ShowErrorBox("bad");
  ShowWarningBox("careful");
  SetMessageTitle("My Product");
  ExtraBoxFlags = kMbSetForeground;
  ShowErrorBox("bad again");
  EXPECT_EQ(ShowMessageBox(0, "T", "question", 4), host::kIdOk);
  ExtraBoxFlags = 0;
  SetMessageTitle("");
  host::SetCurrentHost(&machine.host());
  EXPECT_EQ(recorder.boxes, (std::vector<std::string>{"Error|bad|8208", "Warning|careful|8240",
                                                      "My Product|bad again|73744", "T|question|73732"}));
}

TEST(Environment, NtWritesTheRegistryAndNineXWritesAutoexec) {
  {
    test::TempMachine machine;
    auto& host = machine.host();
    EXPECT_FALSE(SetEnvVar("", "x", true));
    ASSERT_TRUE(SetEnvVar("APPHOME", "C:\\App", true));
    ASSERT_TRUE(SetEnvVar("USERVAR", "1", false));
    auto v = host.RegQueryValue(host::RegRoot::kLocalMachine,
                                "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "APPHOME");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, host::kRegSz);
    EXPECT_EQ(v->data, std::string("C:\\App\0", 7));
    EXPECT_TRUE(host.RegQueryValue(host::RegRoot::kCurrentUser, "Environment", "USERVAR"));
    EXPECT_TRUE(SetEnvVar("USERVAR", "", false));
    EXPECT_FALSE(host.RegQueryValue(host::RegRoot::kCurrentUser, "Environment", "USERVAR"));
    EXPECT_EQ(GetEnvVar("APPHOME"), "");  // the running process is not changed
    EXPECT_EQ(GetEnvVar("windir"), "C:\\windows");
  }
  {
    test::TempMachine machine("[System]\nPlatform=9x\n");
    const std::string autoexec = machine.HostPath("drive_c/autoexec.bat");
    // No autoexec.bat yet: it is created with the single line.
    ASSERT_TRUE(SetEnvVar("PATH2", "C:\\BIN", true));
    EXPECT_EQ(test::ReadHostFile(autoexec), "SET PATH2=C:\\BIN\r\n");
    test::WriteHostFile(autoexec, "@ECHO OFF\nset path2=old\nSET PATH2 = older\nSET PATH22=keep\nREM end\n");
    ASSERT_TRUE(SetAutoexecVar("Path2", "new"));
    EXPECT_EQ(test::ReadHostFile(autoexec),
              "@ECHO OFF\r\nSET Path2=new\r\nSET Path2=new\r\nSET PATH22=keep\r\nREM end\r\n");
    ASSERT_TRUE(SetAutoexecVar("PATH2", ""));
    EXPECT_EQ(test::ReadHostFile(autoexec), "@ECHO OFF\r\nSET PATH22=keep\r\nREM end\r\n");
    // Nothing but autoexec.bat is left in C:\ by the rewrite.
    auto files = machine.host().FindFiles("C:\\*.bat");
    ASSERT_TRUE(files);
    EXPECT_EQ(files->size(), 1u);
  }
}

TEST(SystemFolders, TempFolderFallbackAndShellFolderFallback) {
  {
    test::TempMachine machine;
    auto& host = machine.host();
    EXPECT_EQ(GetTempFolder(), "C:\\users\\user\\Temp\\");
    ASSERT_TRUE(host.SetCurrentFolder("C:\\users\\user\\Temp"));
    EXPECT_EQ(GetTempFolder(), "C:\\Temp\\");  // the system named the current folder
    EXPECT_EQ(GetShellFolder(13), "C:\\users\\Public\\Desktop");
    ASSERT_TRUE(host.RegDeleteValue(host::RegRoot::kLocalMachine,
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                    "Common Desktop"));
    EXPECT_EQ(GetShellFolder(13), "C:\\users\\user\\Desktop");
    EXPECT_EQ(GetShellFolder(14), "");
    EXPECT_EQ(GetSpecialFolder(0x06), "C:\\users\\user\\Favorites");
    EXPECT_EQ(GetSystemFolder(), "C:\\windows\\system32");
  }
  {
    test::TempMachine machine("[System]\nPlatform=9x\n");
    ASSERT_TRUE(machine.host().SetCurrentFolder("C:\\users\\user\\Temp"));
    EXPECT_EQ(GetTempFolder(), "C:\\windows\\Temp\\");
  }
}

TEST(RunAndWait, ProgramsDocumentsAndTheSessionEnd) {
  test::TempMachine machine;
  test::WriteHostFile(machine.HostPath("drive_c/App/tool.exe"), "#!/bin/sh\nexit 7\n");
  test::WriteHostFile(machine.HostPath("drive_c/App/notes.txt"), "text");
  EXPECT_EQ(RunAndWait(0, "\"C:\\App\\tool.exe\"", "  a b  ", 1, "\"C:\\App\""), 7);
  EXPECT_EQ(RunAndWait(0, "C:\\App\\notes.txt", "", 1, ""), -1);  // no association
  EXPECT_EQ(RunAndWait(0, "C:\\App\\missing.exe", "", 1, ""), -1);
  test::WriteHostFile(machine.HostPath("drive_c/App/long.exe"), "#!/bin/sh\nsleep 10\n");
  std::thread ender([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    SessionEnding = true;
  });
  EXPECT_EQ(RunAndWait(0, "C:\\App\\long.exe", "", 1, ""), 0);
  ender.join();
  SessionEnding = false;
}

TEST(FileFind, AttributeFiltersAndErrors) {
  test::TempMachine machine;
  auto& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/p/a.dll"), "1");
  test::WriteHostFile(machine.HostPath("drive_c/p/b.dll"), "22");
  ASSERT_TRUE(host.CreateFolder("C:\\p\\c.dll"));
  ASSERT_TRUE(host.SetFileAttributes("C:\\p\\b.dll", host::kAttrReadOnly));
  std::vector<std::string> found;
  TSearchRecEx r;
  for (uint32_t rc = FindFirstMatch("C:\\p\\*.dll", 0, 24, r); rc == 0; rc = FindNextMatch(r))
    found.push_back(r.FullName + ":" + std::to_string(r.Size));
  FindCloseMatch(r);
  EXPECT_EQ(found, (std::vector<std::string>{"C:\\p\\a.dll:1", "C:\\p\\b.dll:2"}));
  EXPECT_EQ(FindFirstMatch("C:\\p\\*", host::kAttrReadOnly, 0, r), 0u);
  EXPECT_EQ(r.Name, "b.dll");
  EXPECT_NE(r.Time, 0u);
  EXPECT_EQ(FindNextMatch(r), host::kErrorNoMoreFiles);
  EXPECT_EQ(FindFirstMatch("C:\\p\\*.exe", 0, 0, r), host::kErrorFileNotFound);
  EXPECT_EQ(FindFirstMatch("C:\\none\\*", 0, 0, r), host::kErrorPathNotFound);
}

TEST(UniqueNames, ShapeAndCollisionsWithinOneHundredth) {
  test::TempMachine machine;
  std::string name = MakeUniqueName("C:\\windows\\temp", "sxlongprefix", ".exe", true);
  ASSERT_EQ(name.size(), 12u);
  EXPECT_EQ(name.substr(0, 4), "sxlo");
  EXPECT_EQ(name.substr(8), ".exe");
  for (char c : name.substr(4, 4)) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'V')) << name;
  // A name that exists is never given again, even within the same hundredth of a second.
  std::string first = MakeUniqueName("C:\\windows\\temp\\", "", "", true);
  ASSERT_EQ(first.size(), 8u);
  ASSERT_TRUE(machine.host().CreateFolder("C:\\windows\\temp\\" + first));
  std::string second = MakeUniqueName("C:\\windows\\temp\\", "", "", true);
  EXPECT_NE(first, second);
  EXPECT_EQ(MakeUniqueName("C:\\", "font", ".ttf", false).substr(0, 4), "font");
  // Names drawn in a row are distinct at once: nothing waits for the clock to move on.
  struct CountingSleeps : host::HostWrapper {
    using HostWrapper::HostWrapper;
    void Sleep(uint32_t milliseconds) override {
      ++sleeps;
      HostWrapper::Sleep(milliseconds);
    }
    int sleeps = 0;
  } counting(machine.host());
  host::Host* previous = host::SetCurrentHost(&counting);
  std::set<std::string> names;
  for (int i = 0; i < 500; ++i) {
    std::string next = MakeUniqueName("C:\\windows\\temp\\", "bk", ".tmp", true);
    EXPECT_TRUE(names.insert(next).second) << next;
    if (i % 50 == 0) {
      ASSERT_TRUE(counting.CreateFolder("C:\\windows\\temp\\" + next));
    }
  }
  host::SetCurrentHost(previous);
  EXPECT_EQ(counting.sleeps, 0);
}

TEST(MainThreadQueue, WorkFromAnotherThreadRunsOnTheMainThreadWhileItPumps) {
  SetMainThread();
  std::thread::id ranOn;
  bool raised = false;
  std::thread worker([&] {
    SendToMainThread([&] { ranOn = std::this_thread::get_id(); });
    try {
      SendToMainThread([] { throw std::runtime_error("from the main thread"); });
    } catch (const std::runtime_error&) {
      raised = true;
    }
    PostQuitMessage();
  });
  for (int i = 0; i < 5000 && !raised; ++i) PumpMessages();
  worker.join();
  PumpMessages();  // takes the quit message
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(raised);
}

TEST(MainThreadQueue, EachSenderWaitsForItsOwnTaskWhenATaskPumpsInside) {
  SetMainThread();
  std::atomic<bool> firstStarted{false}, secondRan{false}, firstEnded{false};
  bool firstSawItsEnd = false, secondSawItsTask = false;
  // The first task serves the queue itself (a modal loop) until the second sender's task ran:
  // the second task ends before the first, and neither sender may return before its own task.
  std::thread first([&] {
    SendToMainThread([&] {
      firstStarted = true;
      while (!secondRan) PumpMessages();
      firstEnded = true;
    });
    firstSawItsEnd = firstEnded;
  });
  std::thread second([&] {
    while (!firstStarted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    SendToMainThread([&] { secondRan = true; });
    secondSawItsTask = secondRan;
  });
  while (!firstEnded) PumpMessages();
  first.join();
  second.join();
  EXPECT_TRUE(firstSawItsEnd);
  EXPECT_TRUE(secondSawItsTask);
}

TEST(MainThreadQueue, PostedTasksRunInOrderWithSentOnesAndTheirErrorsReachTheWaiter) {
  SetMainThread();
  std::vector<int> order;  // written on the main thread only
  std::atomic<bool> finished{false};
  bool sawAllPosted = false, raisedOnce = false, raisedTwice = false;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) PostToMainThread([&order, i] { order.push_back(i); });
    // A sent task runs after everything posted before it.
    SendToMainThread([&] { order.push_back(100); });
    PostToMainThread([] { throw std::runtime_error("posted"); });
    PostToMainThread([&order] { order.push_back(101); });
    try {
      WaitForPostedTasks();
    } catch (const std::runtime_error&) {
      raisedOnce = true;
    }
    sawAllPosted = order.size() == 102;  // the waiter returns only after the last posted task
    try {
      WaitForPostedTasks();
    } catch (...) {
      raisedTwice = true;
    }
    finished = true;
  });
  while (!finished) PumpMessages();
  worker.join();
  std::vector<int> expected(102);
  for (int i = 0; i < 102; ++i) expected[i] = i;
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(sawAllPosted);
  EXPECT_TRUE(raisedOnce);
  EXPECT_FALSE(raisedTwice) << "an error is raised once";
}

}  // namespace
}  // namespace sx
