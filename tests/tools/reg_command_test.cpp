// sxtool reg, run as a program on a throw-away machine: what it adds reads back through reg query
// and through the host, lands in the machine's .reg files in Wine's format, and the exit status
// tells found (0), not found or failed (1) and bad usage (2), as reg.exe does.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

using sx::host::RegRoot;
using sx::host::RegValue;

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs "sxtool reg ARGS..." on the machine; `output` gets standard output (and with
// `withErrors`, standard error after it).
int Reg(const TempMachine& machine, const std::vector<std::string>& args, std::string* output = nullptr,
        bool withErrors = false) {
  std::string command = "SX_MACHINE=" + Quote(machine.folder()) + " " + Quote(SX_SXTOOL) + " reg";
  for (const auto& arg : args) command += " " + Quote(arg);
  command += withErrors ? " 2>&1" : " 2>/dev/null";
  return RunCommand(command, output);
}

TEST(RegCommand, AddThenQueryReadsBackInRegExeForm) {
  TempMachine machine;
  const std::string key = "HKCU\\Software\\Vendor\\App";
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "Name", "/d", "Caf\xc3\xa9 \xe2\x82\xac", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "Count", "/t", "REG_DWORD", "/d", "42", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "Mask", "/t", "reg_dword", "/d", "0xFFFFFFFF", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "Blob", "/t", "REG_BINARY", "/d", "0102aBff", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "List", "/t", "REG_MULTI_SZ", "/d", "a\\0b c", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", "%TEMP%\\x", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/ve", "/d", "default", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key + "\\Sub Two"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key + "\\Sub1"}), 0);

  std::string out;
  ASSERT_EQ(Reg(machine, {"query", key}, &out), 0);
  EXPECT_EQ(out,
            "\n"
            "HKEY_CURRENT_USER\\Software\\Vendor\\App\n"
            "    Name    REG_SZ    Caf\xc3\xa9 \xe2\x82\xac\n"
            "    Count    REG_DWORD    0x2a\n"
            "    Mask    REG_DWORD    0xffffffff\n"
            "    Blob    REG_BINARY    0102ABFF\n"
            "    List    REG_MULTI_SZ    a\\0b c\n"
            "    Path    REG_EXPAND_SZ    %TEMP%\\x\n"
            "    (Default)    REG_SZ    default\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\Vendor\\App\\Sub Two\n"
            "HKEY_CURRENT_USER\\Software\\Vendor\\App\\Sub1\n");

  // One value, by name or with /v, through the long root name and another case.
  ASSERT_EQ(Reg(machine, {"query", "HKEY_CURRENT_USER\\software\\vendor\\app", "count"}, &out), 0);
  EXPECT_EQ(out, "\nHKEY_CURRENT_USER\\software\\vendor\\app\n    count    REG_DWORD    0x2a\n\n");
  ASSERT_EQ(Reg(machine, {"query", key, "/ve"}, &out), 0);
  EXPECT_EQ(out, "\nHKEY_CURRENT_USER\\Software\\Vendor\\App\n    (Default)    REG_SZ    default\n\n");

  // The machine's file holds it in Wine's format, and the engine's host reads it (in ANSI).
  std::string text = ReadHostFile(machine.HostPath("user.reg"));
  for (const char* line : {"\n[Software\\\\Vendor\\\\App] ", "\n\"Name\"=\"Caf\\xe9 \\x20ac\"\n",
                           "\n\"Count\"=dword:0000002a\n", "\n\"Blob\"=hex:01,02,ab,ff\n",
                           "\n\"List\"=str(7):\"a\\0b c\\0\"\n",
                           "\n\"Path\"=str(2):\"%TEMP%\\\\x\"\n", "\n@=\"default\"\n",
                           "\n[Software\\\\Vendor\\\\App\\\\Sub1] "})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_EQ(machine.host().RegQueryValue(RegRoot::kCurrentUser, "Software\\Vendor\\App", "Name"),
            (RegValue{sx::host::kRegSz, std::string("Caf\xe9 \x80") + '\0'}));
}

TEST(RegCommand, RootsLandInTheirFiles) {
  TempMachine machine;
  ASSERT_EQ(Reg(machine, {"add", "HKLM\\Software\\SxTest", "/v", "m", "/d", "1", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", "HKCR\\.sxtest", "/ve", "/d", "sxfile", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", "HKU\\.DEFAULT\\Software\\SxTest", "/v", "d", "/d", "2", "/f"}), 0);
  std::string system = ReadHostFile(machine.HostPath("system.reg"));
  EXPECT_NE(system.find("[Software\\\\SxTest] "), std::string::npos);
  EXPECT_NE(system.find("[Software\\\\Classes\\\\.sxtest] "), std::string::npos);
  EXPECT_NE(ReadHostFile(machine.HostPath("userdef.reg")).find("[Software\\\\SxTest] "),
            std::string::npos);
  std::string out;
  ASSERT_EQ(Reg(machine, {"query", "HKEY_LOCAL_MACHINE\\Software\\Classes\\.sxtest"}, &out), 0);
  EXPECT_NE(out.find("    (Default)    REG_SZ    sxfile\n"), std::string::npos) << out;
}

