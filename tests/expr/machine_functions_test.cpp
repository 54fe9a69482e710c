// The functions that look at the machine, each on a throw-away machine folder: files with and
// without version resources, file dates and sizes, renames, registry values of every type, user
// rights, the .NET runtime class, and questions with their answer cache.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "expr/file_version.h"
#include "expr/sx_evaluator.h"
#include "host/host_wrapper.h"
#include "tests/expr/expr_test_support.h"
#include "tests/support/temp_machine.h"
#include "util/message_boxes.h"

namespace sx {
namespace {

using host::RegRoot;
using host::RegValue;

const std::string kFixtures = SX_FIXTURES_DIR;

class MachineFunctions : public test::EvaluatorTest {
 protected:
  void WriteC(const std::string& relative, const std::string& content) {
    test::WriteHostFile(machine.HostPath("drive_c/" + relative), content);
  }
  // Sets a file's last-write time to a local date and time.
  void SetLocalWriteTime(const std::string& path, host::SystemTime local) {
    auto& host = machine.host();
    const host::FileTime utc = host.LocalToUtc(host::SystemTimeToFileTime(local));
    ASSERT_TRUE(host.SetFileTimes(path, nullptr, nullptr, &utc));
  }
};

TEST_F(MachineFunctions, FileVersionFromTheVersionResource) {
  WriteC("windows/system32/lz32.dll", test::ReadHostFile(kFixtures + "/pe/lz32.dll"));
  WriteC("windows/system32/icmp.dll", test::ReadHostFile(kFixtures + "/pe/icmp.dll"));
  WriteC("notes.txt", "MZ but not a program");
  EXPECT_EQ(Eval("FileVersion('C:\\Windows\\System32\\LZ32.DLL')"), "5.1.2600.2180");
  EXPECT_EQ(Eval("FileVersion('C:\\windows\\system32\\icmp.dll')"), "0");
  EXPECT_EQ(Eval("FileVersion('C:\\notes.txt')"), "0");
  EXPECT_EQ(Eval("FileVersion('C:\\missing.dll')"), "0");
  EXPECT_EQ(Eval("FileVersion('C:\\windows')"), "0");
  EXPECT_EQ(Eval("CompareVersion(FileVersion('C:\\windows\\system32\\lz32.dll'), '5.1.2600.0')"),
            "1");
}

TEST_F(MachineFunctions, DamagedImagesHaveNoVersion) {
  const std::string image = test::ReadHostFile(kFixtures + "/pe/lz32.dll");
  ASSERT_GT(image.size(), 0x2100u);
  // Cut short anywhere, the image gives no version (and nothing is read past its end).
  for (size_t length : {size_t{0}, size_t{2}, size_t{0x40}, size_t{0x100}, size_t{0x400},
                        size_t{0x2000}, size_t{0x2090}}) {
    WriteC("cut.dll", image.substr(0, length));
    EXPECT_FALSE(ReadFileVersion("C:\\cut.dll")) << length;
  }
  // Every header and resource byte set to 0xFF in turn: no read outside the file, and the
  // version is either the right one or none.
  int versions = 0, none = 0;
  for (size_t offset = 0; offset < 0x2100; offset += 3) {
    std::string damaged = image;
    damaged[offset] = static_cast<char>(0xFF);
    WriteC("damaged.dll", damaged);
    const auto version = ReadFileVersion("C:\\damaged.dll");
    if (!version) {
      ++none;
      continue;
    }
    ++versions;
    if (offset < 0x2080 || offset >= 0x2090) {
      EXPECT_EQ(version->MostSignificant, 0x50001u) << offset;
    }
  }
  EXPECT_GT(versions, 0);
  EXPECT_GT(none, 0);
}

TEST_F(MachineFunctions, FileDateInLocalTimeWithTwoSecondSteps) {
  WriteC("app/app.exe", "x");
  SetLocalWriteTime("C:\\app\\app.exe", {2021, 3, 0, 4, 5, 6, 7, 0});
  EXPECT_EQ(Eval("FileDate('C:\\app\\app.exe')"), "03/04/2021 05:06:06");
  EXPECT_EQ(Eval("FileDate('C:\\app\\missing.exe')"), "12/30/1899 00:00:00");
  EXPECT_EQ(Eval("FileDate('C:\\app')"), "12/30/1899 00:00:00");
  // What FileDate writes, CompareDate reads.
  EXPECT_EQ(Eval("CompareDate(FileDate('C:\\app\\app.exe'), '03/04/2021 05:06:06')"), "0");
  EXPECT_EQ(Eval("CompareDate(FileDate('C:\\app\\app.exe'), '03/05/2021')"), "-1");
  EXPECT_EQ(Eval("CompareDate(FileDate('C:\\app\\app.exe'), '12/31/2020 23:59')"), "1");
  EXPECT_EQ(Eval("CompareDate(FileDate('C:\\nothing'), '12/30/1899')"), "0");
  EXPECT_EQ(ErrorOf("CompareDate('2021-03-04', '03/04/2021')"),
            "'2021-03-04' is not a valid date and time");
  EXPECT_EQ(ErrorOf("CompareDate('03/04/2021', '')"), "'' is not a valid date and time");
  EXPECT_THROW(Eval("CompareDate('31/12/2020', '1/1/2020')"), EConvertError);
}

TEST_F(MachineFunctions, FilesAndFolders) {
  WriteC("app/data.bin", std::string(1234, 'd'));
  WriteC("app/readme.txt", "hello");
  services.DefineVariable("SysDir", "C:\\windows\\system32");
  WriteC("windows/system32/kernel32.dll", "k");
  EXPECT_EQ(Eval("FileExists('%SysDir%\\kernel32.dll')"), "1");
  EXPECT_EQ(Eval("FileExists('C:\\APP\\DATA.BIN')"), "1");
  EXPECT_EQ(Eval("FileExists('C:\\app')"), "0");
  EXPECT_EQ(Eval("FileExists('C:\\app\\none')"), "0");
  EXPECT_EQ(Eval("FolderExists('C:\\app')"), "1");
  EXPECT_EQ(Eval("FolderExists('C:\\app\\')"), "1");
  EXPECT_EQ(Eval("FolderExists('C:\\app\\data.bin')"), "0");
  EXPECT_EQ(Eval("FolderExists('Q:\\app')"), "0");
  EXPECT_EQ(Eval("FileSize('C:\\app\\data.bin')"), "1234");
  EXPECT_EQ(Eval("FileSize('C:\\app\\*.txt')"), "5");
  EXPECT_EQ(Eval("FileSize('C:\\app\\none')"), "-1");
  ASSERT_TRUE(machine.host().SetCurrentFolder("C:\\app"));
  EXPECT_EQ(Eval("FileSize('readme.txt')"), "5");
}

TEST_F(MachineFunctions, RenameFileLogsOnlyWhatItRenamed) {
  WriteC("app/a.tmp", "a");
  WriteC("app/b.tmp", "b");
  WriteC("app/taken.txt", "someone else's");
  EXPECT_EQ(Eval("RenameFile('C:\\app\\a.tmp', 'C:\\app\\a.txt', 1)"), "1");
  EXPECT_EQ(Eval("RenameFile('C:\\app\\b.tmp', 'C:\\app\\b.txt', 0)"), "1");
  // The target exists: nothing moves, and nothing is logged for uninstall to remove.
  EXPECT_EQ(Eval("RenameFile('C:\\app\\b.txt', 'C:\\app\\taken.txt', 1)"), "1");
  EXPECT_EQ(Eval("RenameFile('C:\\app\\none', 'C:\\app\\new.txt', 1)"), "1");
  EXPECT_EQ(services.calls, (std::vector<std::string>{"LogInstalledFile C:\\app\\a.txt"}));
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/app/a.txt")), "a");
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/app/b.txt")), "b");
  EXPECT_EQ(test::ReadHostFile(machine.HostPath("drive_c/app/taken.txt")), "someone else's");
}

TEST_F(MachineFunctions, RegistryValuesOfEveryType) {
  auto& host = machine.host();
  const std::string key = "Software\\Example";
  ASSERT_TRUE(host.RegCreateKey(RegRoot::kLocalMachine, key));
  using std::string_literals::operator""s;
  host.RegSetValue(RegRoot::kLocalMachine, key, "Path", RegValue{host::kRegSz, "C:\\App\0"s});
  host.RegSetValue(RegRoot::kLocalMachine, key, "Expand",
                   RegValue{host::kRegExpandSz, "%SystemRoot%\\x\0"s});
  host.RegSetValue(RegRoot::kLocalMachine, key, "Count",
                   RegValue{host::kRegDword, "\xFF\xFF\xFF\xFF"s});
  host.RegSetValue(RegRoot::kLocalMachine, key, "Small", RegValue{host::kRegDword, "\x2A\0\0\0"s});
  host.RegSetValue(RegRoot::kLocalMachine, key, "Lines",
                   RegValue{host::kRegMultiSz, "one\0two\0\0"s});
  host.RegSetValue(RegRoot::kLocalMachine, key, "Blob",
                   RegValue{host::kRegBinary, "\x0A\x1B\xFF"s});
  host.RegSetValue(RegRoot::kLocalMachine, key, "Big", RegValue{host::kRegQword, "\1\0\0\0\0\0\0\0"s});
  host.RegSetValue(RegRoot::kLocalMachine, key, "", RegValue{host::kRegSz, "default\0"s});

  EXPECT_EQ(Eval("RegKeyExists('HKLM\\Software\\Example')"), "1");
  EXPECT_EQ(Eval("RegKeyExists('hklm\\SOFTWARE\\EXAMPLE\\')"), "1");
  EXPECT_EQ(Eval("RegKeyExists('HKLM\\Software\\Nothing')"), "0");
  EXPECT_EQ(Eval("RegKeyExists('HKCU\\Software\\Example')"), "0");
  EXPECT_EQ(Eval("RegParamExists('HKLM\\Software\\Example', 'Count')"), "1");
  EXPECT_EQ(Eval("RegParamExists('HKLM\\Software\\Example', 'None')"), "0");
  EXPECT_EQ(Eval("RegParamExists('HKLM\\Software\\Nothing', 'Count')"), "0");
  const std::string k = "RegParam('HKLM\\Software\\Example', ";
  EXPECT_EQ(Eval(k + "'Path', 'def')"), "C:\\App");
  EXPECT_EQ(Eval(k + "'Expand', 'def')"), "%SystemRoot%\\x");
  EXPECT_EQ(Eval(k + "'Count', 'def')"), "4294967295");
  EXPECT_EQ(Eval(k + "'Small', 'def') + 1"), "43");
  EXPECT_EQ(Eval(k + "'Lines', 'def')"), "one\r\ntwo");
  EXPECT_EQ(Eval(k + "'Blob', 'def')"), "0A1BFF");
  EXPECT_EQ(Eval(k + "'Big', 'def')"), "def");
  EXPECT_EQ(Eval(k + "'', 'def')"), "default");
  EXPECT_EQ(Eval(k + "'None', 'def')"), "def");
  EXPECT_EQ(Eval("RegParam('HKLM\\Software\\Nothing', 'Path', 'def')"), "def");
}

TEST(MachineRights, HasAdminRightsFollowsTheUserAndThePlatform) {
  struct Case {
    const char* ini;
    const char* expected;
  } cases[] = {
      {"[System]\nAdmin=1\n", "1"},
      {"[System]\nAdmin=0\n", "0"},
      {"[System]\nPlatform=9x\nVersion=4.10.2222\nAdmin=0\n", "1"},  // no accounts on 9x
  };
  for (const Case& c : cases) {
    test::TempMachine machine(c.ini);
    test::RecordingServices services;
    TsxEvaluator ev(services);
    EXPECT_EQ(ev.EvaluateExpression("HasAdminRights", 0), c.expected) << c.ini;
  }
}

TEST_F(MachineFunctions, DotNetInstalledWhenTheRuntimeClassIsRegisteredAndPresent) {
  EXPECT_EQ(Eval("DotNetInstalled"), "0");
  using std::string_literals::operator""s;
  auto& host = machine.host();
  const std::string key = "Software\\Classes\\CLSID\\{E5CB7A31-7512-11D2-89CE-0080C792E5D8}"
                          "\\InprocServer32";
  ASSERT_TRUE(host.RegCreateKey(RegRoot::kLocalMachine, key));
  host.RegSetValue(RegRoot::kLocalMachine, key, "", RegValue{host::kRegSz, "mscoree.dll\0"s});
  EXPECT_EQ(Eval("DotNetInstalled"), "0");  // registered, but the server is not there
  WriteC("windows/system32/mscoree.dll", "runtime");
  EXPECT_EQ(Eval("DotNetInstalled"), "1");
  host.SetEnv("SXTESTROOT", "C:\\windows");
  host.RegSetValue(RegRoot::kLocalMachine, key, "",
                   RegValue{host::kRegExpandSz, "%SXTESTROOT%\\system32\\mscoree.dll\0"s});
  EXPECT_EQ(Eval("DotNetInstalled"), "1");
  host.RegSetValue(RegRoot::kLocalMachine, key, "",
                   RegValue{host::kRegSz, "C:\\elsewhere\\mscoree.dll\0"s});
  EXPECT_EQ(Eval("DotNetInstalled"), "0");
  host.SetEnv("SXTESTROOT", std::nullopt);
}

// Answers message boxes from a list and records them: "title|text|style".
class ScriptedBoxes : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  int MessageBox(std::string_view title, std::string_view text, uint32_t style) override {
    boxes.push_back(std::string(title) + "|" + std::string(text) + "|" + std::to_string(style));
    if (answers.empty()) return host::kIdCancel;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> boxes;
  std::deque<int> answers;
};

class AskUserTest : public MachineFunctions {
 protected:
  void SetUp() override { previous_ = host::SetCurrentHost(&boxes); }
  void TearDown() override { host::SetCurrentHost(previous_); }
  ScriptedBoxes boxes{machine.host()};
  host::Host* previous_ = nullptr;
};

TEST_F(AskUserTest, EachQuestionIsAskedOnceAndItsAnswerRemembered) {
  boxes.answers = {host::kIdYes, host::kIdNo};
  services.window = 4711;
  EXPECT_EQ(Eval("AskUser('Title', 'Continue?', 1, 1)"), "1");
  EXPECT_EQ(Eval("AskUser('Other title', 'Continue?', 3, 2)"), "1");  // from the cache
  EXPECT_EQ(Eval("AskUser('Title', 'CONTINUE?', 1, 1)"), "1");        // case does not matter
  EXPECT_EQ(Eval("AskUser('Title', 'Really?', 1, 1)"), "0");
  EXPECT_EQ(Eval("AskUser('Title', 'Really?', 1, 1)"), "0");
  // Task-modal (0x2000) + question icon (0x20) + Yes/No (4).
  EXPECT_EQ(boxes.boxes, (std::vector<std::string>{"Title|Continue?|8228", "Title|Really?|8228"}));
  EXPECT_EQ(ev.AnswerCache, (std::vector<std::string>{"*Continue?*=1", "*Really?*=0"}));
  EXPECT_EQ(services.calls, (std::vector<std::string>{"ActiveWindow", "ActiveWindow"}));
}

TEST_F(AskUserTest, IconsButtonsAndAnswers) {
  struct Case {
    const char* args;
    int answer;
    uint32_t style;
    const char* result;
  } cases[] = {
      {"0, 0", host::kIdOk, 0x2040, "1"},      // information, OK
      {"1, 1", host::kIdNo, 0x2024, "0"},      // question, Yes and No
      {"2, 2", host::kIdCancel, 0x2031, "0"},  // warning, OK and Cancel
      {"3, 2", host::kIdOk, 0x2011, "1"},      // error, OK and Cancel
      {"7, 9", host::kIdOk, 0x2000, "1"},      // no icon, OK
      {"x, y", host::kIdOk, 0x2040, "1"},      // defaults: information, OK
  };
  int n = 0;
  for (const Case& c : cases) {
    boxes.answers = {c.answer};
    const std::string question = "Question " + std::to_string(++n);
    EXPECT_EQ(Eval("AskUser('T', '" + question + "', " + c.args + ")"), c.result) << c.args;
    EXPECT_EQ(boxes.boxes.back(), "T|" + question + "|" + std::to_string(c.style)) << c.args;
  }
}

TEST_F(AskUserTest, QuestionWithEqualsSignIsAskedEveryTime) {
  boxes.answers = {host::kIdYes, host::kIdNo};
  EXPECT_EQ(Eval("AskUser('T', 'a=b?', 1, 1)"), "1");
  EXPECT_EQ(Eval("AskUser('T', 'a=b?', 1, 1)"), "0");
  EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(AskUserTest, EveryArgumentIsEvaluatedEvenInTheBranchNotTaken) {
  boxes.answers = {host::kIdNo};
  EXPECT_EQ(Eval("Iif(1, 'go', AskUser('T', 'Asked anyway?', 1, 1))"), "go");
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

}  // namespace
}  // namespace sx
