// What a machine says about itself: defaults of a fresh machine, sxmachine.ini overrides, and the
// facts an existing Wine prefix keeps in its registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/posix/machine_settings.h"
#include "host/posix/posix_host.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

TEST(MachineFacts, FreshMachineLooksLikeWindowsXp) {
  test::TempMachine machine;
  auto& host = machine.host();
  const auto& f = host.Facts();
  EXPECT_EQ(f.platform, OsPlatform::kWindowsNT);
  EXPECT_EQ(f.major, 5u);
  EXPECT_EQ(f.minor, 1u);
  EXPECT_EQ(f.build, 2600u);
  EXPECT_EQ(f.servicePack, "Service Pack 3");
  EXPECT_TRUE(f.admin);
  EXPECT_EQ(f.userLocale.abbreviation, "ENU");
  EXPECT_EQ(f.systemLocale.ansiCodePage, 1252u);
  EXPECT_EQ(f.decimalSeparator, ".");
  EXPECT_EQ(f.windowsFolder, "C:\\windows");
  EXPECT_EQ(f.systemFolder, "C:\\windows\\system32");
  EXPECT_EQ(host.ShellFolder(0x10), "C:\\users\\user\\Desktop");
  EXPECT_EQ(host.ShellFolder(0x19), "C:\\users\\Public\\Desktop");
  EXPECT_EQ(host.ShellFolder(0x26), "C:\\Program Files");
  EXPECT_EQ(host.ShellFolder(0x3F), "");
  EXPECT_EQ(host.TempPath(), "C:\\users\\user\\Temp\\");
  EXPECT_EQ(host.GetEnv("windir"), "C:\\windows");
  EXPECT_EQ(host.GetEnv("WINDIR"), "C:\\windows");  // names ignore case, as on Windows
  for (const char* folder : {"drive_c/windows/system32", "drive_c/windows/temp", "drive_c/windows/Fonts",
                             "drive_c/Program Files/Common Files", "drive_c/users/user/Desktop"})
    EXPECT_TRUE(std::filesystem::is_directory(machine.HostPath(folder))) << folder;
}

TEST(MachineFacts, SettingsFileOverridesTheMachine) {
  test::TempMachine machine(
      "[System]\nPlatform=9x\nVersion=4.90.3000\nAdmin=0\n"
      "[Locale]\nUser=DEU\nSystem=RUS\nInstalled=ENU, DEU ,RUS\n");
  auto& host = machine.host();
  const auto& f = host.Facts();
  EXPECT_EQ(f.platform, OsPlatform::kWindows9x);
  EXPECT_EQ(f.major, 4u);
  EXPECT_EQ(f.minor, 90u);
  EXPECT_EQ(f.build, 3000u);
  EXPECT_FALSE(f.admin);
  EXPECT_FALSE(f.hklmWritable);
  EXPECT_EQ(f.systemFolder, "C:\\windows\\system");
  EXPECT_EQ(f.userLocale.abbreviation, "DEU");
  EXPECT_EQ(f.userLocale.languageName, "German");
  EXPECT_EQ(f.decimalSeparator, ",");
  ASSERT_EQ(f.installedLocales.size(), 3u);
  EXPECT_EQ(f.installedLocales[2].charset, 204u);
  // The Russian system locale makes 1251 the ANSI code page and 866 the OEM one.
  EXPECT_EQ(host.AnsiToUtf8("\xC0\xFF"), "\xD0\x90\xD1\x8F");
  EXPECT_EQ(host.Utf8ToAnsi("\xD0\x90\xD1\x8F"), "\xC0\xFF");
  EXPECT_EQ(host.UpperCaseLocale("ab\xE0\xFF"), "AB\xC0\xDF");
  EXPECT_EQ(host.AnsiToOem("\xC0"), "\x80");
  EXPECT_EQ(host.CompareLocale("\xE0x", "\xC0X", true), 0);
  EXPECT_LT(host.CompareLocale("a", "b", false), 0);
}

