// The registry files of a machine folder: what a flush writes, that it is atomic, that a file
// changed on disk is read again with this process's unsaved changes made again on it, and that
// a damaged file is reported and never written over.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/posix/codepage.h"
#include "host/posix/registry.h"
#include "host/posix/registry_hive.h"
#include "host/posix/thread_error.h"
#include "host/posix/wine_reg_format.h"

namespace sx::host {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "sx-registry-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename());
    return names;
  }

 private:
  fs::path path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string Sample(const std::string& name) {
  return ReadFile(std::string(SX_FIXTURES_DIR) + "/wine-prefix/" + name);
}

// A machine folder with a registry over its three files.
struct Machine {
  explicit Machine(bool copySamples = false, uint32_t codePage = 1252, bool hklmWritable = true)
      : ansi(codePage) {
    if (copySamples)
      for (const char* name : {"system.reg", "user.reg", "userdef.reg"})
        WriteFile(folder.File(name), Sample(name));
    Open(hklmWritable);
  }
  void Open(bool hklmWritable = true) {
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

const std::string kUserHead =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n#arch=win32\n";

RegValue Sz(const std::string& text) { return RegValue{kRegSz, text + '\0'}; }

// ---- flushing

TEST(RegistryFlush, MissingFilesAreEmptyAndMadeOnlyAfterAChange) {
  Machine m;
  EXPECT_FALSE(m.registry->KeyExists(RegRoot::kCurrentUser, "Software"));
  EXPECT_EQ(ThreadError(), kErrorFileNotFound);
  EXPECT_TRUE(m.registry->KeyExists(RegRoot::kCurrentUser, ""));
  EXPECT_TRUE(m.registry->Flush());
  EXPECT_TRUE(m.folder.Names().empty());  // nothing changed: nothing written

  ASSERT_TRUE(m.registry->CreateKey(RegRoot::kCurrentUser, "Software\\Vendor"));
  ASSERT_TRUE(m.registry->SetValue(RegRoot::kCurrentUser, "Software\\Vendor", "Name", Sz("x")));
  EXPECT_TRUE(m.registry->Flush());
  EXPECT_EQ(m.folder.Names(), (std::set<std::string>{"user.reg", "user.reg.lock"}));
  std::string text = m.Text("user.reg");
  EXPECT_TRUE(text.starts_with(kUserHead)) << text;
  EXPECT_NE(text.find("\n[Software\\\\Vendor] "), std::string::npos) << text;
  EXPECT_NE(text.find("\n\"Name\"=\"x\"\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("\n[Software] "), std::string::npos);  // implied by its sub-key
}

TEST(RegistryFlush, NewFilesTakeTheArchitectureOfTheMachinesOtherFiles) {
  Machine m;
  WriteFile(m.folder.File("system.reg"), Sample("system.reg"));
  ASSERT_TRUE(m.registry->CreateKey(RegRoot::kUsers, ".Default\\Software\\New"));
  ASSERT_TRUE(m.registry->Flush());
  std::string text = m.Text("userdef.reg");
  EXPECT_TRUE(text.starts_with("WINE REGISTRY Version 2\n;; All keys relative to "
                               "REGISTRY\\\\User\\\\.Default\n\n#arch=win64\n"))
      << text;
}

TEST(RegistryFlush, WritesWineFormatAndKeepsEverythingElseOfTheFile) {
  Machine m(true);
  uint64_t before = NowFileTimeTicks();
  ASSERT_TRUE(m.registry->SetValue(RegRoot::kCurrentUser, "Control Panel\\Colors", "ActiveTitle",
                                   Sz("1 2 3")));
  ASSERT_TRUE(m.registry->SetValue(RegRoot::kCurrentUser, "Control Panel\\Colors", "Count",
                                   RegValue{kRegDword, std::string("\x2a\0\0\0", 4)}));
  ASSERT_TRUE(m.registry->Flush());
  EXPECT_EQ(m.folder.Names(),
            (std::set<std::string>{"system.reg", "user.reg", "user.reg.lock", "userdef.reg"}));
  // Untouched files are not rewritten.
  EXPECT_TRUE(m.Text("system.reg") == Sample("system.reg"));

  HiveContent original = ParseWineRegistry(Sample("user.reg"), "user.reg");
  HiveContent saved = ParseWineRegistry(m.Text("user.reg"), "user.reg");
  HiveKey* colors = saved.root->FindChild(u"Control Panel")->FindChild(u"Colors");
  ASSERT_NE(colors, nullptr);
  EXPECT_GE(colors->modified, before);
  EXPECT_LE(colors->modified, NowFileTimeTicks());
  // The changed value keeps its place; the new one comes last.
  EXPECT_EQ(colors->Values()[1].name, u"ActiveTitle");
  EXPECT_EQ(colors->Values().back().name, u"Count");
  EXPECT_NE(m.Text("user.reg").find("\n\"ActiveTitle\"=\"1 2 3\"\n"), std::string::npos);
  EXPECT_NE(m.Text("user.reg").find("\n\"Count\"=dword:0000002a\n"), std::string::npos);

  // Put the old value back and drop the new one: the rest of the file is as Wine wrote it.
  colors->SetValue(u"ActiveTitle", kRegSz,
                   original.root->FindChild(u"Control Panel")->FindChild(u"Colors")->Values()[1].data);
  colors->DeleteValue(u"Count");
  colors->modified =
      original.root->FindChild(u"Control Panel")->FindChild(u"Colors")->modified;
  EXPECT_TRUE(FormatWineRegistry(saved) == Sample("user.reg"));
}

TEST(RegistryFlush, LeavesNoTemporaryFileAndFailsWithoutTouchingTheOldFile) {
  Machine m(true);
  ASSERT_TRUE(m.registry->CreateKey(RegRoot::kCurrentUser, "Software\\One"));
  ASSERT_TRUE(m.registry->CreateKey(RegRoot::kLocalMachine, "Software\\Two"));
  ASSERT_TRUE(m.registry->Flush());
  const std::set<std::string> files = {"system.reg", "system.reg.lock", "user.reg",
                                       "user.reg.lock", "userdef.reg"};
  EXPECT_EQ(m.folder.Names(), files);

  // A file that cannot be replaced (a folder took its place): the flush fails, cleans up after
  // itself and keeps the change for a later flush.
  ASSERT_TRUE(m.registry->CreateKey(RegRoot::kUsers, ".Default\\Software\\Three"));
  fs::remove(m.folder.File("userdef.reg"));
  fs::create_directory(m.folder.File("userdef.reg"));
  WriteFile(m.folder.File("userdef.reg/keep"), "x");
  EXPECT_FALSE(m.registry->Flush());
  EXPECT_NE(ThreadError(), kErrorSuccess);
  std::set<std::string> withLock = files;
  withLock.insert("userdef.reg.lock");
  EXPECT_EQ(m.folder.Names(), withLock);
  fs::remove_all(m.folder.File("userdef.reg"));
  EXPECT_TRUE(m.registry->Flush());
  EXPECT_NE(m.Text("userdef.reg").find("[Software\\\\Three]"), std::string::npos);
}

// ---- reading again what changed on disk

TEST(RegistryReload, FileChangedOnDiskIsReadAgain) {
  Machine m;
  WriteFile(m.folder.File("user.reg"), kUserHead + "\n[App] 1700000000\n\"v\"=\"one\"\n");
  EXPECT_EQ(m.registry->QueryValue(RegRoot::kCurrentUser, "App", "v"), Sz("one"));

  // Replaced the way Wine and we write files (a new file renamed over the old one).
  WriteFile(m.folder.File("user.new"), kUserHead + "\n[App] 1700000000\n\"v\"=\"two\"\n");
  fs::rename(m.folder.File("user.new"), m.folder.File("user.reg"));
  EXPECT_EQ(m.registry->QueryValue(RegRoot::kCurrentUser, "App", "v"), Sz("two"));

  // Rewritten in place with the same size: the modification time tells.
  WriteFile(m.folder.File("user.reg"), kUserHead + "\n[App] 1700000000\n\"v\"=\"six\"\n");
  fs::last_write_time(m.folder.File("user.reg"),
                      fs::file_time_type::clock::now() + std::chrono::hours(1));
  EXPECT_EQ(m.registry->QueryValue(RegRoot::kCurrentUser, "App", "v"), Sz("six"));

  // Removed: an empty hive.
  fs::remove(m.folder.File("user.reg"));
  EXPECT_FALSE(m.registry->KeyExists(RegRoot::kCurrentUser, "App"));
}

TEST(RegistryReload, ChangesOfAnotherProcessAreReadAndOursAreMadeAgainOnThem) {
  Machine m;
  WriteFile(m.folder.File("user.reg"),
            kUserHead + "\n[App] 1700000000\n\"v\"=\"one\"\n\n[Gone] 1700000000\n\"x\"=\"1\"\n"
                        "\n[Keep] 1700000000\n\"y\"=\"1\"\n\"z\"=\"1\"\n");
  ASSERT_TRUE(m.registry->SetValue(RegRoot::kCurrentUser, "App", "mine", Sz("ours")));
  ASSERT_TRUE(m.registry->CreateKey(RegRoot::kCurrentUser, "New\\Sub"));
  ASSERT_TRUE(m.registry->SetValue(RegRoot::kCurrentUser, "Gone", "late", Sz("lost")));
  ASSERT_TRUE(m.registry->DeleteValue(RegRoot::kCurrentUser, "Keep", "y"));
  // Another process replaces the file meanwhile: it changed "v", made "Other", deleted "Gone".
  WriteFile(m.folder.File("user.new"),
            kUserHead + "\n[App] 1700000000\n\"v\"=\"two\"\n\n[Keep] 1700000000\n\"y\"=\"1\"\n"
                        "\"z\"=\"1\"\n\n[Other] 1700000000\n\"v\"=\"theirs\"\n");
  fs::rename(m.folder.File("user.new"), m.folder.File("user.reg"));

  // Reading sees both: theirs, and ours made again on theirs.
  EXPECT_EQ(m.registry->QueryValue(RegRoot::kCurrentUser, "App", "v"), Sz("two"));
  EXPECT_EQ(m.registry->QueryValue(RegRoot::kCurrentUser, "App", "mine"), Sz("ours"));
  EXPECT_EQ(m.registry->QueryValue(RegRoot::kCurrentUser, "Other", "v"), Sz("theirs"));
  EXPECT_TRUE(m.registry->KeyExists(RegRoot::kCurrentUser, "New\\Sub"));
  EXPECT_FALSE(m.registry->QueryValue(RegRoot::kCurrentUser, "Keep", "y"));
  // A value set in a key that was deleted after it is gone with the key.
  EXPECT_FALSE(m.registry->KeyExists(RegRoot::kCurrentUser, "Gone"));
  ASSERT_TRUE(m.registry->Flush());
  std::string text = m.Text("user.reg");
  for (const char* expected : {"\"v\"=\"two\"", "\"mine\"=\"ours\"", "\"v\"=\"theirs\"", "[New\\\\Sub]",
                               "\"z\"=\"1\""})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  EXPECT_EQ(text.find("Gone"), std::string::npos) << text;
  EXPECT_EQ(text.find("\"y\""), std::string::npos) << text;
}

TEST(RegistryReload, TwoRegistriesOnOneMachineKeepEachOthersChanges) {
  Machine m;
  Registry second(Registry::Files{m.folder.File("system.reg"), m.folder.File("user.reg"),
                                  m.folder.File("userdef.reg")},
                  m.ansi, true);
  // Each holds a change the other has not seen when it flushes.
  ASSERT_TRUE(m.registry->CreateKey(RegRoot::kLocalMachine, "Software\\Par"));
  ASSERT_TRUE(m.registry->SetValue(RegRoot::kLocalMachine, "Software\\Par", "first", Sz("1")));
  ASSERT_TRUE(second.CreateKey(RegRoot::kLocalMachine, "Software\\Par"));
  ASSERT_TRUE(second.SetValue(RegRoot::kLocalMachine, "Software\\Par", "second", Sz("2")));
  ASSERT_TRUE(second.Flush());
  ASSERT_TRUE(m.registry->Flush());
  ASSERT_TRUE(second.SetValue(RegRoot::kLocalMachine, "Software\\Par", "third", Sz("3")));
  ASSERT_TRUE(second.Flush());
  m.Open();
  for (const char* name : {"first", "second", "third"})
    EXPECT_TRUE(m.registry->QueryValue(RegRoot::kLocalMachine, "Software\\Par", name)) << name;
  // The lock file stays beside the hive; no temporary file is left.
  EXPECT_EQ(m.folder.Names(), (std::set<std::string>{"system.reg", "system.reg.lock"}));
}

// ---- damaged files

TEST(RegistryDamagedFile, IsReportedWithFileAndLineAndNeverWrittenOver) {
  Machine m(true);
  const std::string damaged = kUserHead + "\n[App] 1700000000\n\"v\"=\"one\"\n\"w\"=dword:xyz\n";
  WriteFile(m.folder.File("user.reg"), damaged);
  try {
    m.registry->QueryValue(RegRoot::kCurrentUser, "App", "v");
    ADD_FAILURE() << "a damaged file was accepted";
  } catch (const MachineError& e) {
    EXPECT_NE(std::string(e.what()).find(m.folder.File("user.reg") + ":8:"), std::string::npos)
        << e.what();
  }
  // Every use says so again, the other files work, and nothing replaces the damaged file.
  EXPECT_THROW(m.registry->CreateKey(RegRoot::kCurrentUser, "New"), MachineError);
  EXPECT_THROW(m.registry->EnumKeys(RegRoot::kCurrentUser, ""), MachineError);
  EXPECT_TRUE(m.registry->SetValue(RegRoot::kLocalMachine, "Software", "ok", Sz("1")));
  EXPECT_TRUE(m.registry->Flush());
  EXPECT_EQ(m.Text("user.reg"), damaged);
  m.Open();
  EXPECT_THROW(m.registry->KeyExists(RegRoot::kCurrentUser, "App"), MachineError);
  EXPECT_TRUE(m.registry->Flush());
  EXPECT_EQ(m.Text("user.reg"), damaged);

  // Repaired on disk: usable again.
  WriteFile(m.folder.File("user.reg"), kUserHead + "\n[App] 1700000000\n\"v\"=\"one\"\n");
  EXPECT_EQ(m.registry->QueryValue(RegRoot::kCurrentUser, "App", "v"), Sz("one"));
}

TEST(RegistryDamagedFile, DamagedAfterLoadingIsReportedAndNotWrittenOver) {
  Machine m;
  WriteFile(m.folder.File("user.reg"), kUserHead + "\n[App] 1700000000\n\"v\"=\"one\"\n");
  EXPECT_TRUE(m.registry->KeyExists(RegRoot::kCurrentUser, "App"));
  const std::string damaged = kUserHead + "\n[App 1700000000\n";
  WriteFile(m.folder.File("user.new"), damaged);
  fs::rename(m.folder.File("user.new"), m.folder.File("user.reg"));
  EXPECT_THROW(m.registry->KeyExists(RegRoot::kCurrentUser, "App"), MachineError);
  EXPECT_TRUE(m.registry->Flush());
  EXPECT_EQ(m.Text("user.reg"), damaged);
}

TEST(RegistryDamagedFile, UnreadableOrEmptyFileIsAnErrorNotAnEmptyRegistry) {
  Machine m;
  WriteFile(m.folder.File("system.reg"), "");
  EXPECT_THROW(m.registry->KeyExists(RegRoot::kLocalMachine, "Software"), MachineError);
  fs::remove(m.folder.File("system.reg"));
  fs::create_directory(m.folder.File("system.reg"));  // cannot be read as a file
  EXPECT_THROW(m.registry->KeyExists(RegRoot::kLocalMachine, "Software"), MachineError);
  EXPECT_TRUE(m.registry->Flush());
  EXPECT_TRUE(fs::is_directory(m.folder.File("system.reg")));
}

}  // namespace
}  // namespace sx::host
