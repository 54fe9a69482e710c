// Wine's registry text format: the real files of a Wine prefix come back out unchanged, every
// value type and escape reads as Wine means it, and damaged text is reported with its line.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include "host/host.h"
#include "host/posix/registry_hive.h"
#include "host/posix/wine_reg_format.h"

namespace sx::host {
namespace {

std::string Sample(const std::string& name) {
  std::ifstream in(std::string(SX_FIXTURES_DIR) + "/wine-prefix/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Bytes16(std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

// The key at a backslash-separated path below `root`, or nullptr.
const HiveKey* KeyAt(const HiveContent& content, std::u16string_view path) {
  const HiveKey* key = content.root.get();
  size_t start = 0;
  while (key && start < path.size()) {
    size_t sep = path.find(u'\\', start);
    if (sep == std::u16string_view::npos) sep = path.size();
    key = key->FindChild(path.substr(start, sep - start));
    start = sep + 1;
  }
  return key;
}

// Every key, value, type, data, class, link flag, option and time of two trees is the same.
void ExpectSameKeys(const HiveKey& a, const HiveKey& b, size_t* keys) {
  ++*keys;
  ASSERT_EQ(a.Name(), b.Name());
  EXPECT_EQ(a.modified, b.modified);
  EXPECT_EQ(a.keyClass, b.keyClass);
  EXPECT_EQ(a.link, b.link);
  EXPECT_EQ(a.otherOptions, b.otherOptions);
  ASSERT_EQ(a.Values().size(), b.Values().size());
  for (size_t i = 0; i < a.Values().size(); ++i) {
    EXPECT_EQ(a.Values()[i].name, b.Values()[i].name);
    EXPECT_EQ(a.Values()[i].type, b.Values()[i].type);
    EXPECT_EQ(a.Values()[i].data, b.Values()[i].data);
  }
  ASSERT_EQ(a.Children().size(), b.Children().size());
  for (auto ai = a.Children().begin(), bi = b.Children().begin(); ai != a.Children().end(); ++ai, ++bi)
    ExpectSameKeys(**ai, **bi, keys);
}

HiveContent Parse(std::string_view text) { return ParseWineRegistry(text, "test.reg"); }

std::string Wrap(std::string_view body) {
  return "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n" +
         std::string(body);
}

// ---- the samples of a real Wine prefix

TEST(RegistryRoundTrip, WineSamplesAreWrittenBackByteForByte) {
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    std::string text = Sample(name);
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_TRUE(FormatWineRegistry(ParseWineRegistry(text, name)) == text) << name;
  }
}

TEST(RegistryRoundTrip, WineSamplesLoadSaveLoadKeepEveryKeyAndValue) {
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    HiveContent first = ParseWineRegistry(Sample(name), name);
    HiveContent second = ParseWineRegistry(FormatWineRegistry(first), name);
    EXPECT_EQ(first.relativeTo, second.relativeTo);
    EXPECT_EQ(first.globalOptions, second.globalOptions);
    size_t keys = 0;
    ExpectSameKeys(*first.root, *second.root, &keys);
    EXPECT_GT(keys, 5u) << name;
  }
}

TEST(RegistryRoundTrip, WineSystemSampleReadsAsWineMeansIt) {
  HiveContent system = ParseWineRegistry(Sample("system.reg"), "system.reg");
  EXPECT_EQ(system.relativeTo, "REGISTRY\\\\Machine");
  EXPECT_EQ(system.RelativeToPath(), u"REGISTRY\\Machine");
  EXPECT_EQ(system.globalOptions, std::vector<std::string>{"#arch=win64"});

  const HiveKey* init = KeyAt(system, u"Software\\Borland\\Database Engine\\Settings\\SYSTEM\\INIT");
  ASSERT_NE(init, nullptr);
  EXPECT_EQ(init->modified, 0x1dd861448d8f63cull);
  const HiveValue* shared = init->FindValue(u"sharedmemlocation");
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->type, kRegSz);
  EXPECT_EQ(shared->data, Bytes16(std::u16string(u"9000") + u'\0'));

