// The registry as the engine sees it: the roots and their files, the ANSI view of UTF-16 names
// and data, and the rules of the Windows registry calls.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "host/posix/codepage.h"
#include "host/posix/registry.h"
#include "host/posix/registry_hive.h"
#include "host/posix/thread_error.h"

namespace sx::host {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "sx-registry-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Machine {
  explicit Machine(uint32_t codePage = 1252, bool hklmWritable = true, bool samples = false)
      : ansi(codePage) {
    if (samples) {
      for (const char* name : {"system.reg", "user.reg", "userdef.reg"})
        fs::copy_file(std::string(SX_FIXTURES_DIR) + "/wine-prefix/" + name, folder.File(name));
    }
    registry = std::make_unique<Registry>(
        Registry::Files{folder.File("system.reg"), folder.File("user.reg"),
                        folder.File("userdef.reg")},
        ansi, hklmWritable);
  }
  std::string Text(const std::string& name) const { return ReadFile(folder.File(name)); }

  TempFolder folder;
  CodePage ansi;
  std::unique_ptr<Registry> registry;
};

RegValue Sz(const std::string& text) { return RegValue{kRegSz, text + '\0'}; }

constexpr RegRoot kHKLM = RegRoot::kLocalMachine;
constexpr RegRoot kHKCU = RegRoot::kCurrentUser;
constexpr RegRoot kHKCR = RegRoot::kClassesRoot;
constexpr RegRoot kHKU = RegRoot::kUsers;

// ---- the ANSI view

TEST(RegistryAnsiView, BytesAbove127RoundTripAndAreStoredAsUnicode) {
  struct Case {
    uint32_t codePage;
    std::string ansi;           // bytes as the engine writes them
    std::string escapedInFile;  // how the file holds them
  };
  const Case cases[] = {
      {1252, "Caf\xe9 \x80", "Caf\\xe9 \\x20ac"},            // é, €
      {1251, "\xcf\xf0\xe8\xe2\xe5\xf2", "\\x41f\\x440\\x438\\x432\\x435\\x442"},  // Привет
  };
  for (const Case& c : cases) {
    Machine m(c.codePage);
    std::string key = "Software\\" + c.ansi;
    ASSERT_TRUE(m.registry->CreateKey(kHKCU, key));
    ASSERT_TRUE(m.registry->SetValue(kHKCU, key, c.ansi, Sz(c.ansi)));
    ASSERT_TRUE(m.registry->SetValue(kHKCU, key, "multi",
                                     RegValue{kRegMultiSz, c.ansi + '\0' + c.ansi + '\0' + '\0'}));
    ASSERT_TRUE(m.registry->SetValue(kHKCU, key, "raw", RegValue{kRegBinary, c.ansi}));
    ASSERT_TRUE(m.registry->Flush());

    std::string text = m.Text("user.reg");
    EXPECT_NE(text.find("[Software\\\\" + c.escapedInFile + "]"), std::string::npos) << text;
    EXPECT_NE(text.find("\"" + c.escapedInFile + "\"=\"" + c.escapedInFile + "\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"multi\"=str(7):\"" + c.escapedInFile + "\\0" + c.escapedInFile + "\\0\""),
              std::string::npos)
        << text;

    // A fresh registry (a new process) reads the same bytes back.
    Machine again(c.codePage);
    fs::copy_file(m.folder.File("user.reg"), again.folder.File("user.reg"));
    EXPECT_EQ(again.registry->EnumKeys(kHKCU, "Software"), std::vector<std::string>{c.ansi});
    EXPECT_EQ(again.registry->QueryValue(kHKCU, key, c.ansi), Sz(c.ansi));
    EXPECT_EQ(again.registry->QueryValue(kHKCU, key, "multi")->data,
              c.ansi + '\0' + c.ansi + '\0' + '\0');
    EXPECT_EQ(again.registry->QueryValue(kHKCU, key, "raw")->data, c.ansi);  // binary: untouched
    auto values = again.registry->EnumValues(kHKCU, key);
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 3u);
    EXPECT_EQ((*values)[0].name, c.ansi);
  }
}

TEST(RegistryAnsiView, EveryByteOfTheCodePageSurvives) {
  for (uint32_t codePage : {1252u, 1251u}) {
    Machine m(codePage);
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    ASSERT_TRUE(m.registry->CreateKey(kHKCU, "K"));
    ASSERT_TRUE(m.registry->SetValue(kHKCU, "K", "", Sz(all)));
    ASSERT_TRUE(m.registry->Flush());
    Machine again(codePage);
    fs::copy_file(m.folder.File("user.reg"), again.folder.File("user.reg"));
    EXPECT_EQ(again.registry->QueryValue(kHKCU, "K", ""), Sz(all)) << codePage;
  }
}