TEST(MachineFacts, SettingsFileWithCrLineEndsOrAByteOrderMarkIsRead) {
  // CR-only line ends (as the engine's own INI files may have), CR LF, and a UTF-8 mark.
  for (const char* text : {"[System]\rAdmin=0\rPlatform=9x\r",
                           "\xEF\xBB\xBF[System]\r\nAdmin=0\r\nPlatform=9x\r\n",
                           "\xEF\xBB\xBF[System]\nAdmin = 0\nPlatform=9x"}) {
    test::TempMachine machine(text);
    EXPECT_FALSE(machine.host().Facts().admin) << text;
    EXPECT_EQ(machine.host().Facts().platform, OsPlatform::kWindows9x) << text;
  }
}

TEST(MachineSettingsFile, WhatCannotBeUsedIsReportedWithItsLine) {
  using namespace std::string_literals;
  std::vector<std::string> warnings;
  MachineSettings settings = MachineSettings::Parse(
      "Admin=0\n"                       // 1: outside a section
      "[System]\r\n"                    // 2
      "; a comment\n"                   // 3
      "Admn=0\n"                        // 4: a typing error
      "Admin=maybe\n"                   // 5: no yes/no
      "Admin=0   ; not an admin\n"      // 6
      "admin=1\n"                       // 7: set before
      "just words\n"                    // 8
      "=value\n"                        // 9
      "[Locale\n"                       // 10
      "[Sytem]\n"                       // 11
      "Platform=9x\n"                   // 12: in the unknown section
      "[Associations]\n"                // 13
      ".txt=C:\\notepad.exe\n"          // 14
      "bad\x00line=1\n"s,              // 15
      &warnings);
  EXPECT_EQ(settings.GetBool("System", "Admin"), false);
  EXPECT_EQ(settings.Get("Associations", ".TXT"), "C:\\notepad.exe");
  EXPECT_FALSE(settings.Get("System", "Platform"));
  const std::vector<std::string> expected = {
      "1: a key outside a section: Admin=0",
      "4: unknown key of [System], not used: Admn=0",
      "5: not a yes/no value (1, 0, yes, no, true, false), not used: Admin=maybe",
      "7: the key was set before, the first one is used: admin=1",
      "8: neither a section, a key=value line nor a comment: just words",
      "9: a value without a key: =value",
      "10: not a section header: [Locale",
      "11: unknown section, its keys are not used: [Sytem]",
      "15: a line with a NUL byte cannot be read: bad\\0line=1",
  };
  EXPECT_EQ(warnings, expected);

  // The template a new machine gets reads without a warning.
  test::TempMachine machine;
  warnings.clear();
  MachineSettings::Parse(test::ReadHostFile(machine.HostPath("sxmachine.ini")), &warnings);
  EXPECT_EQ(warnings, std::vector<std::string>{});
}

TEST(MachineFacts, SystemLanguageInTheRegistryChoosesTheCodePage) {
  test::TempMachine machine;
  ASSERT_TRUE(machine.host().RegSetValue(host::RegRoot::kLocalMachine,
                                         "System\\CurrentControlSet\\Control\\Nls\\Language", "Default",
                                         {kRegSz, std::string("0419\0", 5)}));
  machine.Reopen();
  EXPECT_EQ(machine.host().Facts().systemLocale.abbreviation, "RUS");
  EXPECT_EQ(machine.host().Facts().userLocale.abbreviation, "ENU");  // the user's own stays
  EXPECT_EQ(machine.host().AnsiToUtf8("\xC0"), "\xD0\x90");
}