  // A link key with its REG_LINK target.
  const HiveKey* link = KeyAt(system, u"Software\\Wow6432Node\\Classes");
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->link);
  const HiveValue* target = link->FindValue(u"SymbolicLinkValue");
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->type, kRegLink);
  EXPECT_EQ(target->data, Bytes16(u"\\Registry\\Machine\\Software\\Classes\\Wow6432Node"));

  // A multi-string that ends properly (str(7)) and one that does not (kept as hex(7)).
  bool sawMulti = false, sawUnterminatedMulti = false, sawProperty = false;
  std::function<void(const HiveKey&)> visit = [&](const HiveKey& key) {
    for (const auto& value : key.Values()) {
      if (value.type == kRegMultiSz && value.name == u"Dll") {
        EXPECT_EQ(value.data, Bytes16(std::u16string(u"cryptnet.dll") + u'\0' + u'\0'));
        sawMulti = true;
      }
      if (value.type == kRegMultiSz && value.name == u"HardwareId") {
        EXPECT_EQ(value.data.substr(value.data.size() - 6), Bytes16(u"inf"));
        sawUnterminatedMulti = true;
      }
      if (value.type == 0xffff0007u) sawProperty = true;
    }
    for (const auto& child : key.Children()) visit(*child);
  };
  visit(*system.root);
  EXPECT_TRUE(sawMulti);
  EXPECT_TRUE(sawUnterminatedMulti);
  EXPECT_TRUE(sawProperty);
}

// ---- value types

TEST(RegistryFormat, EveryValueTypeParses) {
  HiveContent content = Parse(Wrap(
      "\n[Types] 1700000000\n"
      "#time=1d9f0e4a2b3c4d5\n"
      "@=\"default\"\n"
      "\"sz\"=\"abc\"\n"
      "\"empty\"=\"\"\n"
      "\"plain str\"=str:\"s\"\n"
      "\"expand\"=str(2):\"%SystemRoot%\\\\x\"\n"
      "\"multi\"=str(7):\"a\\0bc\\0\"\n"
      "\"dword\"=dword:0000002a\n"
      "\"short dword\"=dword:ff\n"
      "\"binary\"=hex:01,02,\\\n"
      "  0a,ff\n"
      "\"empty binary\"=hex:\n"
      "\"none\"=hex(0):\n"
      "\"expand as hex\"=hex(2):41,00,00,00\n"
      "\"multi as hex\"=hex(7):61,00,00,00,00,00\n"
      "\"qword\"=hex(b):2a,00,00,00,00,00,00,00\n"
      "\"property\"=hex(ffff0007):03,00,00,00\n"
      "  \"spaced\" = dword:00000001\n"));
  const HiveKey* key = KeyAt(content, u"types");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->modified, 0x1d9f0e4a2b3c4d5ull);
  auto expect = [&](std::u16string_view name, uint32_t type, const std::string& data) {
    const HiveValue* value = key->FindValue(name);
    ASSERT_NE(value, nullptr) << std::string(name.begin(), name.end());
    EXPECT_EQ(value->type, type) << std::string(name.begin(), name.end());
    EXPECT_EQ(value->data, data) << std::string(name.begin(), name.end());
  };
  using namespace std::string_literals;
  expect(u"", kRegSz, Bytes16(u"default\0"s));
  expect(u"sz", kRegSz, Bytes16(u"abc\0"s));
  expect(u"empty", kRegSz, Bytes16(u"\0"s));
  expect(u"plain str", kRegSz, Bytes16(u"s\0"s));
  expect(u"expand", kRegExpandSz, Bytes16(u"%SystemRoot%\\x\0"s));
  expect(u"multi", kRegMultiSz, Bytes16(u"a\0bc\0\0"s));
  expect(u"dword", kRegDword, "\x2a\0\0\0"s);
  expect(u"short dword", kRegDword, "\xff\0\0\0"s);
  expect(u"binary", kRegBinary, "\x01\x02\x0a\xff"s);
  expect(u"empty binary", kRegBinary, "");
  expect(u"none", kRegNone, "");
  expect(u"expand as hex", kRegExpandSz, "A\0\0\0"s);
  expect(u"multi as hex", kRegMultiSz, "a\0\0\0\0\0"s);
  expect(u"qword", kRegQword, "\x2a\0\0\0\0\0\0\0"s);
  expect(u"property", 0xffff0007u, "\x03\0\0\0"s);
  expect(u"spaced", kRegDword, "\x01\0\0\0"s);
  EXPECT_EQ(key->Values().front().name, u"");  // stored order is file order
  EXPECT_EQ(key->Values().back().name, u"spaced");
}