TEST(RegCommand, DeleteRemovesValuesAndWholeTrees) {
  TempMachine machine;
  const std::string key = "HKCU\\Software\\Gone";
  ASSERT_EQ(Reg(machine, {"add", key + "\\A\\B", "/v", "deep", "/d", "x", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "keep", "/d", "1", "/f"}), 0);
  ASSERT_EQ(Reg(machine, {"add", key, "/v", "drop", "/d", "2", "/f"}), 0);

  ASSERT_EQ(Reg(machine, {"delete", key, "/v", "drop", "/f"}), 0);
  std::string out;
  EXPECT_EQ(Reg(machine, {"query", key, "drop"}, &out), 1);
  EXPECT_EQ(Reg(machine, {"query", key, "keep"}, &out), 0);
  EXPECT_EQ(ReadHostFile(machine.HostPath("user.reg")).find("\"drop\""), std::string::npos);

  ASSERT_EQ(Reg(machine, {"delete", key, "/f"}), 0);
  EXPECT_EQ(Reg(machine, {"query", key}), 1);
  EXPECT_EQ(ReadHostFile(machine.HostPath("user.reg")).find("Gone"), std::string::npos);
  EXPECT_FALSE(machine.host().RegKeyExists(RegRoot::kCurrentUser, "Software\\Gone"));
  EXPECT_TRUE(machine.host().RegKeyExists(RegRoot::kCurrentUser, "Software"));
}

TEST(RegCommand, ExitStatusTellsMissingFailedAndBadUsage) {
  TempMachine machine;
  std::string out;
  EXPECT_EQ(Reg(machine, {"query", "HKCU\\Software\\Missing"}, &out, true), 1);
  EXPECT_EQ(out, "ERROR: The system was unable to find the specified registry key or value.\n");
  EXPECT_EQ(Reg(machine, {"query", "HKCU\\Software", "/v", "missing"}, &out, true), 1);
  EXPECT_EQ(out, "ERROR: The system was unable to find the specified registry key or value.\n");
  EXPECT_EQ(Reg(machine, {"delete", "HKCU\\Software\\Missing", "/f"}, &out, true), 1);
  EXPECT_EQ(Reg(machine, {"delete", "HKCU\\Software", "/v", "missing", "/f"}, &out, true), 1);

  EXPECT_EQ(Reg(machine, {"frobnicate", "HKCU\\Software"}), 2);
  EXPECT_EQ(Reg(machine, {"query", "HKXX\\Software"}), 2);
  EXPECT_EQ(Reg(machine, {"query"}), 2);
  EXPECT_EQ(Reg(machine, {"add", "HKCU\\Software\\X", "/v"}), 2);
  EXPECT_EQ(Reg(machine, {"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "12z"}), 2);
  EXPECT_EQ(Reg(machine, {"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"}), 2);
  EXPECT_EQ(Reg(machine, {"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_BINARY", "/d", "0g"}), 2);
  EXPECT_EQ(Reg(machine, {"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_WHATEVER"}), 2);
  EXPECT_EQ(Reg(machine, {"delete", "HKCU", "/f"}), 2);
  EXPECT_FALSE(machine.host().RegKeyExists(RegRoot::kCurrentUser, "Software\\X"));

  ASSERT_EQ(Reg(machine, {"--help"}, &out), 0);
  EXPECT_NE(out.find("usage: sxtool reg query"), std::string::npos);
}

TEST(RegCommand, ReadOnlyMachineHiveIsDenied) {
  TempMachine machine("[System]\nHKLMWritable=0\n");
  std::string out;
  EXPECT_EQ(Reg(machine, {"add", "HKLM\\Software\\Denied", "/f"}, &out, true), 1);
  EXPECT_EQ(out, "ERROR: Access is denied.\n");
  EXPECT_EQ(ReadHostFile(machine.HostPath("system.reg")).find("Denied"), std::string::npos);
  EXPECT_EQ(Reg(machine, {"add", "HKCU\\Software\\Allowed", "/f"}), 0);
}

TEST(RegCommand, TerminalTextIsConvertedThroughTheMachinesCodePage) {
  TempMachine machine("[Locale]\nSystem=RUS\n");  // code page 1251
  const std::string hello = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";  // Привет
  ASSERT_EQ(Reg(machine, {"add", "HKCU\\Software\\" + hello, "/v", hello, "/d", hello, "/f"}), 0);
  std::string out;
  ASSERT_EQ(Reg(machine, {"query", "HKCU\\Software\\" + hello}, &out), 0);
  EXPECT_NE(out.find("    " + hello + "    REG_SZ    " + hello + "\n"), std::string::npos) << out;
  EXPECT_NE(ReadHostFile(machine.HostPath("user.reg"))
                .find("[Software\\\\\\x41f\\x440\\x438\\x432\\x435\\x442]"),
            std::string::npos);
  const std::string ansi = "\xcf\xf0\xe8\xe2\xe5\xf2";
  EXPECT_EQ(machine.host().RegQueryValue(RegRoot::kCurrentUser, "Software\\" + ansi, ansi),
            (RegValue{sx::host::kRegSz, ansi + '\0'}));
}

}  // namespace
}  // namespace sx::test