TEST(MachineFacts, ExistingWinePrefixIsReadFromItsRegistry) {
  namespace fs = std::filesystem;
  std::string folder = (fs::temp_directory_path() / ("sxwine-" + std::to_string(getpid()))).string();
  fs::create_directories(folder + "/drive_c/users/root/Desktop");
  fs::create_directories(folder + "/dosdevices");
  fs::create_symlink("../drive_c", folder + "/dosdevices/c:");
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"})
    fs::copy_file(std::string(SX_FIXTURES_DIR) + "/wine-prefix/" + name, folder + "/" + name);
  {
    auto host = OpenPosixHost(folder);
    EXPECT_EQ(host->Facts().major, 6u);
    EXPECT_EQ(host->Facts().minor, 1u);
    EXPECT_EQ(host->Facts().build, 7601u);
    EXPECT_EQ(host->Facts().servicePack, "Service Pack 1");
    EXPECT_EQ(host->ShellFolder(0x10), "C:\\users\\root\\Desktop");
    EXPECT_EQ(host->TempPath(), "C:\\users\\root\\Temp\\");
    EXPECT_EQ(host->GetEnv("ProgramFiles"), "C:\\Program Files");
  }
  // Opening it did not rewrite the prefix's registry or add a settings file.
  EXPECT_FALSE(fs::exists(folder + "/sxmachine.ini"));
  EXPECT_EQ(test::ReadHostFile(folder + "/user.reg"),
            test::ReadHostFile(std::string(SX_FIXTURES_DIR) + "/wine-prefix/user.reg"));
  fs::remove_all(folder);
}

TEST(MessageBoxes, ScriptedAnswersThenTheDefaultButtonAndATraceLine) {
  std::string trace = (std::filesystem::temp_directory_path() / ("sxtrace-" + std::to_string(getpid()))).string();
  setenv("SX_TRACE", trace.c_str(), 1);
  {
    test::TempMachine machine("[MessageBoxes]\nAnswers=IDNO, 4\n");
    auto& host = machine.host();
    EXPECT_EQ(host.MessageBox("Setup", "Replace?", 4), kIdNo);
    EXPECT_EQ(host.MessageBox("Setup", "Again?", 5), kIdRetry);
    EXPECT_EQ(host.MessageBox("Setup", "Sure?", 4 | 0x100), kIdNo);  // second button is default
    EXPECT_EQ(host.MessageBox("Error", "Line 1\nLine 2", 0x10), kIdOk);
  }
  unsetenv("SX_TRACE");
  std::string text = test::ReadHostFile(trace);
  std::filesystem::remove(trace);
  EXPECT_NE(text.find("messagebox title=\"Setup\" text=\"Replace?\" style=0x00000004 answer=IDNO\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("text=\"Line 1\\nLine 2\" style=0x00000010 answer=IDOK\n"), std::string::npos)
      << text;
}

}  // namespace
}  // namespace sx::host

namespace sx::host {
namespace {

TEST(MachineFacts, PlatformNamesAndTheRegistryRulesOfEachFamily) {
  EXPECT_EQ(ParsePlatform("9X"), OsPlatform::kWindows9x);
  EXPECT_EQ(ParsePlatform(" me "), OsPlatform::kWindows9x);
  EXPECT_EQ(ParsePlatform("win32s"), OsPlatform::kWin32s);
  EXPECT_EQ(ParsePlatform(""), OsPlatform::kWindowsNT);
  EXPECT_EQ(ParsePlatform("M"), OsPlatform::kWindowsNT);
  for (bool nineX : {false, true}) {
    test::TempMachine machine(nineX ? "[System]\nPlatform=9x\n" : "");
    auto& host = machine.host();
    ASSERT_TRUE(host.RegCreateKey(RegRoot::kCurrentUser, "Software\\Tree\\Leaf"));
    // Windows 9x deletes a key with its sub-keys; NT refuses while it has any.
    EXPECT_EQ(host.RegDeleteKey(RegRoot::kCurrentUser, "Software\\Tree"), nineX);
    EXPECT_EQ(host.RegKeyExists(RegRoot::kCurrentUser, "Software\\Tree\\Leaf"), !nineX);
  }
}

}  // namespace
}  // namespace sx::host