TEST(RegistryFormat, ValuesAreWrittenAsWineWritesThem) {
  using namespace std::string_literals;
  HiveContent content;
  content.relativeTo = "REGISTRY\\\\Machine";
  content.globalOptions = {"#arch=win32"};
  HiveKey* key = content.root->AddChild(u"K", 0x1da1747c67fd687ull);
  key->SetValue(u"sz", kRegSz, Bytes16(u"abc\0"s));
  key->SetValue(u"expand", kRegExpandSz, Bytes16(u"%x%\0"s));
  key->SetValue(u"multi", kRegMultiSz, Bytes16(u"a\0b\0\0"s));
  key->SetValue(u"unterminated", kRegSz, Bytes16(u"ab"));  // no NUL: only hex keeps it exact
  key->SetValue(u"odd", kRegSz, "a\0\0"s);
  key->SetValue(u"dword", kRegDword, "\x78\x56\x34\x12"s);
  key->SetValue(u"long dword", kRegDword, "\x01\x02\x03\x04\x05"s);
  key->SetValue(u"qword", kRegQword, "\x01\0\0\0\0\0\0\0"s);
  key->SetValue(u"", kRegBinary, std::string(30, '\xab'));
  EXPECT_EQ(FormatWineRegistry(content),
            "WINE REGISTRY Version 2\n"
            ";; All keys relative to REGISTRY\\\\Machine\n"
            "\n#arch=win32\n"
            "\n[K] 1700000000\n"
            "#time=1da1747c67fd687\n"
            "\"sz\"=\"abc\"\n"
            "\"expand\"=str(2):\"%x%\"\n"
            "\"multi\"=str(7):\"a\\0b\\0\"\n"
            "\"unterminated\"=hex(1):61,00,62,00\n"
            "\"odd\"=hex(1):61,00,00\n"
            "\"dword\"=dword:12345678\n"
            "\"long dword\"=hex(4):01,02,03,04,05\n"
            "\"qword\"=hex(b):01,00,00,00,00,00,00,00\n"
            "@=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
            "  ab,ab,ab,ab,ab,ab\n");
}

TEST(RegistryFormat, KeysClassesLinksAndOptionsSurviveARoundTrip) {
  std::string text = Wrap(
      "\n[] 1700000000\n"
      "#time=1da1747c67fd687\n"
      "\"at root\"=\"r\"\n"
      "\n[A\\\\B] 1700000001\n"
      "#time=1da1747c7186d07\n"
      "#class=\"My \\\"class\\\"\"\n"
      "#link\n"
      "#future=1\n"
      "\n[A\\\\B\\\\Empty] 1700000002\n"
      "#time=1da1747c7b10387\n"
      "\n[A\\\\Bracket\\]\\[ key] 1700000003\n"
      "#time=1da1747c8499a07\n"
      "@=\"x\"\n");
  HiveContent content = Parse(text);
  const HiveKey* b = KeyAt(content, u"a\\b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->keyClass, std::u16string(u"My \"class\""));
  EXPECT_TRUE(b->link);
  EXPECT_EQ(b->otherOptions, std::vector<std::string>{"#future=1"});
  EXPECT_NE(KeyAt(content, u"A\\Bracket][ key"), nullptr);
  ASSERT_NE(content.root->FindValue(u"at root"), nullptr);
  // "A" has sub-keys and nothing of its own, so it is implied, not written; all else comes back.
  EXPECT_EQ(FormatWineRegistry(content), text);
}