TEST(RegistryAnsiView, StringDataCarriesItsNulsAsStored) {
  Machine m;
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "K"));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "K", "sz", Sz("abc")));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "K", "empty", Sz("")));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "K", "multi", RegValue{kRegMultiSz, "a\0b\0\0"s}));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "K", "bare", RegValue{kRegSz, "abc"}));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "K", "dw", RegValue{kRegDword, "\x01\x02\x03\x04"s}));
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "K", "sz")->data, "abc\0"s);
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "K", "empty")->data, "\0"s);
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "K", "multi")->data, "a\0b\0\0"s);
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "K", "bare")->data, "abc");  // as written: no NUL
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "K", "dw")->data, "\x01\x02\x03\x04"s);
  ASSERT_TRUE(m.registry->Flush());
  std::string text = m.Text("user.reg");
  EXPECT_NE(text.find("\"sz\"=\"abc\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"empty\"=\"\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"multi\"=str(7):\"a\\0b\\0\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"bare\"=hex(1):61,00,62,00,63,00\n"), std::string::npos);
  EXPECT_NE(text.find("\"dw\"=dword:04030201\n"), std::string::npos);
}

TEST(RegistryAnsiView, WineSamplesReadThroughTheHostCalls) {
  Machine m(1252, true, true);
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "Control Panel\\Colors", "ActiveTitle"),
            Sz("50 150 250"));
  EXPECT_EQ(m.registry->QueryValue(kHKLM, "Software\\Classes\\.bmp", "Content Type"),
            Sz("image/bmp"));
  auto shellFolders = m.registry->QueryValue(
      kHKU, ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      "AppData");
  EXPECT_EQ(shellFolders, Sz("C:\\users\\root\\AppData\\Roaming"));
}

// ---- names, paths and the rules of the calls

TEST(RegistryCalls, NamesIgnoreCaseAndPathsTolerateStrayBackslashes) {
  Machine m;
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "\\Software\\\\Vendor\\App\\"));
  EXPECT_TRUE(m.registry->KeyExists(kHKCU, "software\\VENDOR\\app"));
  EXPECT_TRUE(m.registry->KeyExists(kHKCU, "Software\\Vendor\\App\\\\"));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "SOFTWARE\\vendor\\APP", "Path", Sz("C:\\x")));
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "Software\\Vendor\\App", "PATH"), Sz("C:\\x"));
  // The name keeps the case it was made with; setting through another case keeps it.
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "Software\\Vendor\\App", "path", Sz("C:\\y")));
  EXPECT_EQ(m.registry->EnumValues(kHKCU, "Software\\Vendor\\App")->at(0).name, "Path");
  EXPECT_EQ(m.registry->EnumKeys(kHKCU, "Software"), std::vector<std::string>{"Vendor"});
  // Non-ASCII letters compare ignoring case too (É is é in cp1252).
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "Software\\\xc9t\xe9"));
  EXPECT_TRUE(m.registry->KeyExists(kHKCU, "software\\\xe9T\xc9"));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "Software\\Vendor", "\xc9", Sz("1")));
  EXPECT_EQ(m.registry->QueryValue(kHKCU, "Software\\Vendor", "\xe9"), Sz("1"));
}

TEST(RegistryCalls, MissingKeysAndValuesFailWithFileNotFound) {
  Machine m;
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->KeyExists(kHKCU, "Nope"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->SetValue(kHKCU, "Nope", "v", Sz("x")));  // needs an existing key
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  EXPECT_FALSE(m.registry->KeyExists(kHKCU, "Nope"));
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "K"));
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->QueryValue(kHKCU, "K", "v"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->QueryValue(kHKCU, "K", ""));  // no default value set
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->DeleteValue(kHKCU, "K", "v"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->DeleteKey(kHKCU, "K\\Sub"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->EnumKeys(kHKCU, "Nope"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->EnumValues(kHKCU, "Nope"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
}

TEST(RegistryCalls, DeleteKeyRefusesKeysWithSubKeysAndRoots) {
  Machine m;
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "A\\B\\C"));
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->DeleteKey(kHKCU, "A\\B"));
  EXPECT_EQ(ThreadError(), kErrorAccessDenied);
  EXPECT_TRUE(m.registry->KeyExists(kHKCU, "A\\B\\C"));
  EXPECT_TRUE(m.registry->DeleteKey(kHKCU, "a\\b\\c"));
  EXPECT_TRUE(m.registry->DeleteKey(kHKCU, "A\\B"));
  EXPECT_FALSE(m.registry->KeyExists(kHKCU, "A\\B"));
  EXPECT_TRUE(m.registry->KeyExists(kHKCU, "A"));
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->DeleteKey(kHKCU, ""));
  EXPECT_EQ(ThreadError(), kErrorAccessDenied);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->DeleteKey(kHKCR, "\\"));
  EXPECT_EQ(ThreadError(), kErrorAccessDenied);
  EXPECT_FALSE(m.registry->DeleteKey(kHKU, ".Default"));
}

