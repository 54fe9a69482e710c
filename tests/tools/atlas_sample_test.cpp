// The sample product Atlas (examples/atlas, assembled by the build in build/examples/atlas) end
// to end: built with sxbuild (its data package spanned over two cabinets), refused by its launch
// condition on a machine that fails it, installed silently, checked item kind by item kind,
// removed with its own uninstaller, and the machine back as it was. The password build installs
// silently with the password from the silent settings file, and refuses without it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/ini_cache.h"
#include "tests/packages/built_setup.h"
#include "tests/support/machine_snapshot.h"

namespace sx::test {
namespace {

namespace fs = std::filesystem;

const std::string kProject = SX_ATLAS_PROJECT;
constexpr char kProduct[] = "drive_c/Program Files/Northwind/Atlas";
constexpr char kInstallPath[] = "C:\\Program Files\\Northwind\\Atlas";
constexpr char kAtlasKey[] = "Software\\Northwind\\Atlas";
constexpr char kSharedRuntime[] = "C:\\Program Files\\Common Files\\Northwind\\nwrt.dll";
constexpr char kSystemEnvironment[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

host::RegValue Value(host::RegRoot root, const std::string& key, const std::string& name) {
  return host::CurrentHost().RegQueryValue(root, key, name).value_or(host::RegValue{});
}

host::RegValue Dword(uint32_t n) {
  return {host::kRegDword, std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8 & 0xFF),
                                       static_cast<char>(n >> 16 & 0xFF), static_cast<char>(n >> 24)}};
}

host::RegValue Sz(const std::string& text) { return {host::kRegSz, text + '\0'}; }

class AtlasSample : public ::testing::Test {
 protected:
  AtlasSample() {
    runLog_ = machine_.folder() + "/programs.log";
    serverLog_ = machine_.folder() + "/atlasext.log";
  }

  // Builds the setup into C:\setup\ with the options; the builder's output.
  std::string Build(std::vector<std::string> options = {}) {
    std::vector<std::string> args{kProject, "-o", machine_.HostPath("drive_c/setup"), "--max-cabinet-size", "640K"};
    args.insert(args.end(), options.begin(), options.end());
    const SxbuildRun run = RunSxbuild(args);
    EXPECT_EQ(run.status, 0) << run.output;
    return run.output;
  }

  // Starts a program of the machine (a host path) as a user would from a shell; its exit code.
  int Start(const std::string& program, const std::string& arguments) {
    IniCloseAll();
    machine_.host().RegFlush();
    const std::string command = "SX_MACHINE=" + ShellQuote(machine_.folder()) + " SX_TRACE=" +
                                ShellQuote(TracePath()) + " ATLAS_RUN_LOG=" + ShellQuote(runLog_) +
                                " ATLASEXT_LOG=" + ShellQuote(serverLog_) + " " + ShellQuote(program) + " " +
                                arguments + " </dev/null >/dev/null 2>&1";
    const int code = RunCommand(command);
    machine_.Reopen();
    return code;
  }
  int RunSetup() { return Start(machine_.HostPath("drive_c/setup/atlas-setup.exe"), "/s"); }

  std::string TracePath() const { return machine_.folder() + "/trace.log"; }
  // What the product's programs and its server noted since the last call.
  std::string TakeLog(const std::string& path) {
    std::string text = ReadHostFile(path);
    fs::remove(path);
    return text;
  }
  std::string Product(const std::string& relative) const {
    return machine_.HostPath(std::string(kProduct) + "/" + relative);
  }

  // C:\windows\win.ini is compared by its bytes alone: the product's entry is written into it and
  // taken out again, so its time changes.
  static MachineSnapshot Snapshot() { return TakeSnapshot({"C:\\"}, {"C:\\setup", "C:\\windows\\win.ini"}); }
  std::string WinIni() const { return ReadHostFile(machine_.HostPath("drive_c/windows/win.ini")); }