TEST(RegistryFormat, NamesEndingInNulSurviveARoundTrip) {
  using namespace std::string_literals;
  // "A" and "A<NUL>" are two keys (and "v", "v<NUL>" two values): a save must keep them apart.
  HiveContent content;
  content.relativeTo = "REGISTRY\\\\Machine";
  const std::u16string withNul(u"A\0", 2), valueWithNul(u"v\0", 2);
  HiveKey* plain = content.root->AddChild(u"A", 0x1da1747c67fd687ull);
  HiveKey* nul = content.root->AddChild(withNul, 0x1da1747c67fd687ull);
  ASSERT_NE(plain, nul);
  plain->SetValue(u"v", kRegDword, "\x01\0\0\0"s);
  nul->SetValue(u"v", kRegDword, "\x02\0\0\0"s);
  nul->SetValue(valueWithNul, kRegDword, "\x03\0\0\0"s);
  nul->keyClass = std::u16string(u"c\0", 2);
  std::string text = FormatWineRegistry(content);
  EXPECT_NE(text.find("[A\\0]"), std::string::npos) << text;
  HiveContent back = Parse(text);
  size_t keys = 0;
  ExpectSameKeys(*content.root, *back.root, &keys);
  EXPECT_EQ(keys, 3u);
  EXPECT_EQ(FormatWineRegistry(back), text);
}

TEST(RegistryFormat, EmptyHiveIsWrittenAsItsRootKey) {
  HiveContent content;
  content.relativeTo = "REGISTRY\\\\User\\\\.Default";
  content.root->modified = 116444736000000000ull + 10000000ull * 5;
  EXPECT_EQ(FormatWineRegistry(content),
            "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n"
            "\n[] 5\n#time=19db1ded8397080\n");
}

TEST(RegistryFormat, SubKeysAreOrderedAndFoundAsWineAndWindowsDo) {
  HiveKey root(u"", nullptr, 0);
  for (const char16_t* name : {u"b", u"_x", u"A", u"ab", u"\u00e9t\u00e9", u"Z"}) root.AddChild(name, 0);
  std::vector<std::u16string> order;
  for (const auto& child : root.Children()) order.push_back(child->Name());
  // Wine orders by lower case: '_' before the letters, a prefix before longer names.
  EXPECT_EQ(order, (std::vector<std::u16string>{u"_x", u"A", u"ab", u"b", u"Z", u"\u00e9t\u00e9"}));
  auto nth = [&](size_t i) { return std::next(root.Children().begin(), static_cast<long>(i))->get(); };
  EXPECT_EQ(root.FindChild(u"AB"), nth(2));
  EXPECT_EQ(root.FindChild(u"\u00c9T\u00c9"), nth(5));  // ÉTÉ is été
  EXPECT_EQ(root.FindChild(u"c"), nullptr);
  bool created = true;
  EXPECT_EQ(root.AddChild(u"z", 0, &created), nth(4));
  EXPECT_FALSE(created);
  EXPECT_NE(root.RemoveChild(root.FindChild(u"a")), nullptr);
  EXPECT_EQ(root.FindChild(u"A"), nullptr);
  EXPECT_EQ(root.Children().size(), 5u);
}