TEST(RegistryCalls, ChangesStampTheKeyWithTheCurrentTime) {
  Machine m;
  uint64_t before = NowFileTimeTicks();
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "A\\B"));
  ASSERT_TRUE(m.registry->SetValue(kHKCU, "A", "v", Sz("1")));
  ASSERT_TRUE(m.registry->Flush());
  uint64_t after = NowFileTimeTicks();
  std::string text = m.Text("user.reg");
  for (const char* key : {"[A] ", "[A\\\\B] "}) {
    size_t at = text.find(std::string("\n") + key);
    ASSERT_NE(at, std::string::npos) << key << text;
    size_t time = text.find("#time=", at);
    uint64_t ticks = std::stoull(text.substr(time + 6, text.find('\n', time) - time - 6), nullptr, 16);
    EXPECT_GE(ticks, before);
    EXPECT_LE(ticks, after);
  }
}

TEST(RegistryCalls, EnumerationListsSubKeysInOrderAndValuesAsStored) {
  Machine m;
  for (const char* name : {"zeta", "Alpha", "_under", "beta"})
    ASSERT_TRUE(m.registry->CreateKey(kHKCU, std::string("K\\") + name));
  for (const char* name : {"z", "a", "", "m"})
    ASSERT_TRUE(m.registry->SetValue(kHKCU, "K", name, Sz(name)));
  EXPECT_EQ(m.registry->EnumKeys(kHKCU, "K"),
            (std::vector<std::string>{"_under", "Alpha", "beta", "zeta"}));
  auto values = m.registry->EnumValues(kHKCU, "K");
  ASSERT_TRUE(values);
  std::vector<std::string> names;
  for (const auto& v : *values) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"z", "a", "", "m"}));
  EXPECT_EQ((*values)[2].value, Sz(""));
  EXPECT_TRUE(m.registry->DeleteValue(kHKCU, "K", "A"));
  EXPECT_EQ(m.registry->EnumValues(kHKCU, "K")->size(), 3u);
}

// ---- roots

TEST(RegistryRoots, EachRootLivesInItsFile) {
  Machine m;
  ASSERT_TRUE(m.registry->CreateKey(kHKLM, "Software\\InMachine"));
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "Software\\InUser"));
  ASSERT_TRUE(m.registry->CreateKey(kHKU, ".DEFAULT\\Software\\InDefault"));
  ASSERT_TRUE(m.registry->Flush());
  EXPECT_NE(m.Text("system.reg").find("REGISTRY\\\\Machine\n"), std::string::npos);
  EXPECT_NE(m.Text("system.reg").find("[Software\\\\InMachine]"), std::string::npos);
  EXPECT_NE(m.Text("user.reg").find("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"),
            std::string::npos);
  EXPECT_NE(m.Text("user.reg").find("[Software\\\\InUser]"), std::string::npos);
  EXPECT_NE(m.Text("userdef.reg").find("REGISTRY\\\\User\\\\.Default\n"), std::string::npos);
  EXPECT_NE(m.Text("userdef.reg").find("[Software\\\\InDefault]"), std::string::npos);
  EXPECT_FALSE(m.registry->KeyExists(kHKCU, "Software\\InMachine"));
}

TEST(RegistryRoots, ClassesRootIsTheViewOfMachineSoftwareClasses) {
  Machine m;
  ASSERT_TRUE(m.registry->CreateKey(kHKCR, ".xyz"));
  ASSERT_TRUE(m.registry->SetValue(kHKCR, ".xyz", "", Sz("xyzfile")));
  EXPECT_EQ(m.registry->QueryValue(kHKLM, "Software\\Classes\\.xyz", ""), Sz("xyzfile"));
  ASSERT_TRUE(m.registry->CreateKey(kHKLM, "Software\\Classes\\xyzfile\\shell\\open"));
  EXPECT_TRUE(m.registry->KeyExists(kHKCR, "XYZFILE\\Shell\\Open"));
  EXPECT_EQ(m.registry->EnumKeys(kHKCR, ""), (std::vector<std::string>{".xyz", "xyzfile"}));
  EXPECT_TRUE(m.registry->DeleteKey(kHKCR, "xyzfile\\shell\\open"));
  EXPECT_FALSE(m.registry->KeyExists(kHKLM, "Software\\Classes\\xyzfile\\shell\\open"));
}