  TempMachine machine_;
  std::string runLog_, serverLog_;
};

TEST_F(AtlasSample, InstallsEveryKindOfItemSilentlyAndItsUninstallerLeavesTheMachineAsBefore) {
  // The project refers to no variable that nobody defines.
  EXPECT_FALSE(Contains(Build(), "warning")) << "sxbuild warned";
  // The data package spans two cabinets; the setup program carries its package in one (with the
  // programs setups carry; a sanitizer build's instrumented uninstaller alone fills a cabinet).
  EXPECT_TRUE(fs::exists(machine_.HostPath("drive_c/setup/atlasdata-2.cab")));
  EXPECT_FALSE(fs::exists(machine_.HostPath("drive_c/setup/atlasdata-3.cab")));
#ifdef SX_SETUP_ENGINE_LIMIT
  EXPECT_FALSE(fs::exists(machine_.HostPath("drive_c/setup/atlas-setup-2.cab")));
#endif

  // The launch condition: with Atlas 1 on the machine the setup refuses and changes nothing.
  ASSERT_TRUE(machine_.host().RegCreateKey(host::RegRoot::kLocalMachine, "Software\\Northwind\\Atlas 1"));
  const MachineSnapshot withAtlas1 = Snapshot();
  EXPECT_EQ(RunSetup(), 255);
  EXPECT_TRUE(Contains(ReadHostFile(TracePath()), "Atlas 1 is installed on this computer. Remove it before you "
                                                  "install Atlas 2.1."));
  EXPECT_EQ(SnapshotDifference(withAtlas1, Snapshot()), "");
  EXPECT_EQ(TakeLog(runLog_), "");
  ASSERT_TRUE(machine_.host().RegDeleteKey(host::RegRoot::kLocalMachine, "Software\\Northwind\\Atlas 1"));
  ASSERT_TRUE(machine_.host().RegDeleteKey(host::RegRoot::kLocalMachine, "Software\\Northwind"));

  const MachineSnapshot before = Snapshot();
  const std::string winIni = WinIni();
  const host::RegValue systemPath = Value(host::RegRoot::kLocalMachine, kSystemEnvironment, "PATH");
  ASSERT_EQ(RunSetup(), 0) << ReadHostFile(TracePath());

  // Files of both packages, by the default install type "Full" (the demo map excepted).
  for (const char* file : {"bin/atlas.exe", "bin/atlascfg.exe", "bin/atlasext.dll", "readme.txt", "license.txt",
                           "docs/manual-enu.txt", "docs/manual-deu.txt", "maps/index.txt", "Uninstall.exe",
                           "install.log"})
    EXPECT_TRUE(fs::is_regular_file(Product(file))) << file;
  EXPECT_EQ(ReadHostFile(Product("maps/world.tiles")), ReadHostFile(kProject + "/payload/maps/world.tiles"));
  EXPECT_FALSE(fs::exists(Product("maps/demo.map")));
  EXPECT_EQ(ReadHostFile(machine_.HostPath("drive_c/Program Files/Common Files/Northwind/nwrt.dll")),
            ReadHostFile(kProject + "/payload/runtime/nwrt.dll"));

  // Registry values and their types.
  using host::RegRoot;
  EXPECT_EQ(Value(RegRoot::kLocalMachine, kAtlasKey, "InstallPath"), Sz(kInstallPath));
  EXPECT_EQ(Value(RegRoot::kLocalMachine, kAtlasKey, "Version"), Sz("2.1"));
  EXPECT_EQ(Value(RegRoot::kLocalMachine, kAtlasKey, "Build"), Dword(2107));
  EXPECT_EQ(Value(RegRoot::kLocalMachine, kAtlasKey, "Languages"),
            (host::RegValue{host::kRegMultiSz, std::string("ENU\0DEU\0\0", 9)}));
  EXPECT_EQ(Value(RegRoot::kLocalMachine, kAtlasKey, "Signature"),
            (host::RegValue{host::kRegBinary, "NWAT\x02\x01"}));
  EXPECT_EQ(Value(RegRoot::kCurrentUser, "Software\\Northwind\\Atlas\\View", "Zoom"), Dword(3));
  EXPECT_EQ(Value(RegRoot::kCurrentUser, "Software\\Northwind\\Atlas\\View", "Language"), Sz("ENU"));
  EXPECT_EQ(Value(RegRoot::kClassesRoot, ".map", ""), Sz("Northwind.AtlasMap"));
  EXPECT_EQ(Value(RegRoot::kClassesRoot, "Northwind.AtlasMap\\shell\\open\\command", ""),
            Sz(std::string("\"") + kInstallPath + "\\bin\\atlas.exe\" \"%1\""));
  // The shared runtime counted once, the font registered, the system PATH extended and still
  // an expandable string.
  EXPECT_EQ(Value(RegRoot::kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", kSharedRuntime),
            Dword(1));
  EXPECT_EQ(Value(RegRoot::kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                  "DejaVu Sans Mono (TrueType)"),
            Sz("DejaVuSansMono.ttf"));
  EXPECT_EQ(ReadHostFile(machine_.HostPath("drive_c/windows/Fonts/DejaVuSansMono.ttf")),
            ReadHostFile(kProject + "/payload/font/DejaVuSansMono.ttf"));
  const host::RegValue path = Value(RegRoot::kLocalMachine, kSystemEnvironment, "PATH");
  EXPECT_EQ(path.type, host::kRegExpandSz);
  EXPECT_EQ(path.data, systemPath.data.substr(0, systemPath.data.size() - 1) + ";" + kInstallPath + "\\bin" + '\0');
  EXPECT_EQ(Value(RegRoot::kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NorthwindAtlas",
                  "UninstallString"),
            Sz(std::string("\"") + kInstallPath + "\\Uninstall.exe\" \"" + kInstallPath + "\\install.log\""));

  // INI entries, in the product's own file and in one the machine had.
  EXPECT_EQ(IniReadString(std::string(kInstallPath) + "\\atlas.ini", "Paths", "Maps", "?"),
            std::string(kInstallPath) + "\\maps");
  EXPECT_EQ(IniReadString(std::string(kInstallPath) + "\\atlas.ini", "View", "Zoom", "?"), "3");
  EXPECT_EQ(IniReadString("C:\\windows\\win.ini", "Northwind Atlas", "Home", "?"), kInstallPath);
  IniCloseAll();

  // Both shortcuts, read back by liblnk.
  struct Link {
    const char* file;
    const char* arguments;
  };
  for (const Link& link : {Link{"drive_c/users/user/Desktop/Atlas.lnk", "/map demo"},
                           Link{"drive_c/users/user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/"
                                "Northwind Atlas/Atlas.lnk",
                                "/restore"}}) {
    std::string info;
    ASSERT_EQ(RunCommand("lnkinfo " + ShellQuote(machine_.HostPath(link.file)) + " 2>&1", &info), 0) << link.file;
    EXPECT_TRUE(Contains(info, std::string("Local path\t\t\t: ") + kInstallPath + "\\bin\\atlas.exe")) << info;
    EXPECT_TRUE(Contains(info, std::string("Command line arguments\t\t: ") + link.arguments)) << info;
    EXPECT_TRUE(Contains(info, std::string("Working directory\t\t: ") + kInstallPath + "\\bin")) << info;
  }

  // The server registered, the programs before and after the installation ran.
  const std::string serverPath = fs::canonical(Product("bin/atlasext.dll")).string();
  EXPECT_EQ(TakeLog(serverLog_), "register " + serverPath + "\n");
  EXPECT_EQ(TakeLog(runLog_), "precheck /quiet\natlascfg /firstrun\n");

  // The product's uninstaller, as its uninstall entry starts it.
  const std::string uninstaller = Product("Uninstall.exe");
  fs::permissions(uninstaller, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_EQ(Start(uninstaller, "/s " + ShellQuote(std::string(kInstallPath) + "\\install.log")), 0);
  EXPECT_EQ(TakeLog(serverLog_), "unregister " + serverPath + "\n");
  EXPECT_EQ(TakeLog(runLog_), "atlascfg /cleanup\n");
  // It removes itself and its folder after it ended.
  std::string difference;
  for (int i = 0; i < 100 && !(difference = SnapshotDifference(before, Snapshot())).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    machine_.Reopen();
  }
  EXPECT_EQ(difference, "");
  EXPECT_EQ(WinIni(), winIni);
}

TEST_F(AtlasSample, ThePasswordBuildInstallsSilentlyWithThePasswordOfItsSilentSettings) {
  Build({"--password", "north-by-northwest"});
  const MachineSnapshot before = Snapshot();
  EXPECT_EQ(RunSetup(), 255);
  EXPECT_TRUE(Contains(ReadHostFile(TracePath()), "Incorrect password has been specified!"));
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");

  WriteHostFile(machine_.HostPath("drive_c/setup/atlas-setup.sss"),
                "<silentsettings><variables><var name=\"Password\" value=\"wrong\"/></variables></silentsettings>");
  EXPECT_EQ(RunSetup(), 255);
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");

  WriteHostFile(machine_.HostPath("drive_c/setup/atlas-setup.sss"),
                "<silentsettings><variables><var name=\"Password\" value=\"north-by-northwest\"/></variables>"
                "</silentsettings>");
  ASSERT_EQ(RunSetup(), 0) << ReadHostFile(TracePath());
  EXPECT_EQ(ReadHostFile(Product("maps/world.tiles")), ReadHostFile(kProject + "/payload/maps/world.tiles"));
  EXPECT_EQ(ReadHostFile(machine_.HostPath("drive_c/windows/Fonts/DejaVuSansMono.ttf")),
            ReadHostFile(kProject + "/payload/font/DejaVuSansMono.ttf"));
  // The password stays in the settings file it came in: the repair settings do not keep it.
  EXPECT_FALSE(Contains(ReadHostFile(Product("install.sss")), "north-by-northwest"));
  EXPECT_TRUE(fs::exists(Product("install.sss")));
}

}  // namespace
}  // namespace sx::test