TEST(RegistryFormat, ManySubKeysInAnyOrderAreKeptInWinesOrder) {
  std::vector<std::u16string> names;
  for (int i = 0; i < 3000; ++i) {
    std::string n = (i % 3 ? "Key" : "key_") + std::to_string(i * 7919 % 3001);
    names.emplace_back(n.begin(), n.end());
  }
  std::vector<std::u16string> shuffled = names;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
  HiveKey inOrder(u"", nullptr, 0), anyOrder(u"", nullptr, 0);
  std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
    return NameSortKey(a) < NameSortKey(b);
  });
  for (const auto& name : names) inOrder.AddChild(name, 0);
  for (const auto& name : shuffled) anyOrder.AddChild(name, 0);
  std::vector<std::u16string> a, b;
  for (const auto& child : inOrder.Children()) a.push_back(child->Name());
  for (const auto& child : anyOrder.Children()) b.push_back(child->Name());
  EXPECT_EQ(a, names);
  EXPECT_EQ(b, names);
  // Every one is found by any letter case, removed once, and the rest stays in order.
  for (size_t i = 0; i < shuffled.size(); i += 2) {
    std::u16string upper = shuffled[i];
    for (auto& c : upper) c = FoldNameUnit(c);
    HiveKey* key = anyOrder.FindChild(upper);
    ASSERT_NE(key, nullptr);
    EXPECT_NE(anyOrder.RemoveChild(key), nullptr);
    EXPECT_EQ(anyOrder.FindChild(shuffled[i]), nullptr);
  }
  EXPECT_EQ(anyOrder.Children().size(), shuffled.size() / 2);
  EXPECT_TRUE(std::is_sorted(anyOrder.Children().begin(), anyOrder.Children().end(),
                             [](const auto& x, const auto& y) {
                               return NameSortKey(x->Name()) < NameSortKey(y->Name());
                             }));
  // Two names Windows tells apart with one sort key (the Kelvin sign and "k"): the one added
  // later goes first, as it always did.
  if (SortNameUnit(u'\u212a') == u'k') {
    HiveKey key(u"", nullptr, 0);
    key.AddChild(u"k", 0);
    key.AddChild(u"\u212a", 0);
    ASSERT_EQ(key.Children().size(), 2u);
    EXPECT_EQ((*key.Children().begin())->Name(), u"\u212a");
    EXPECT_NE(key.FindChild(u"K"), nullptr);
    EXPECT_EQ(key.FindChild(u"K")->Name(), u"k");
  }
}

TEST(RegistryFormat, RepeatedKeysAndValuesMergeWithTheLastWinning) {
  HiveContent content = Parse(Wrap(
      "\n[K] 1700000000\n\"v\"=\"one\"\n\"w\"=dword:00000001\n"
      "\n[k] 1700000000\n\"V\"=\"two\"\n"));
  const HiveKey* key = KeyAt(content, u"K");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(content.root->Children().size(), 1u);
  ASSERT_EQ(key->Values().size(), 2u);
  EXPECT_EQ(key->Values()[0].data, Bytes16(std::u16string(u"two") + u'\0'));
}

// ---- escapes

