// The system services as Windows gives them, checked on both hosts: the Linux build runs these
// cases against the simulated machine, the Windows build against the Win32 host under Wine, so a
// difference between the two shows up as a failure on one side.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/host.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

RegValue Value(uint32_t type, std::string data) { return {type, std::move(data)}; }

// A host path of this computer as the machines see it: Z: is the host's root on both.
std::string OnDriveZ(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

TEST(SystemServices, RegistryKeepsTypesAndReportsWindowsErrors) {
  test::TempMachine machine;
  auto& host = machine.host();
  const std::string key = "Software\\SXHostTest";
  ASSERT_TRUE(host.RegCreateKey(RegRoot::kCurrentUser, key + "\\Sub\\Deeper"));
  const std::vector<RegNamedValue> values = {
      {"", Value(kRegSz, std::string("default\0", 8))},
      {"Text", Value(kRegSz, std::string("abc\0", 4))},
      {"Expand", Value(kRegExpandSz, std::string("%TEMP%\\x\0", 9))},
      {"Multi", Value(kRegMultiSz, std::string("a\0bc\0\0", 6))},
      {"Number", Value(kRegDword, std::string("\x2A\0\0\0", 4))},
      {"Big", Value(kRegQword, std::string("\1\2\3\4\5\6\7\x08", 8))},
      {"Bytes", Value(kRegBinary, std::string("\0\xFF\x10", 3))},
  };
  for (const auto& v : values) ASSERT_TRUE(host.RegSetValue(RegRoot::kCurrentUser, key, v.name, v.value)) << v.name;
  for (const auto& v : values) {
    auto read = host.RegQueryValue(RegRoot::kCurrentUser, key, v.name);
    ASSERT_TRUE(read) << v.name;
    EXPECT_EQ(*read, v.value) << v.name;
  }
  // Names compare ignoring case, for keys and values.
  auto text = host.RegQueryValue(RegRoot::kCurrentUser, "SOFTWARE\\sxhosttest", "TEXT");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->data, std::string("abc\0", 4));

  auto listed = host.RegEnumValues(RegRoot::kCurrentUser, key);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->size(), values.size());
  EXPECT_EQ(host.RegEnumKeys(RegRoot::kCurrentUser, key), std::vector<std::string>{"Sub"});

  EXPECT_FALSE(host.RegQueryValue(RegRoot::kCurrentUser, key, "Missing"));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(host.RegSetValue(RegRoot::kCurrentUser, key + "\\Nowhere", "x", values[1].value));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(host.RegEnumKeys(RegRoot::kCurrentUser, key + "\\Nowhere"));
  EXPECT_FALSE(host.RegKeyExists(RegRoot::kCurrentUser, key + "\\Nowhere"));

  // A key with sub-keys stays.
  EXPECT_FALSE(host.RegDeleteKey(RegRoot::kCurrentUser, key + "\\Sub"));
  EXPECT_EQ(host.LastError(), kErrorAccessDenied);
  EXPECT_TRUE(host.RegKeyExists(RegRoot::kCurrentUser, key + "\\Sub\\Deeper"));

  EXPECT_TRUE(host.RegDeleteValue(RegRoot::kCurrentUser, key, "Text"));
  EXPECT_FALSE(host.RegDeleteValue(RegRoot::kCurrentUser, key, "Text"));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_TRUE(host.RegDeleteKey(RegRoot::kCurrentUser, key + "\\Sub\\Deeper"));
  EXPECT_TRUE(host.RegDeleteKey(RegRoot::kCurrentUser, key + "\\Sub"));
  EXPECT_TRUE(host.RegDeleteKey(RegRoot::kCurrentUser, key));
  EXPECT_FALSE(host.RegKeyExists(RegRoot::kCurrentUser, key));
  EXPECT_TRUE(host.RegFlush());
}

