// The registry by path: splitting paths into root and sub-key, values as text in both
// directions (strings, DWORDs, hexadecimal binaries, multi-strings), typed writes, and deleting
// keys with and without their sub-trees.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/reg_paths.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

using host::RegRoot;
using Bytes = std::vector<uint8_t>;
using namespace std::string_literals;

constexpr char kKey[] = "HKCU\\Software\\SxTest";

void ExpectSplit(std::string_view path, RegRoot root, std::string_view subKey) {
  RegPath split = RegSplitPath(path);
  EXPECT_EQ(split.root, root) << path;
  EXPECT_EQ(split.subKey, subKey) << path;
}

Bytes Raw(std::string_view name) {
  Bytes data{0xEE};
  EXPECT_TRUE(RegReadBinary(kKey, name, data)) << name;
  return data;
}

TEST(RegSplitPath, RootsSubKeysAndTrailingBackslashes) {
  {
    test::TempMachine machine;
    ExpectSplit("hklm\\software\\x\\", RegRoot::kLocalMachine, "software\\x");
    ExpectSplit("HKEY_LOCAL_MACHINE\\Software", RegRoot::kCurrentUser, "HKEY_LOCAL_MACHINE\\Software");
    ExpectSplit("HKLM", RegRoot::kLocalMachine, "");
    ExpectSplit("HKLM\\", RegRoot::kLocalMachine, "");
    ExpectSplit("Software\\X", RegRoot::kCurrentUser, "Software\\X");
    ExpectSplit("hkcr\\.txt", RegRoot::kClassesRoot, ".txt");
    ExpectSplit("HKU\\.Default", RegRoot::kUsers, ".Default");
    ExpectSplit("HKLMX\\a", RegRoot::kCurrentUser, "HKLMX\\a");
    ExpectSplit("HKLM\\a\\\\", RegRoot::kLocalMachine, "a\\");  // one trailing backslash goes
    ExpectSplit("HKLM\\caf\xE9\\", RegRoot::kLocalMachine, "caf\xE9");
  }
  // Shift-JIS: 0x95 0x5C is one character whose second byte is the backslash code.
  test::TempMachine machine("[Locale]\nUser=JPN\nSystem=JPN\n");
  ExpectSplit("HKLM\\S\\\x95\x5C", RegRoot::kLocalMachine, "S\\\x95\x5C");
  ExpectSplit("HKLM\\S\\\x95\x5C\\", RegRoot::kLocalMachine, "S\\\x95\x5C");
}