TEST(RegistryFormat, EscapesReadAsWineMeansThem) {
  std::u16string out;
  auto read = [&](std::string_view text) {
    size_t end = ParseWineString(text, 0, '"', out);
    EXPECT_EQ(end, text.size()) << text;
    return out;
  };
  EXPECT_EQ(read(R"(a\\b\"c")"), u"a\\b\"c");
  EXPECT_EQ(read(R"(\n\r\t\a\b\v\f\e")"), u"\n\r\t\a\b\v\f\x1b");
  EXPECT_EQ(read(R"(\0")"), std::u16string(1, u'\0'));
  EXPECT_EQ(read(R"(\101\0017")"), u"A\x01" u"7");  // octal: up to three digits
  EXPECT_EQ(read(R"(\xe9t\xe9")"), u"\u00e9t\u00e9");
  EXPECT_EQ(read(R"(\x00e9a")"), u"\u00e9a");        // four digits, then a hex letter
  EXPECT_EQ(read(R"(\x20ac12")"), u"\u20ac12");      // the reader stops after four digits
  EXPECT_EQ(read(R"(\x410\x44f")"), u"\u0410\u044f");
  EXPECT_EQ(read(R"(\xg")"), u"xg");                 // "\x" without digits is an 'x'
  EXPECT_EQ(read(R"(\]\[\q")"), u"][q");             // other escaped characters stand for themselves
  EXPECT_EQ(read("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""), u"caf\u00e9 \u20ac \U0001F600");
  EXPECT_EQ(read("bad \xff utf8\""), u"bad \ufffd utf8");
  EXPECT_EQ(ParseWineString(R"(no end)", 0, '"', out), std::string_view::npos);
  EXPECT_EQ(ParseWineString(R"(escaped end\")", 0, '"', out), std::string_view::npos);
}

TEST(RegistryFormat, EscapesAreWrittenAsWineWritesThem) {
  auto write = [](std::u16string_view text, char q1 = '"', char q2 = '"') {
    std::string out;
    size_t n = AppendWineEscaped(out, text, q1, q2);
    EXPECT_EQ(n, out.size());
    return out;
  };
  EXPECT_EQ(write(u"a\\b\"c"), R"(a\\b\"c)");
  EXPECT_EQ(write(u"[x]", '[', ']'), R"(\[x\])");
  EXPECT_EQ(write(u"\n\r\t\a\b\v\f\x1b"), R"(\n\r\t\a\b\v\f\e)");
  EXPECT_EQ(write(u"\x01x\x01" u"7\x10\x1f"), R"(\1x\0017\20\37)");
  EXPECT_EQ(write(std::u16string(u"a\0b\0", 4)), R"(a\0b\0)");  // a NUL at the end is kept
  EXPECT_EQ(write(u"\u00e9t\u00e9"), R"(\xe9t\xe9)");
  EXPECT_EQ(write(u"\u00e9a\u00e9F\u00e9g\u20ac1"), R"(\x00e9a\x00e9F\xe9g\x20ac1)");
  EXPECT_EQ(write(u"\u0410\u044f"), R"(\x410\x44f)");
  EXPECT_EQ(write(u"\x7f~"), "\x7f~");
}

TEST(RegistryFormat, EveryUtf16UnitSurvivesEscapingAndReading) {
  // Each unit followed by the characters that change how it must be written.
  std::u16string text;
  for (char32_t c = 1; c <= 0xFFFF; ++c) {
    text.push_back(static_cast<char16_t>(c));
    if (c % 7 == 0) text.push_back(u'a');
    if (c % 11 == 0) text.push_back(u'5');
    if (c % 13 == 0) text.push_back(u'"');
  }
  text.push_back(u'\0');
  text.push_back(u'0');
  std::string escaped;
  AppendWineEscaped(escaped, text, '"', '"');
  for (char c : escaped) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
  escaped.push_back('"');
  std::u16string back;
  EXPECT_EQ(ParseWineString(escaped, 0, '"', back), escaped.size());
  EXPECT_TRUE(back == text);
}

// ---- damaged text

TEST(RegistryFormat, DamagedTextIsReportedWithFileAndLine) {
  struct Case {
    std::string text;
    int line;
    const char* what;
  };
  const std::string head = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n";
  const Case cases[] = {
      {"", 0, "not a Wine registry file"},
      {"REGEDIT4\n", 1, "not a Wine registry file"},
      {head + "#arch=win16\n", 4, "architecture"},
      {head + "\"v\"=\"x\"\n", 4, "before the first key"},
      {head + "[K 1700000000\n", 4, "closing ']'"},
      {head + "[K] 17x\n", 4, "time"},
      {head + "[K\\\\\\\\L] 1\n", 4, "empty key name"},
      {head + "[K] 1\n#time=zz\n", 5, "#time"},
      {head + "[K] 1\n#class=\"open\n", 5, "#class"},
      {head + "[K] 1\n\"v\"=\"open\n", 5, "closing quote"},
      {head + "[K] 1\n\"v\"=\"x\" y\n", 5, "after the closing quote"},
      {head + "[K] 1\n\"v=\"x\"\n", 5, "'='"},
      {head + "[K] 1\n\"v\"=dword:123456789\n", 5, "dword"},
      {head + "[K] 1\n\"v\"=dword:\n", 5, "dword"},
      {head + "[K] 1\n\"v\"=hex:01,zz\n", 5, "hex data"},
      {head + "[K] 1\n\"v\"=hex:100\n", 5, "above ff"},
      {head + "[K] 1\n\"v\"=hex:01,,02\n", 5, "hex data"},
      {head + "[K] 1\n\"v\"=hex(7:00\n", 5, "type number"},
      {head + "[K] 1\n\"v\"=hex:01,\\\n  02,\\\n", 6, "ends inside a value"},
      {head + "[K] 1\n\"v\"=hex:01,\\ x\n", 5, "continuation"},
      {head + "[K] 1\n\"v\"=str(2)\"x\"\n", 5, "str("},
      {head + "[K] 1\n\"v\"=blob:00\n", 5, "unknown value type"},
      {head + "[K] 1\nstray text\n", 5, "unrecognized line"},
  };
  for (const Case& c : cases) {
    try {
      ParseWineRegistry(c.text, "/machine/system.reg");
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const MachineError& e) {
      std::string message = e.what();
      std::string where = "/machine/system.reg:" + std::to_string(c.line) + ":";
      EXPECT_NE(message.find(where), std::string::npos) << message << " / expected " << where;
      EXPECT_NE(message.find(c.what), std::string::npos) << message << " / expected " << c.what;
    }
  }
}

TEST(RegistryFormat, DamagedTextNeverCrashesTheReader) {
  // Bytes of a real file changed, dropped and cut at many places: the reader either reads the
  // result or reports it; it never crashes or hangs.
  const std::string original = Sample("user.reg");
  ASSERT_FALSE(original.empty());
  std::mt19937 random(20240607);
  const std::string alphabet = "\\\"[]@#=:,()x0a9\n \xff";
  int reported = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = original;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && text.size() > 31; ++e) {
      size_t at = 30 + random() % (text.size() - 30);
      switch (random() % 3) {
        case 0: text[at] = alphabet[random() % alphabet.size()]; break;
        case 1: text.erase(at, 1 + random() % 8); break;
        default: text.resize(at); break;
      }
    }
    try {
      HiveContent content = ParseWineRegistry(text, "user.reg");
      FormatWineRegistry(content);
    } catch (const MachineError& e) {
      ++reported;
      EXPECT_TRUE(std::string(e.what()).starts_with("user.reg:")) << e.what();
    }
  }
  EXPECT_GT(reported, 0);
  std::string deep = "WINE REGISTRY Version 2\n[";
  for (int i = 0; i < 600; ++i) deep += "k\\\\";
  deep += "k]\n";
  EXPECT_THROW(ParseWineRegistry(deep, "deep.reg"), MachineError);
}

TEST(RegistryFormat, HandMadeFilesWithCrLfAndCommentsRead) {
  HiveContent content = Parse(
      "WINE REGISTRY Version 2\r\n;; All keys relative to REGISTRY\\\\Machine\r\n"
      "; a comment\r\n\r\n[K]\r\n\"v\"=\"x\"\r\n\"b\"=hex:01,\\\r\n  02\r\n");
  const HiveKey* key = KeyAt(content, u"K");
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->Values().size(), 2u);
  EXPECT_EQ(key->Values()[0].data, Bytes16(std::u16string(u"x") + u'\0'));
  EXPECT_EQ(key->Values()[1].data, std::string("\x01\x02"));
  EXPECT_NE(key->modified, 0u);  // no time given: made now

  // Extra carriage returns after the header's key path are not part of it, so the text that
  // is written reads back to itself.
  content = Parse("WINE REGISTRY Version 2\n;; All keys relative to \\\\M\r\r\r\r\n");
  EXPECT_EQ(content.relativeTo, "\\\\M");
  const std::string written = FormatWineRegistry(content);
  EXPECT_EQ(FormatWineRegistry(Parse(written)), written);
}

}  // namespace
}  // namespace sx::host