TEST(SystemServices, EnvironmentNamesIgnoreCase) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.SetEnv("SX_HOST_TEST", "first value"));
  EXPECT_EQ(host.GetEnv("sx_host_test"), "first value");
  const auto lines = host.ListEnv();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "SX_HOST_TEST=first value"), lines.end());
  ASSERT_TRUE(host.SetEnv("Sx_Host_Test", std::nullopt));
  EXPECT_FALSE(host.GetEnv("SX_HOST_TEST"));
  EXPECT_FALSE(host.GetEnv("SX_NEVER_SET_ANYWHERE"));
}

TEST(SystemServices, PathsResolveAgainstTheCurrentFolder) {
  test::TempMachine machine;
  auto& host = machine.host();
  EXPECT_EQ(host.FullPath("C:\\a\\b\\..\\c\\.\\d.txt"), "C:\\a\\c\\d.txt");
  const std::string temp = host.TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(host.GetFileInfo(temp)->attributes & kAttrDirectory);

  ASSERT_TRUE(host.CreateFolder("C:\\sxcwd"));
  const std::string before = host.CurrentFolder();
  ASSERT_TRUE(host.SetCurrentFolder("C:\\sxcwd"));
  EXPECT_EQ(host.CurrentFolder(), "C:\\sxcwd");
  EXPECT_EQ(host.FullPath("x.txt"), "C:\\sxcwd\\x.txt");
  EXPECT_EQ(host.FullPath("..\\y.txt"), "C:\\y.txt");
  EXPECT_FALSE(host.SetCurrentFolder("C:\\sxcwd\\missing"));
  EXPECT_EQ(host.CurrentFolder(), "C:\\sxcwd");
  ASSERT_TRUE(host.SetCurrentFolder(before));
  EXPECT_TRUE(host.RemoveFolder("C:\\sxcwd"));
}

TEST(SystemServices, CodePageConversionAndLocaleCase) {
  test::TempMachine machine;
  auto& host = machine.host();
  if (host.Facts().systemLocale.ansiCodePage != 1252) GTEST_SKIP() << "the cases are for code page 1252";
  EXPECT_EQ(host.AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(host.Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
  EXPECT_EQ(host.Utf8ToAnsi("\xE4\xB8\xAD"), "?");  // not in the code page
  EXPECT_EQ(host.UpperCaseLocale("abc \xE9\xF6"), "ABC \xC9\xD6");
  EXPECT_EQ(host.CompareLocale("Setup", "SETUP", true), 0);
  EXPECT_NE(host.CompareLocale("Setup", "SETUP", false), 0);
  EXPECT_LT(host.CompareLocale("apple", "Banana", true), 0);
}

TEST(SystemServices, LibrariesLoadByPathAndFindTheirExports) {
  test::TempMachine machine;
  auto& host = machine.host();
  auto library = host.LoadLibrary(OnDriveZ(SX_PROBE_LIBRARY));
  ASSERT_TRUE(library) << "error " << host.LastError();
  auto answer = reinterpret_cast<int (*)()>(library->Symbol("ProbeAnswer"));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer(), 42);
  EXPECT_FALSE(library->Symbol("NoSuchExport"));
  EXPECT_EQ(host.LastError(), kErrorProcNotFound);
  EXPECT_FALSE(host.LoadLibrary("C:\\no such library.dll"));
  EXPECT_EQ(host.LastError(), kErrorModNotFound);
}

TEST(SystemServices, TimesConvertBothWays) {
  test::TempMachine machine;
  auto& host = machine.host();
  const FileTime now = host.SystemTimeNow();
  EXPECT_EQ(host.LocalToUtc(host.UtcToLocal(now)), now);
  EXPECT_GE(FileTimeToSystemTime(now).year, 2024);
  const uint32_t start = host.TickCount();
  // The tick count may advance in coarse steps (about 16 ms on Windows and Wine): sleep well past them.
  host.Sleep(100);
  EXPECT_GE(host.TickCount() - start, 50u);
}

}  // namespace
}  // namespace sx::host