TEST(RegValues, StringsAsStoredAndMissingValuesGiveTheDefault) {
  test::TempMachine machine;
  EXPECT_EQ(RegReadString("HKCU\\No\\Such\\Key", "v", "x"), "x");
  EXPECT_EQ(RegValueType(kKey, "missing"), 0u);
  EXPECT_EQ(RegValueSize(kKey, "missing"), 0u);
  EXPECT_FALSE(RegValueExists(kKey, "missing"));

  ASSERT_TRUE(RegWriteString("HKCU\\Software\\SxTest\\Deep\\Er\\", "s", "text"));  // keys made
  EXPECT_EQ(RegReadString("hkcu\\software\\sxtest\\deep\\er", "S", ""), "text");
  EXPECT_EQ(RegReadString("Software\\SxTest\\Deep\\Er", "s", ""), "text");  // HKCU by default
  EXPECT_EQ(RegValueType("Software\\SxTest\\Deep\\Er", "s"), 1u);
  EXPECT_EQ(RegValueSize("Software\\SxTest\\Deep\\Er", "s"), 5u);  // with its zero
  ASSERT_TRUE(RegWriteString(kKey, "", "default value"));
  EXPECT_EQ(RegReadString(kKey, "", ""), "default value");

  ASSERT_TRUE(RegWriteRaw(kKey, "expand", 2, "%SystemRoot%\0", 13));
  EXPECT_EQ(RegReadString(kKey, "expand", ""), "%SystemRoot%");  // not expanded
  ASSERT_TRUE(RegWriteRaw(kKey, "bare", 1, "abc", 3));  // stored without its zero
  EXPECT_EQ(RegReadString(kKey, "bare", ""), "abc");
  ASSERT_TRUE(RegWriteRaw(kKey, "qword", 11, "\1\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(RegReadString(kKey, "qword", "dflt"), "dflt");
}

TEST(RegValues, DwordRoundTripAndIntegerReads) {
  test::TempMachine machine;
  ASSERT_TRUE(RegWriteTyped(kKey, "all", 4, "4294967295"));
  EXPECT_EQ(Raw("all"), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(RegValueType(kKey, "all"), 4u);
  const std::string text = RegReadString(kKey, "all", "");
  EXPECT_EQ(text, "4294967295");
  ASSERT_TRUE(RegWriteTyped(kKey, "again", 4, text));
  EXPECT_EQ(Raw("again"), Raw("all"));
  EXPECT_EQ(RegReadInteger(kKey, "all", 7), -1);
  ASSERT_TRUE(RegWriteTyped(kKey, "neg", 4, "-2"));
  EXPECT_EQ(RegReadString(kKey, "neg", ""), "4294967294");
  ASSERT_TRUE(RegWriteTyped(kKey, "junk", 4, "12abc"));
  EXPECT_EQ(RegReadString(kKey, "junk", ""), "0");
  ASSERT_TRUE(RegWriteInteger(kKey, "n", 0x01020304));
  EXPECT_EQ(Raw("n"), (Bytes{4, 3, 2, 1}));

  // At most four bytes of any type; shorter data is zero-extended, longer data fails.
  ASSERT_TRUE(RegWriteBinary(kKey, "two", Bytes{0x34, 0x12}));
  EXPECT_EQ(RegReadInteger(kKey, "two", -1), 0x1234);
  ASSERT_TRUE(RegWriteBinary(kKey, "five", Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(RegReadInteger(kKey, "five", 77), 77);
  ASSERT_TRUE(RegWriteRaw(kKey, "longdword", 4, "\1\2\3\4\5", 5));
  EXPECT_EQ(RegReadString(kKey, "longdword", "-1"), "4294967295");  // the default, converted
}

TEST(RegValues, HexTextAndRawReads) {
  test::TempMachine machine;
  ASSERT_TRUE(RegWriteHex(kKey, "h", "0A 1b f"));
  EXPECT_EQ(Raw("h"), (Bytes{0x0A, 0x1B}));
  EXPECT_EQ(RegValueType(kKey, "h"), 3u);
  EXPECT_EQ(RegReadString(kKey, "h", "x"), "0A1B");
  EXPECT_EQ(RegReadHex(kKey, "missing", "x"), "x");
  ASSERT_TRUE(RegWriteHex(kKey, "bad", "zz12-1$1ff"));  // a pair that is not hex is 0
  EXPECT_EQ(Raw("bad"), (Bytes{0x00, 0x12, 0x00, 0x00, 0xFF}));
  ASSERT_TRUE(RegWriteTyped(kKey, "typed", 3, ""));
  EXPECT_EQ(RegReadHex(kKey, "typed", "x"), "");
  ASSERT_TRUE(RegWriteString(kKey, "s", "AB"));
  EXPECT_EQ(RegReadHex(kKey, "s", ""), "414200");  // any type reads as its bytes

  uint32_t size = 0;
  EXPECT_TRUE(RegReadRaw(kKey, "bad", nullptr, &size));
  EXPECT_EQ(size, 5u);
  uint8_t room[8] = {};
  size = 2;
  EXPECT_FALSE(RegReadRaw(kKey, "bad", room, &size));
  EXPECT_EQ(size, 5u);
  size = sizeof room;
  EXPECT_TRUE(RegReadRaw(kKey, "bad", room, &size));
  EXPECT_EQ(room[4], 0xFF);
  Bytes data{9};
  EXPECT_FALSE(RegReadBinary(kKey, "missing", data));
  EXPECT_TRUE(data.empty());
}

TEST(RegValues, MultiStringRoundTrip) {
  test::TempMachine machine;
  ASSERT_TRUE(RegWriteMultiString(kKey, "m", {"a", "b"}));
  EXPECT_EQ(Raw("m"), (Bytes{'a', 0, 'b', 0, 0}));
  const std::string text = RegReadString(kKey, "m", "");
  EXPECT_EQ(text, "a\r\nb");
  ASSERT_TRUE(RegWriteTyped(kKey, "back", 7, text));
  EXPECT_EQ(Raw("back"), Raw("m"));
  ASSERT_TRUE(RegWriteMultiText(kKey, "ends", "one\rtwo\nthree\r\n"));
  EXPECT_EQ(RegReadString(kKey, "ends", ""), "one\r\ntwo\r\nthree");
  ASSERT_TRUE(RegWriteMultiText(kKey, "empty", ""));
  EXPECT_EQ(Raw("empty"), Bytes{0});
  ASSERT_TRUE(RegWriteMultiString(kKey, "inner", {"a\rb", "c\nd"}));  // CR splits, LF vanishes
  EXPECT_EQ(Raw("inner"), (Bytes{'a', 0, 'b', 0, 'c', 'd', 0, 0}));
  ASSERT_TRUE(RegWriteRaw(kKey, "open", 7, "a\0b", 3));  // without its closing zeros
  EXPECT_EQ(RegReadString(kKey, "open", ""), "a\r\nb");
}

TEST(RegValues, TypedWritesByCode) {
  test::TempMachine machine;
  ASSERT_TRUE(RegWriteTyped(kKey, "expand", 2, "%TEMP%"));
  EXPECT_EQ(RegValueType(kKey, "expand"), 1u);  // written back as a plain string
  EXPECT_EQ(Raw("expand"), (Bytes{'%', 'T', 'E', 'M', 'P', '%', 0}));
  for (uint32_t type : {0u, 5u, 11u, 99u})
    EXPECT_FALSE(RegWriteTyped("HKCU\\Software\\SxUntouched", "v", type, "1")) << type;
  EXPECT_FALSE(RegKeyExists("HKCU\\Software\\SxUntouched"));  // nothing was made

  test::TempMachine locked("[System]\nHKLMWritable=0\n");
  EXPECT_FALSE(RegWriteTyped("HKLM\\Software\\SxTest", "v", 1, "x"));
  EXPECT_EQ(RegReadString("HKLM\\Software\\SxTest", "v", "d"), "d");
}

TEST(RegKeys, EnumerateDeleteValuesAndUniqueNames) {
  test::TempMachine machine;
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\SxTest\\A", "v", "1"));
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\SxTest\\B\\C", "v", "1"));
  std::vector<std::string> names{"stale"};
  RegEnumKeys("hkcu\\software\\sxtest\\", names);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{"A", "B"}));
  RegEnumKeys("HKCU\\Software\\Missing", names);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(RegKeyExists("HKLM\\Software\\"));
  EXPECT_FALSE(RegKeyExists("HKLM\\Software\\SxNothing"));
  EXPECT_TRUE(RegDeleteValue("HKCU\\Software\\SxTest\\A", "V"));
  EXPECT_FALSE(RegDeleteValue("HKCU\\Software\\SxTest\\A", "v"));

  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    std::string name = RegUniqueValueName(kKey, "Rename ");
    ASSERT_EQ(name.rfind("Rename ", 0), 0u);
    ASSERT_EQ(name.find_first_not_of("0123456789", 7), std::string::npos) << name;
    EXPECT_LE(std::stoll(name.substr(7)), 2147483646LL);
    EXPECT_FALSE(RegValueExists(kKey, name));
    ASSERT_TRUE(RegWriteString(kKey, name, "x"));
    EXPECT_TRUE(seen.insert(name).second);
  }
}

TEST(RegKeys, DeleteWithAndWithoutSubTreesButNeverARoot) {
  test::TempMachine machine;
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\SxTree\\A\\B", "v", "1"));
  ASSERT_TRUE(RegWriteString("HKCU\\Software\\SxTree\\A\\C\\D", "v", "1"));
  EXPECT_FALSE(RegDeleteKeyPath("HKCU\\Software\\SxTree\\A", false));  // it has sub-keys
  EXPECT_TRUE(RegKeyExists("HKCU\\Software\\SxTree\\A\\C\\D"));
  EXPECT_TRUE(RegDeleteKeyPath("hkcu\\software\\sxtree\\a\\c\\d\\", false));
  EXPECT_TRUE(RegDeleteKeyPath("hkcu\\software\\sxtree\\a", true));
  EXPECT_FALSE(RegKeyExists("HKCU\\Software\\SxTree\\A"));
  EXPECT_TRUE(RegKeyExists("HKCU\\Software\\SxTree"));
  EXPECT_FALSE(RegDeleteKeyPath("HKCU\\Software\\SxTree\\A", true));  // gone already

  std::string deep = "HKCU\\Software\\SxDeep";  // 300 levels and a wide level
  for (int i = 0; i < 300; ++i) deep += "\\k";
  ASSERT_TRUE(RegWriteString(deep, "v", "1"));
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(RegWriteInteger("HKCU\\Software\\SxDeep\\w" + std::to_string(i), "v", 1));
  EXPECT_TRUE(RegDeleteKeyPath("HKCU\\Software\\SxDeep", true));
  EXPECT_FALSE(RegKeyExists("HKCU\\Software\\SxDeep"));

  // A root is neither deleted nor emptied, nor is a key named like one taken for it.
  ASSERT_TRUE(RegWriteString("HKCU\\HKCU", "v", "1"));
  for (const char* root : {"HKCU", "hkcu\\", "HKLM", "HKU\\", "HKCR", ""})
    EXPECT_FALSE(RegDeleteKeyPath(root, true)) << root;
  EXPECT_EQ(RegReadString("HKCU\\Software\\SxTree", "", "kept"), "kept");
  EXPECT_TRUE(RegKeyExists("HKCU\\Software\\SxTree"));
  EXPECT_TRUE(RegKeyExists("HKLM\\Software"));
  EXPECT_TRUE(RegKeyExists("HKCU\\HKCU"));
}

}  // namespace
}  // namespace sx
