// Several processes writing one machine's registry: separate sxtool processes at once, and a
// program the engine started while the engine holds changes it has not written yet. Every
// committed change of every process stays, and every file stays readable.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/host.h"
#include "host/posix/wine_reg_format.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

namespace fs = std::filesystem;

RegValue Sz(const std::string& text) { return RegValue{kRegSz, text + '\0'}; }

// Each registry file of the machine parses.
void ExpectFilesParse(const test::TempMachine& machine) {
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    const std::string path = machine.HostPath(name);
    EXPECT_NO_THROW(ParseWineRegistry(test::ReadHostFile(path), path)) << name;
  }
}

TEST(RegistryProcesses, ParallelWritersKeepEveryValue) {
  if (!fs::exists(SX_SXTOOL)) GTEST_SKIP() << "sxtool is not built";
  test::TempMachine machine;
  machine.host().RegFlush();
  // 12 processes add a value to one HKLM key, 12 a key of their own under HKCU, at once.
  const std::string tool = "SX_MACHINE='" + machine.folder() + "' '" SX_SXTOOL "' reg add ";
  const std::string script =
      "for i in $(seq 12); do " + tool + "'HKLM\\Software\\Par' /v v$i /d $i >/dev/null & " + tool +
      "\"HKCU\\Software\\Par\\Key$i\" /ve /d k$i >/dev/null & done; wait";
  ASSERT_EQ(test::RunCommand(script), 0);
  machine.Reopen();
  auto& host = machine.host();
  for (int i = 1; i <= 12; ++i) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(host.RegQueryValue(RegRoot::kLocalMachine, "Software\\Par", "v" + n), Sz(n)) << n;
    EXPECT_EQ(host.RegQueryValue(RegRoot::kCurrentUser, "Software\\Par\\Key" + n, ""), Sz("k" + n))
        << n;
  }
  ExpectFilesParse(machine);
}

TEST(RegistryProcesses, ProgramWritingWhileTheEngineHoldsUnwrittenChanges) {
  if (!fs::exists(SX_SXTOOL)) GTEST_SKIP() << "sxtool is not built";
  test::TempMachine machine;
  auto& host = machine.host();
  const std::string key = "Software\\Shared";
  ASSERT_TRUE(host.RegCreateKey(RegRoot::kLocalMachine, key));
  ASSERT_TRUE(host.RegSetValue(RegRoot::kLocalMachine, key, "before", Sz("b")));
  // The program waits until the engine has made its next changes, then writes the registry.
  const std::string marker = machine.HostPath("engine-changed");
  test::WriteHostFile(machine.HostPath("drive_c/writer.exe"),
                      "#!/bin/sh\nwhile [ ! -e '" + marker + "' ]; do sleep 0.01; done\n'" SX_SXTOOL
                      "' reg add 'HKLM\\" + key + "' /v program /d p >/dev/null || exit 1\n'" SX_SXTOOL
                      "' reg delete 'HKLM\\" + key + "' /v before /f >/dev/null || exit 1\n");
  auto program = host.CreateProcess("C:\\writer.exe", "writer.exe", "", 1);
  ASSERT_TRUE(program) << host.LastError();
  ASSERT_TRUE(host.RegSetValue(RegRoot::kLocalMachine, key, "engine", Sz("e")));
  ASSERT_TRUE(host.RegCreateKey(RegRoot::kLocalMachine, key + "\\EngineKey"));
  test::WriteHostFile(marker, "");
  ASSERT_TRUE(program->Wait(0xFFFFFFFF));
  ASSERT_EQ(program->ExitCode(), 0u);

  // The engine sees what the program wrote, and still its own changes.
  EXPECT_EQ(host.RegQueryValue(RegRoot::kLocalMachine, key, "program"), Sz("p"));
  EXPECT_FALSE(host.RegQueryValue(RegRoot::kLocalMachine, key, "before"));
  EXPECT_EQ(host.RegQueryValue(RegRoot::kLocalMachine, key, "engine"), Sz("e"));
  ASSERT_TRUE(host.RegFlush());
  machine.Reopen();
  auto& again = machine.host();
  EXPECT_EQ(again.RegQueryValue(RegRoot::kLocalMachine, key, "program"), Sz("p"));
  EXPECT_EQ(again.RegQueryValue(RegRoot::kLocalMachine, key, "engine"), Sz("e"));
  EXPECT_TRUE(again.RegKeyExists(RegRoot::kLocalMachine, key + "\\EngineKey"));
  EXPECT_FALSE(again.RegQueryValue(RegRoot::kLocalMachine, key, "before"));
  ExpectFilesParse(machine);
}

}  // namespace
}  // namespace sx::host
