// The server phase with self-registering test libraries: order, vetoes, a failing entry and what
// rollback leaves; programs and scripts registered through their switch; a library without
// DllUnregisterServer; a real PE image, which this machine cannot load; IsPEImage on crafted
// headers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "install/servers.h"
#include "tests/install/install_fixture.h"
#include "tests/install/item_phase_support.h"

namespace sx::test {
namespace {

class Servers : public InstallFixture {
 protected:
  Servers() {
    items.database->TempBackupPath = kBackupFolder;
    host().CreateFolder("C:\\App");
    log = machine.HostPath("server.log");
    setenv("SX_SERVER_LOG", log.c_str(), 1);
    unsetenv("SX_SERVER_RESULT");
  }
  ~Servers() override {
    unsetenv("SX_SERVER_LOG");
    unsetenv("SX_SERVER_RESULT");
  }
  // A server file installed by the file phase.
  void Installed(const std::string& path, const std::string& content) {
    TInstallFile* file = list().AddFileAction(path, TsxFlags{TsxFlag::reg_server}, true);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(WriteFile(path, content));
  }
  // The script's output, once it appeared (programs are started without waiting).
  std::string WaitForHostFile(const std::string& path) {
    for (int i = 0; i < 100 && ReadHostFile(path).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ReadHostFile(path);
  }

  ItemServices items;
  std::string log;
};

TEST_F(Servers, RegisteredInListOrderUntilOneFails) {
  Installed("C:\\App\\first.dll", ReadHostFile(SX_TEST_SERVER));
  Installed("C:\\App\\vetoed.dll", ReadHostFile(SX_TEST_SERVER));
  Installed("C:\\App\\second.dll", ReadHostFile(SX_TEST_SERVER_NO_UNREGISTER));
  list().AddFileAction("C:\\App\\plain.txt", {}, true);  // no server: not offered
  items.beforeItem = [&](const void* record) {
    items.eventReplies[{12, 4}] = std::string(static_cast<const SxRegisterItem*>(record)->Path) == "C:\\App\\vetoed.dll";
  };
  ASSERT_TRUE(RegisterServers());
  EXPECT_EQ(ReadHostFile(log), "register server\nregister server_no_unregister\n");
  EXPECT_EQ(items.CallsStartingWith("event 12").size(), 3u);
  EXPECT_EQ(items.CallsStartingWith("event 13").size(), 2u);

  // An entry that answers a failure code, in a file that is no program: the phase stops there.
  setenv("SX_SERVER_RESULT", "-2147467259", 1);  // E_FAIL
  items.calls.clear();
  EXPECT_FALSE(RegisterServers());
  EXPECT_EQ(items.CallsStartingWith("box"),
            (std::vector<std::string>{"box Error: Cannot register \"C:\\App\\first.dll\". style 16"}));

  // Unregistering never calls a missing DllUnregisterServer.
  unsetenv("SX_SERVER_RESULT");
  WriteHostFile(log, "");
  EXPECT_TRUE(UnregisterServer("C:\\App\\first.dll"));
  EXPECT_FALSE(UnregisterServer("C:\\App\\second.dll"));
  EXPECT_EQ(ReadHostFile(log), "unregister server\n");
}

TEST_F(Servers, ProgramsAndScriptsRunWithTheirSwitchAndPEImagesCannotRegister) {
  const std::string out = machine.HostPath("switch.txt");
  ASSERT_TRUE(WriteFile("C:\\App\\tool.exe", "#!/bin/sh\necho \"$@\" >> '" + out + "'\n"));
  EXPECT_TRUE(RegisterServer("C:\\App\\tool.exe"));
  EXPECT_EQ(WaitForHostFile(out), "/REGSERVER\n");
  // A script with a library's name is no program: nothing to call, nothing to run.
  ASSERT_TRUE(WriteFile("C:\\App\\tool.dll", "#!/bin/sh\necho \"$@\" >> '" + out + "'\n"));
  EXPECT_FALSE(RegisterServer("C:\\App\\tool.dll"));
  EXPECT_FALSE(RegisterServer("C:\\App\\missing.exe"));
  // An ELF program loads as a library without exports, as Windows loads an .exe.
  ASSERT_TRUE(WriteFile("C:\\App\\true.exe", ReadHostFile("/bin/true")));
  auto program = host().LoadLibrary("C:\\App\\true.exe");
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(program->Symbol("DllRegisterServer"), nullptr);
  EXPECT_TRUE(RegisterServer("C:\\App\\true.exe"));

  // A real PE image is recognised but cannot be loaded here.
  ASSERT_TRUE(WriteFile("C:\\App\\lz32.dll", ReadHostFile(std::string(SX_INSTALL_TEST_DATA) + "/lz32.dll")));
  EXPECT_TRUE(IsPEImage("C:\\App\\lz32.dll").isPE);
  EXPECT_FALSE(RegisterServer("C:\\App\\lz32.dll"));
  EXPECT_FALSE(IsPEImage(SX_TEST_SERVER).isPE);
}

TEST_F(Servers, ATypeLibraryFileRegistersThroughItsTypeLibraryAlone) {
  const std::string versionKey = "TypeLib\\{8E1B2C30-5A61-4F6B-9D3E-1A2B3C4D5E6F}\\2.a";
  ASSERT_TRUE(host().RegCreateKey(host::RegRoot::kClassesRoot, "TypeLib"));  // as on every Windows
  ASSERT_TRUE(host().RegCreateKey(host::RegRoot::kClassesRoot, "Interface"));
  const MachineSnapshot before = TakeSnapshot({});
  ASSERT_TRUE(WriteFile("C:\\App\\demo.tlb", ReadHostFile(std::string(SX_FIXTURES_DIR) + "/typelib/demo32.tlb")));
  EXPECT_FALSE(IsPEImage("C:\\App\\demo.tlb").isPE);
  EXPECT_TRUE(RegisterServer("C:\\App\\demo.tlb"));
  auto path = host().RegQueryValue(host::RegRoot::kClassesRoot, versionKey + "\\409\\win32", "");
  EXPECT_TRUE(path && path->data == std::string("C:\\App\\demo.tlb") + '\0');
  // The help folder is the folder of the library's help file.
  auto helpFolder = host().RegQueryValue(host::RegRoot::kClassesRoot, versionKey + "\\HELPDIR", "");
  EXPECT_TRUE(helpFolder && helpFolder->data == std::string("C:\\Program Files\\Demo\\help") + '\0');
  EXPECT_TRUE(UnregisterServer("C:\\App\\demo.tlb"));
  EXPECT_EQ(SnapshotDifference(before, TakeSnapshot({})), "");
  // Registered no more: nothing left to take back.
  EXPECT_FALSE(UnregisterServer("C:\\App\\demo.tlb"));
}

TEST_F(Servers, IsPEImageReadsOnlyWhatTheFileHolds) {
  auto header = [](uint32_t offset, size_t size) {
    std::string bytes(size, '\0');
    bytes[0] = 'M', bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[60 + i] = static_cast<char>(offset >> (8 * i));
    if (offset + 4 <= size) bytes.replace(offset, 4, std::string("PE\0\0", 4));
    return bytes;
  };
  struct Case {
    std::string bytes;
    bool isPE;
  };
  for (const Case& c : {Case{header(64, 68), true}, Case{header(64, 67), false},  // signature cut off
                        Case{header(0x7FFFFFF0, 128), false}, Case{header(0, 128), false},
                        Case{header(64, 68).substr(0, 63), false}, Case{"PE\0\0" + header(64, 68).substr(4), false}}) {
    ASSERT_TRUE(WriteFile("C:\\App\\probe.bin", c.bytes));
    TPEImageCheck check = IsPEImage("C:\\App\\probe.bin");
    EXPECT_TRUE(check.opened);
    EXPECT_EQ(check.isPE, c.isPE) << c.bytes.size();
  }
  EXPECT_FALSE(IsPEImage("C:\\App\\missing.dll").opened);
}

}  // namespace
}  // namespace sx::test