TEST(RegistryRoots, UsersHoldsOnlyTheDefaultUser) {
  Machine m;
  EXPECT_TRUE(m.registry->KeyExists(kHKU, ""));
  EXPECT_EQ(m.registry->EnumKeys(kHKU, ""), std::vector<std::string>{".Default"});
  EXPECT_EQ(m.registry->EnumValues(kHKU, "")->size(), 0u);
  EXPECT_TRUE(m.registry->KeyExists(kHKU, ".default"));
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->KeyExists(kHKU, "S-1-5-21-0-0-0-1000"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->CreateKey(kHKU, "Other\\Software"));
  EXPECT_EQ(ThreadError(), kErrorAccessDenied);
  ThreadError() = 0;
  EXPECT_FALSE(m.registry->SetValue(kHKU, "", "v", Sz("x")));
  EXPECT_EQ(ThreadError(), kErrorAccessDenied);
}

TEST(RegistryRoots, ReadOnlyMachineDeniesWritesUnderMachineAndClasses) {
  Machine setup;
  ASSERT_TRUE(setup.registry->CreateKey(kHKLM, "Software\\Classes\\.txt"));
  ASSERT_TRUE(setup.registry->SetValue(kHKLM, "Software\\Classes\\.txt", "", Sz("txtfile")));
  ASSERT_TRUE(setup.registry->Flush());
  CodePage ansi(1252);
  Registry registry({setup.folder.File("system.reg"), setup.folder.File("user.reg"),
                     setup.folder.File("userdef.reg")},
                    ansi, false);
  for (RegRoot root : {kHKLM, kHKCR}) {
    std::string key = root == kHKLM ? "Software\\Classes\\.txt" : ".txt";
    EXPECT_EQ(registry.QueryValue(root, key, ""), Sz("txtfile"));  // reading is fine
    ThreadError() = 0;
    EXPECT_FALSE(registry.CreateKey(root, key + "\\New"));
    EXPECT_EQ(ThreadError(), kErrorAccessDenied);
    ThreadError() = 0;
    EXPECT_FALSE(registry.CreateKey(root, key));  // even when it exists: opened for writing
    EXPECT_EQ(ThreadError(), kErrorAccessDenied);
    ThreadError() = 0;
    EXPECT_FALSE(registry.SetValue(root, key, "", Sz("other")));
    EXPECT_EQ(ThreadError(), kErrorAccessDenied);
    ThreadError() = 0;
    EXPECT_FALSE(registry.DeleteValue(root, key, ""));
    EXPECT_EQ(ThreadError(), kErrorAccessDenied);
    ThreadError() = 0;
    EXPECT_FALSE(registry.DeleteKey(root, key));
    EXPECT_EQ(ThreadError(), kErrorAccessDenied);
  }
  EXPECT_TRUE(registry.CreateKey(kHKCU, "Software\\Mine"));  // the user's own hive is writable
  EXPECT_TRUE(registry.Flush());
  EXPECT_EQ(registry.QueryValue(kHKLM, "Software\\Classes\\.txt", ""), Sz("txtfile"));
}

TEST(RegistryRoots, LinkKeysLeadToTheirTargets) {
  Machine m(1252, true, true);
  // Software\Wow6432Node\Classes -> Software\Classes\Wow6432Node, whose AppId -> Software\Classes\AppId.
  ASSERT_TRUE(m.registry->CreateKey(kHKLM, "Software\\Classes\\AppId\\{test}"));
  ASSERT_TRUE(m.registry->SetValue(kHKLM, "Software\\Classes\\AppId\\{test}", "", Sz("linked")));
  EXPECT_EQ(m.registry->QueryValue(kHKLM, "Software\\Wow6432Node\\Classes\\AppId\\{test}", ""),
            Sz("linked"));
  ASSERT_TRUE(m.registry->CreateKey(kHKLM, "Software\\Wow6432Node\\Classes\\AppId\\{made}"));
  EXPECT_TRUE(m.registry->KeyExists(kHKLM, "Software\\Classes\\AppId\\{made}"));
  // The link key itself is listed and keeps its own value.
  auto keys = m.registry->EnumKeys(kHKLM, "Software\\Wow6432Node");
  ASSERT_TRUE(keys);
  EXPECT_NE(std::find(keys->begin(), keys->end(), "Classes"), keys->end());
  ASSERT_TRUE(m.registry->Flush());
  EXPECT_NE(m.Text("system.reg").find("[Software\\\\Classes\\\\AppID\\\\{made}]"),
            std::string::npos);
}

TEST(RegistryCalls, ConcurrentWritersFromThreadsAllLand) {
  Machine m;
  ASSERT_TRUE(m.registry->CreateKey(kHKCU, "K"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        std::string name = "v" + std::to_string(t) + "_" + std::to_string(i);
        m.registry->SetValue(kHKCU, "K", name, Sz(name));
        m.registry->CreateKey(kHKCU, "K\\" + name);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(m.registry->EnumValues(kHKCU, "K")->size(), 800u);
  EXPECT_EQ(m.registry->EnumKeys(kHKCU, "K")->size(), 800u);
  EXPECT_TRUE(m.registry->Flush());
}

}  // namespace
}  // namespace sx::host
