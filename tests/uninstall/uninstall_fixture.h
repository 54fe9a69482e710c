// The ground of the uninstaller tests: a fresh machine whose message boxes answer from a script,
// an "installation" of a small product made by hand on it, and its install log written by the
// engine's own log writer (install/install_log.h and the action list), so that the reader and the
// writer stay in agreement.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <thread>
#include <string>
#include <vector>

#include "database/sx_variable_access.h"
#include "host/host_wrapper.h"
#include "install/install_actions.h"
#include "install/install_log.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "util/folder_path.h"
#include "tests/install/install_test_support.h"
#include "tests/support/machine_snapshot.h"
#include "tests/support/temp_machine.h"

namespace sx::test {

// Answers message boxes from a script (IDOK when it runs out) and keeps "title: text" of each;
// files named in `inUse` cannot be deleted (as a file in use on Windows), registry values named
// in `refusedValues` neither. Font resource calls
// and font broadcasts are kept in `fontCalls`.
class ScriptedBoxes : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  std::deque<int> answers;
  std::vector<std::string> boxes;
  std::vector<std::string> inUse;
  bool DeleteFile(std::string_view path) override {
    for (const std::string& busy : inUse)
      if (Inner().CompareLocale(busy, path, true) == 0) {
        SetLastError(host::kErrorSharingViolation);
        return false;
      }
    return HostWrapper::DeleteFile(path);
  }
  // Registry value names whose deletion is refused (access denied).
  std::vector<std::string> refusedValues;
  bool RegDeleteValue(host::RegRoot root, std::string_view subKey, std::string_view name) override {
    for (const std::string& refused : refusedValues)
      if (Inner().CompareLocale(refused, name, true) == 0) {
        SetLastError(host::kErrorAccessDenied);
        return false;
      }
    return HostWrapper::RegDeleteValue(root, subKey, name);
  }
  std::vector<std::string> fontCalls;
  bool RemoveFontResource(std::string_view path) override {
    fontCalls.push_back("remove " + std::string(path));
    return HostWrapper::RemoveFontResource(path);
  }
  void BroadcastFontChange() override {
    fontCalls.push_back("broadcast");
    HostWrapper::BroadcastFontChange();
  }
  int MessageBox(std::string_view title, std::string_view text, uint32_t) override {
    boxes.push_back(std::string(title) + ": " + std::string(text));
    int answer = answers.empty() ? host::kIdOk : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
};

class UninstallFixture : public ::testing::Test {
 protected:
  static constexpr char kLog[] = "C:\\App\\install.log";
  static constexpr char kEntry[] =
      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{SX-DEMO}";
  static constexpr char kScripts[] = "C:\\scripts\\";  // test programs, outside the product
  static constexpr char kOtherIni[] = "C:\\windows\\other.ini";
  static constexpr char kEmptyIni[] = "C:\\windows\\empty.ini";
  static constexpr char kSharedDlls[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  static constexpr char kSystemEnv[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
  static constexpr char kFonts[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

  UninstallFixture() {
    host::SetCurrentHost(&boxes);
    IniCloseAll();
    InstallActionList().Clear();
    ResetLog();
    SetLogFileName("");
    TXMLObject* db = services.database.get();
    WriteVariable(db, "AppID", "{SX-DEMO}");
    WriteVariable(db, "AppName", "Demo");
    WriteVariable(db, "AdminRights", "1");
  }
  ~UninstallFixture() override {
    InstallActionList().Clear();
    IniCloseAll();
    ResetLog();
    SetLogFileName("");
    host::SetCurrentHost(&machine.host());
  }

  // What was on the machine before the product: a path list, a shared library another product
  // counts on, an INI file with a key of its own, the keys Windows always has, and two test
  // programs that note what they saw of the product.
  void PrepareMachine() {
    auto& host = host::CurrentHost();
    ASSERT_TRUE(SetSystemPath("C:\\windows;C:\\tools"));
    ASSERT_TRUE(host.RegCreateKey(host::RegRoot::kCurrentUser, "Environment"));
    ASSERT_TRUE(host.RegCreateKey(host::RegRoot::kLocalMachine,
                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    ASSERT_TRUE(host.RegCreateKey(host::RegRoot::kClassesRoot, "TypeLib"));
    ASSERT_TRUE(host.RegCreateKey(host::RegRoot::kClassesRoot, "Interface"));
    ASSERT_TRUE(RegWriteString(kFonts, "Arial (TrueType)", "arial.ttf"));
    ASSERT_TRUE(RegWriteInteger(kSharedDlls, "C:\\Common\\shared.dll", 1));
    ASSERT_TRUE(RegWriteString("HKLM\\Software\\Shared", "Other", "theirs"));
    ASSERT_TRUE(WriteFile("C:\\Common\\shared.dll", "shared library"));
    ASSERT_TRUE(WriteFile(kOtherIni, "[Keep]\r\na=1\r\n\r\n"));
    ASSERT_TRUE(WriteFile(kEmptyIni, ""));  // the machine's own, empty
    const std::string readme = *host.MapPath("C:\\App\\readme.txt");
    const std::string marks = *host.MapPath(std::string(kScripts)) + "/marks.txt";
    ASSERT_TRUE(WriteFile(std::string(kScripts) + "pre.exe",
                          "#!/bin/sh\nif [ -f '" + readme + "' ]; then echo pre-saw-files; else echo pre-too-late; fi >> '" +
                              marks + "'\n"));
    ASSERT_TRUE(WriteFile(std::string(kScripts) + "post.exe",
                          "#!/bin/sh\nif [ -f '" + readme + "' ]; then echo post-too-early; else echo post-saw-removal; fi >> '" +
                              marks + "'\n"));
    // The test server notes its entries here (the uninstaller programs started later inherit it).
    setenv("SX_TEST_SERVER_MARKS", (*host.MapPath(std::string(kScripts)) + "/server.txt").c_str(), 1);
    ASSERT_TRUE(host.RegFlush());
  }

  // Installs the product by hand and records every change as the engine does.
  // `uninstallerCount` is the shared count of C:\App\Uninstall.exe after this installation.
  void InstallProduct(int uninstallerCount = 1) {
    auto& host = host::CurrentHost();
    for (const char* folder : {"C:\\App", "C:\\App\\bin", "C:\\Menu", "C:\\Menu\\Demo"}) {
      ASSERT_TRUE(host.CreateFolder(folder));
      list().AddActionOf<TInstallFolder>().Folder = folder;
    }
    auto file = [&](const std::string& path, const std::string& content) -> TInstallFile& {
      EXPECT_TRUE(WriteFile(path, content));
      auto& action = list().AddActionOf<TInstallFile>();
      action.FileName = path;
      return action;
    };
    file("C:\\App\\readme.txt", "read me");
    file("C:\\App\\bin\\demo.dll", "library");
    host.SetFileAttributes("C:\\App\\bin\\demo.dll", host::kAttrReadOnly);
    WriteHostFile(machine.HostPath("drive_c/App/bin/server.dll"), ReadHostFile(SX_SERVER_LIBRARY));
    auto& server = list().AddActionOf<TInstallFile>();
    server.FileName = "C:\\App\\bin\\server.dll";
    server.IsServer = true;
    // A separate type library, registered by the server phase.
    WriteHostFile(machine.HostPath("drive_c/App/bin/demo.tlb"),
                  ReadHostFile(std::string(SX_FIXTURES_DIR) + "/typelib/demo32.tlb"));
    ASSERT_TRUE(host.RegisterTypeLib("C:\\App\\bin\\demo.tlb", ""));
    auto& typeLibrary = list().AddActionOf<TInstallFile>();
    typeLibrary.FileName = "C:\\App\\bin\\demo.tlb";
    typeLibrary.IsServer = true;
    TInstallFile& font = file("C:\\windows\\Fonts\\demo.ttf", "font");
    font.IsFont = true;
    font.FontName = "Demo (TrueType)";
    ASSERT_TRUE(RegWriteString(kFonts, "Demo (TrueType)", "demo.ttf"));
    // The shared library is replaced in place: it existed, so only its count is this product's.
    ASSERT_TRUE(RegWriteInteger(kSharedDlls, "C:\\Common\\shared.dll", 2));
    // The uninstaller is copied without a CopyFiles line and counted.
    ASSERT_TRUE(WriteFile("C:\\App\\Uninstall.exe", "uninstaller"));
    ASSERT_TRUE(RegWriteInteger(kSharedDlls, "C:\\App\\Uninstall.exe", uninstallerCount));
    ASSERT_TRUE(WriteFile("C:\\Menu\\Demo\\Demo.lnk", "link"));
    list().AddActionOf<TInstallShortcut>().LinkFile = "C:\\Menu\\Demo\\Demo.lnk";

    ASSERT_TRUE(RegWriteString("HKLM\\Software\\Demo\\Sub", "Path", "C:\\App"));
    list().AddActionOf<TInstallRegKey>().Key = "HKLM\\Software\\Demo";
    list().AddActionOf<TInstallRegKey>().Key = "HKLM\\Software\\Demo\\Sub";
    auto reg = [&](const std::string& key, const std::string& name) {
      auto& action = list().AddActionOf<TInstallReg>();
      action.Key = key;
      action.Param = name;
    };
    reg("HKLM\\Software\\Demo\\Sub", "Path");
    ASSERT_TRUE(RegWriteInteger("HKLM\\Software\\Demo", "Version", 1));
    reg("HKLM\\Software\\Demo", "Version");
    ASSERT_TRUE(RegWriteString("HKLM\\Software\\Shared", "Ours", "mine"));
    reg("HKLM\\Software\\Shared", "Ours");

    auto ini = [&](const std::string& fileName, const std::string& section, const std::string& key) {
      EXPECT_TRUE(IniWriteString(fileName, section, key, "value"));
      auto& action = list().AddActionOf<TInstallIni>();
      action.IniFile = fileName;
      action.Section = section;
      action.Param = key;
    };
    // A new file in the Windows folder: the engine records the file too, so its log lists it.
    list().AddActionOf<TInstallFile>().FileName = "C:\\windows\\demo.ini";
    ini("demo.ini", "Settings", "Path");
    ini(kOtherIni, "Keep", "b");
    ini(kOtherIni, "New", "c");
    ini(kEmptyIni, "Mine", "d");
    ASSERT_TRUE(IniCloseAll());

    ASSERT_TRUE(SetSystemPath("C:\\windows;C:\\tools;C:\\App\\bin"));
    auto& path = list().AddActionOf<TInstallEnvVar>();
    path.Name = "PATH";
    path.Value = "C:\\App\\bin";
    path.AddPath = path.SysVar = true;
    ASSERT_TRUE(RegWriteString("HKCU\\Environment", "DEMO", "on"));
    list().AddActionOf<TInstallEnvVar>().Name = "DEMO";

    ASSERT_TRUE(RegWriteString(kEntry, "DisplayName", "Demo Product"));
    ASSERT_TRUE(RegWriteString(kEntry, "SilentSettings", "C:\\App\\install.sss"));
    ASSERT_TRUE(WriteFile("C:\\App\\install.sss", "<silentsettings/>"));
    ASSERT_TRUE(host.RegFlush());
  }

  // Writes the log of what InstallProduct recorded, with the engine's log writer, in the order
  // of an installation run.
  void WriteInstallLog() {
    TXMLObject* db = services.database.get();
    SetLogFileName(kLog);
    EnableLog();
    services.languageSections = {{"Uninstall.Messages",
                                  {"Title=%AppName% removal", "Confirm=Remove %s now?||All of it?"}}};
    LogWriteUninstallTexts(db);
    LogWrite(lsSharedFiles, "C:\\Common\\shared.dll", "");
    LogWrite(lsSharedFiles, "C:\\App\\Uninstall.exe", "");
    const std::string scripts = kScripts;
    beforeApp.CmdLine = scripts + "pre.exe";
    beforeApp.WorkDir = scripts;
    beforeApp.Flags = TsxFlags{TsxFlag::check_exitcode};
    afterApp.CmdLine = scripts + "post.exe";
    afterApp.ShowCmd = TsxShowCmd::scHide;
    services.uninstallApps[static_cast<int>(TsxWhenStart::before_uninstall)] = {&beforeApp};
    services.uninstallApps[static_cast<int>(TsxWhenStart::after_uninstall)] = {&afterApp};
    LogUninstallPrograms(db, TsxWhenStart::before_uninstall);
    LogUninstallPrograms(db, TsxWhenStart::after_uninstall);
    LogWrite(lsCreateKeys, kEntry, "");
    list().WriteUninstallLog();
    ASSERT_TRUE(IniCloseAll());
  }

  TInstallActions& list() { return InstallActionList(); }
  // The system path list, expandable as Windows keeps it.
  bool SetSystemPath(const std::string& text) {
    return RegWriteRaw(kSystemEnv, "PATH", host::kRegExpandSz, text.c_str(), static_cast<uint32_t>(text.size() + 1));
  }
  MachineSnapshot Snapshot() { return TakeSnapshot({"C:\\"}, {kScripts, kOtherIni, kEmptyIni}); }

  bool WriteFile(const std::string& path, const std::string& content) {
    CreateFolderPath(FolderOf(path));
    auto file = host::CurrentHost().OpenFile(path, {host::OpenMode::kCreateAlways, false});
    return file && file->Write(content.data(), content.size());
  }
  std::string ReadFile(const std::string& path) {
    auto file = host::CurrentHost().OpenFile(path, {host::OpenMode::kRead, false});
    if (!file) return "<missing>";
    std::string data(1 << 16, '\0');
    auto n = file->Read(data.data(), data.size());
    data.resize(n ? *n : 0);
    return data;
  }
  bool Exists(const std::string& path) { return host::CurrentHost().GetFileInfo(path).has_value(); }
  // Waits (up to ten seconds) until the path is gone.
  bool WaitUntilGone(const std::string& path) {
    for (int i = 0; i < 200 && Exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !Exists(path);
  }
  std::string Marks() { return ReadFile(std::string(kScripts) + "marks.txt"); }
  std::string ServerMarks() { return ReadFile(std::string(kScripts) + "server.txt"); }

  TempMachine machine;
  ScriptedBoxes boxes{machine.host()};
  RecordingServices services;
  TsxRunApp beforeApp, afterApp;
};

}  // namespace sx::test
