// The INI document: line reading, load options, duplicate sections, reads and writes, the
// normalising write-back, the open file that keeps other writers out, crash-safe rewriting, and
// the key index against a plain linear search.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "host/host_wrapper.h"
#include "tests/support/temp_machine.h"
#include "util/case_tables.h"
#include "util/ini_file.h"
#include "util/line_io.h"

namespace sx {
namespace {

using StringList = std::vector<std::string>;
using namespace std::string_literals;

void Put(test::TempMachine& machine, const std::string& relative, const std::string& content) {
  test::WriteHostFile(machine.HostPath(relative), content);
}
std::string Get(test::TempMachine& machine, const std::string& relative) {
  return test::ReadHostFile(machine.HostPath(relative));
}
// A document with the options the engine uses.
std::unique_ptr<TqvIniFile> Open(std::string_view name, bool readOnly = false, bool strip = true) {
  return std::make_unique<TqvIniFile>(name, readOnly, true, true, true, strip);
}
StringList Sections(TqvIniFile& ini) {
  StringList list{"stale"};
  ini.ReadSections(list);
  return list;
}
StringList Values(TqvIniFile& ini, std::string_view section) {
  StringList list;
  ini.ReadSectionValues(section, list);
  return list;
}

TEST(IniLineReading, CrEndsLinesLfIsDroppedAndPositionFollowsTheCr) {
  test::TempMachine machine;
  auto file = machine.host().OpenFile("C:\\lines.txt", {host::OpenMode::kCreateAlways, false});
  auto lines = [&](const std::string& content) {
    EXPECT_TRUE(file->Seek(0) && file->Truncate() && file->Write(content.data(), content.size()));
    EXPECT_TRUE(file->Seek(0));
    LineReader reader(*file);
    StringList result;
    for (std::string line; reader.ReadLine(line);) result.push_back(line);
    return result;
  };
  EXPECT_EQ(lines("a\r\nb\r\n"), (StringList{"a", "b", ""}));
  EXPECT_EQ(lines("a\r"), StringList{"a"});          // a final CR starts no further line
  EXPECT_EQ(lines("x\ny\nz\n"), StringList{"xyz"});  // LF alone ends nothing
  EXPECT_EQ(lines(""), StringList{});
  EXPECT_EQ(lines("a\0b\rc"s), (StringList{"a\0b"s, "c"}));
  // Lines straddling the reader's blocks, a CR as the last byte of a block.
  std::string content;
  StringList expected;
  for (size_t length : {65535u, 1u, 200000u, 0u}) {
    expected.push_back(std::string(length, 'q'));
    content += expected.back() + "\r\n";
  }
  expected.push_back("");
  EXPECT_EQ(lines(content), expected);

  // Done reading, the file stands right after the CR of the last line returned.
  lines("first\r\nsecond");
  ASSERT_TRUE(file->Seek(0));
  LineReader reader(*file);
  std::string line;
  ASSERT_TRUE(reader.ReadLine(line) && reader.Finish());
  EXPECT_EQ(file->Position().value(), 6u);
  ASSERT_TRUE(file->Seek(0) && file->Truncate() && WriteLine(*file, "one") && WriteLine(*file, ""));
  EXPECT_EQ(file->Size().value(), 7u);  // CR LF after each line
}

TEST(IniLoading, ExampleFileWithAndWithoutQuoteStripping) {
  test::TempMachine machine;
  Put(machine, "drive_c/example.ini", "; note\r\n[Main]\r\nPath = \"C:\\Program Files\"\r\nFlag\r\n");
  auto ini = Open("C:\\example.ini");
  EXPECT_EQ(Sections(*ini), StringList{"Main"});
  EXPECT_EQ(Values(*ini, "Main"), StringList{"Path=C:\\Program Files"});
  EXPECT_EQ(ini->ReadString("main", "PATH", ""), "C:\\Program Files");
  EXPECT_FALSE(ini->Modified());
  auto quoted = Open("C:\\example.ini", true, /*strip=*/false);  // the engine after start-up
  EXPECT_EQ(quoted->ReadString("MAIN", "path", ""), "\"C:\\Program Files\"");
}

TEST(IniLoading, OptionRulesForQuotesBlanksControlsAndComments) {
  test::TempMachine machine;
  Put(machine, "drive_c/q.ini",
      "k=outside\r\n\x1A\r\n \t[S]\t \r\na='x'\r\nb=\"x'\r\nc=\"\r\nd=\"\"\r\n=\"x\"\r\n"
      "e=\"x\"y\"\r\nf\t \t=\t v = w \r\n\x01g=x\"\x1F\r\n"s + "z=\0\r\n[]\r\nempty=1\r\n[T]\r\n"s);
  auto ini = Open("C:\\q.ini");
  EXPECT_EQ(Sections(*ini), (StringList{"S", "", "T"}));
  EXPECT_EQ(Values(*ini, "s"), (StringList{"a=x", "b=\"x'", "c=\"", "d=", "=\"x\"", "e=x\"y",
                                           "f=v = w", "g=x\"", "z="}));
  EXPECT_EQ(ini->ReadString("", "empty", ""), "1");

  Put(machine, "drive_c/raw.ini", "[S]\r\n;comment\r\nFlag\r\nk \t= \t'v'\r\n");
  TqvIniFile raw("C:\\raw.ini", true, false, false, false, false);
  EXPECT_EQ(Values(raw, "S"), (StringList{";comment", "Flag", "k \t= \t'v'"}));
  EXPECT_EQ(raw.ReadString("S", "k \t", ""), " \t'v'");
  StringList names;
  raw.ReadSection("S", names);
  EXPECT_EQ(names, (StringList{"", "", "k \t"}));  // a line without "=" has no name
}

bool KeepLater(intptr_t data, const std::string& name, const TqvIniFile::Lines& first,
               const TqvIniFile::Lines& second) {
  reinterpret_cast<StringList*>(data)->push_back(name + ":" + first.front() + ">" + second.front());
  return false;
}

TEST(IniLoading, DuplicateSectionsFirstWinsUnlessTheHandlerPrefersTheLater) {
  test::TempMachine machine;
  Put(machine, "drive_c/dup.ini", "[A]\r\nx=1\r\n[B]\r\nz=3\r\n[a]\r\ny=2\r\n[A]\r\nq=9\r\n");
  auto ini = Open("C:\\dup.ini");
  EXPECT_EQ(Sections(*ini), (StringList{"A", "B"}));
  EXPECT_EQ(ini->ReadString("A", "y", "none"), "none");
  ini->WriteString("B", "w", "4");
  EXPECT_TRUE(ini->UpdateFile());
  EXPECT_EQ(Get(machine, "drive_c/dup.ini"), "[A]\r\nx=1\r\n\r\n[B]\r\nz=3\r\nw=4\r\n\r\n");

  Put(machine, "drive_c/dup2.ini", "[A]\r\nx=1\r\n[B]\r\nz=3\r\n[a]\r\ny=2\r\n[A]\r\nq=9\r\n");
  StringList calls;
  ini->SetDuplicateSectionHandler(KeepLater, reinterpret_cast<intptr_t>(&calls));
  ini->SetFileName("C:\\dup2.ini");
  EXPECT_EQ(Sections(*ini), (StringList{"B", "A"}));  // the last [A], in its own place
  EXPECT_EQ(Values(*ini, "a"), StringList{"q=9"});
  EXPECT_EQ(calls, (StringList{"A:x=1>y=2", "a:y=2>q=9"}));
}

TEST(IniBadInput, LfOnlyNulBytesTenMegabyteLineAndNoSections) {
  test::TempMachine machine;
  Put(machine, "drive_c/lf.ini", "[Main]\nkey=value\n");
  EXPECT_EQ(Sections(*Open("C:\\lf.ini")), StringList{});  // one line, not a section header
  Put(machine, "drive_c/lf2.ini", "[S]\nk=v\n[T]\n");
  EXPECT_EQ(Sections(*Open("C:\\lf2.ini")), StringList{"S]k=v[T"});
  Put(machine, "drive_c/none.ini", "a=1\r\nb=2\r\n");
  EXPECT_EQ(Sections(*Open("C:\\none.ini")), StringList{});

  Put(machine, "drive_c/nul.ini", "[S]\r\nk=a\0b\r\n[\0]\r\nz=1\r\n"s);
  auto ini = Open("C:\\nul.ini");
  EXPECT_EQ(ini->ReadString("S", "k", ""), "a\0b"s);
  EXPECT_EQ(ini->ReadString("\0"s, "z", ""), "1");
  ini->WriteString("S", "n", "1");
  ini.reset();
  EXPECT_EQ(Get(machine, "drive_c/nul.ini"), "[S]\r\nk=a\0b\r\nn=1\r\n\r\n[\0]\r\nz=1\r\n\r\n"s);

  const std::string big(10 * 1024 * 1024, 'x');
  Put(machine, "drive_c/big.ini", "[S]\r\nk=" + big + "\r\nnext=1\r\n");
  ini = Open("C:\\big.ini");
  EXPECT_EQ(ini->ReadString("S", "k", "").size(), big.size());
  EXPECT_EQ(ini->ReadString("S", "next", ""), "1");
}

TEST(IniReading, ReadIntegerTakesHexOnlyAfter0x) {
  test::TempMachine machine;
  Put(machine, "drive_c/n.ini",
      "[N]\r\nhex=0x1F\r\nup=0X1f\r\nplain=1F\r\ndec=12\r\nneg=-5\r\nbare=0x\r\nall=0xFFFFFFFF\r\n"
      "wide=0x100000000\r\nbig=4294967295\r\nsign=0x-1\r\nlong=0x" + std::string(255, '0') +
      "1\r\ntwo=2\r\n");
  auto ini = Open("C:\\n.ini");
  const std::pair<const char*, int32_t> cases[] = {
      {"hex", 31}, {"UP", 31}, {"plain", 7}, {"dec", 12}, {"neg", -5}, {"bare", 7}, {"all", -1},
      {"wide", 7}, {"big", 7}, {"sign", 7}, {"long", 0} /* 255 digits are read */, {"none", 7}};
  for (auto [key, expected] : cases) EXPECT_EQ(ini->ReadInteger("n", key, 7), expected) << key;
  EXPECT_TRUE(ini->ReadBool("N", "two", false));
  EXPECT_FALSE(ini->ReadBool("N", "plain", false));
  EXPECT_TRUE(ini->ReadBool("N", "none", true));
  ini->WriteInteger("W", "i", -12);
  ini->WriteBool("W", "t", true);
  EXPECT_EQ(Values(*ini, "W"), (StringList{"i=-12", "t=1"}));
}

TEST(IniReading, SectionValuesDefaultsAndFirstLineOfAName) {
  test::TempMachine machine;
  Put(machine, "drive_c/v.ini", "[S]\r\na=1\r\nc=3\r\n[D]\r\nKey=1\r\nkey=2\r\nKEY=3\r\n");
  auto ini = Open("C:\\v.ini");
  StringList list{"a=0", "b=0", "none"};
  ini->ReadSectionValues("s", list);
  EXPECT_EQ(list, (StringList{"a=1", "c=3", "b=0", "none"}));
  ini->ReadSectionValues("missing", list);
  EXPECT_EQ(list.size(), 4u);
  StringList names{"kept"};
  ini->ReadSection("S", names);  // appends
  EXPECT_EQ(names, (StringList{"kept", "a", "c"}));

  EXPECT_EQ(ini->ReadString("d", "kEy", ""), "1");
  const TqvIniFile::Lines* lines = nullptr;
  EXPECT_EQ(ini->FindKey("D", "KEY", &lines, false), 0);
  EXPECT_EQ(lines->size(), 3u);
  EXPECT_EQ(ini->FindKey("T", "key", &lines, false), -1);
  EXPECT_EQ(lines, nullptr);
  // Deleting the first line uncovers the next of that name, which a write then replaces.
  ini->DeleteKey("D", "key");
  ini->WriteString("D", "KEY", "4");
  EXPECT_EQ(Values(*ini, "D"), (StringList{"KEY=4", "KEY=3"}));
  EXPECT_EQ(ini->FindKey("D", "key", nullptr, false), 0);
}

TEST(IniReading, NamesFollowTheMachinesCodePage) {
  {
    test::TempMachine machine("[Locale]\nUser=RUS\nSystem=RUS\n");
    Put(machine, "drive_c/ru.ini", "[\xEF\xF0\xE8\xEC\xE5\xF0]\r\n\xEA\xEB\xFE\xF7=1\r\n");
    EXPECT_EQ(Open("C:\\ru.ini")->ReadString("\xCF\xD0\xC8\xCC\xC5\xD0", "\xCA\xCB\xDE\xD7", ""), "1");
  }
  test::TempMachine machine;
  // Windows-1252: é and É are one name; ÷ and × are two, though a case pair in Windows-1251.
  Put(machine, "drive_c/we.ini", "[\xE9t\xE9]\r\na=1\r\n[\xF7]\r\nb=1\r\n[\xD7]\r\nc=1\r\n");
  auto ini = Open("C:\\we.ini");
  EXPECT_EQ(ini->ReadString("\xC9T\xC9", "A", ""), "1");
  EXPECT_EQ(Sections(*ini), (StringList{"\xE9t\xE9", "\xF7", "\xD7"}));
  EXPECT_TRUE(SameTextFast("\xF7", "\xD7"));  // what the fixed tables would have merged
}

TEST(IniWriting, NormalisedWriteBackIdenticalWritesAndEmptyNames) {
  test::TempMachine machine;
  Put(machine, "drive_c/n.ini",
      "top=dropped\r\n; c\r\n[Main]\r\n\r\nPath = \"x\"\r\nFlag\r\n[Empty]\r\n[Other]\r\n\n x = 1 \r\n");
  auto ini = Open("C:\\n.ini");
  ini->WriteString("main", "Path", "x");  // identical: nothing changes
  EXPECT_FALSE(ini->Modified());
  ini->WriteString("Main", "New", "v");
  EXPECT_TRUE(ini->Modified());
  EXPECT_EQ(Get(machine, "drive_c/n.ini").substr(0, 3), "top");  // not written yet
  EXPECT_TRUE(ini->UpdateFile());
  EXPECT_EQ(Get(machine, "drive_c/n.ini"), "[Main]\r\nPath=x\r\nNew=v\r\n\r\n[Other]\r\nx=1\r\n\r\n");

  ini->WriteString("Main", "PATH", "x");  // the same name in other letters is another line
  EXPECT_EQ(Values(*ini, "Main"), (StringList{"PATH=x", "New=v"}));
  ini->WriteString("Main", "", "");     // erases the section
  ini->WriteString("x", "", "value");   // erases nothing that is there
  EXPECT_EQ(Sections(*ini), (StringList{"Empty", "Other"}));  // kept, though never written
  ini->WriteString("", "k", "v");       // the section without name
  ini->WriteString("", "", "");         // writes at once, and cuts the shorter file
  EXPECT_FALSE(ini->Modified());
  EXPECT_EQ(Get(machine, "drive_c/n.ini"), "[Other]\r\nx=1\r\n\r\n[]\r\nk=v\r\n\r\n");
}

TEST(IniWriting, DeleteKeySectionValuesAndDocumentsThatNeverWrite) {
  test::TempMachine machine;
  Put(machine, "drive_c/k.ini", "[S]\r\na=1\r\nb=2\r\n");
  auto ini = Open("C:\\k.ini");
  ini->DeleteKey("New", "k");  // the missing section is made empty and never written
  EXPECT_EQ(Sections(*ini), (StringList{"S", "New"}));
  EXPECT_FALSE(ini->Modified());
  ini->DeleteKey("s", "A");
  EXPECT_TRUE(ini->Modified());
  // Only "name=value" lines with a name are written: "=x" would erase the section.
  ini->WriteSectionValues("S", {"b=3", "c=4", "plain", "=x", "", "d=e=f"});
  ini.reset();  // freeing writes
  EXPECT_EQ(Get(machine, "drive_c/k.ini"), "[S]\r\nb=3\r\nc=4\r\nd=e=f\r\n\r\n");

  auto reader = Open("C:\\k.ini", /*readOnly=*/true);
  reader->WriteString("S", "b", "9");
  EXPECT_EQ(reader->ReadString("S", "b", ""), "9");
  EXPECT_FALSE(reader->UpdateFile());  // the change cannot reach the file
  reader.reset();
  EXPECT_EQ(Get(machine, "drive_c/k.ini"), "[S]\r\nb=3\r\nc=4\r\nd=e=f\r\n\r\n");
  auto memory = Open("");
  memory->WriteString("S", "k", "v");
  EXPECT_EQ(memory->ReadString("S", "k", ""), "v");
  EXPECT_FALSE(memory->UpdateFile());
}

TEST(IniFiles, RelativeNamesMissingFilesAndTheHandleThatKeepsWritersOut) {
  test::TempMachine machine;
  auto& host = machine.host();
  Put(machine, "drive_c/windows/app.ini", "[S]\r\nk=win\r\n");
  auto ini = Open("app.ini");
  EXPECT_EQ(ini->FileName(), "C:\\windows\\app.ini");
  EXPECT_EQ(ini->ReadString("S", "k", ""), "win");
  EXPECT_EQ(TqvIniFile::ExpandFileName("C:app.ini"), "C:app.ini");
  EXPECT_EQ(TqvIniFile::ExpandFileName("sub\\app.ini"), "sub\\app.ini");

  EXPECT_TRUE(ini->HasOpenFile());
  EXPECT_FALSE(host.OpenFile("C:\\windows\\APP.ini", {host::OpenMode::kReadWrite, false}));
  EXPECT_EQ(host.LastError(), host::kErrorSharingViolation);
  EXPECT_EQ(Open("app.ini", true)->ReadString("S", "k", ""), "win");  // readers are welcome
  try {
    Open("APP.INI");
    ADD_FAILURE() << "a second writable document opened the file";
  } catch (const EEngineError& error) {
    EXPECT_STREQ(error.what(), "Cannot open file C:\\windows\\APP.INI");
  }
  ini->SetFileName("C:\\new\\deep\\x.ini");  // a missing file: no handle, nothing made yet
  EXPECT_TRUE(host.OpenFile("C:\\windows\\app.ini", {host::OpenMode::kReadWrite, true}));
  EXPECT_FALSE(ini->HasOpenFile());
  EXPECT_FALSE(host.GetFileInfo("C:\\new"));
  ini->WriteString("S", "k", "v");
  EXPECT_TRUE(ini->UpdateFile());
  EXPECT_EQ(Get(machine, "drive_c/new/deep/x.ini"), "[S]\r\nk=v\r\n\r\n");
  EXPECT_FALSE(host.OpenFile("C:\\new\\deep\\x.ini", {host::OpenMode::kReadWrite, false}));
  EXPECT_FALSE(Open("C:\\new\\deep\\x.ini", true)->HasOpenFile());  // read-only closes at once

  ASSERT_TRUE(host.SetFileAttributes("C:\\windows\\app.ini", host::kAttrReadOnly));
  EXPECT_THROW(Open("app.ini"), EIniFileError);
  ASSERT_TRUE(host.CreateFolder("C:\\folder.ini"));
  EXPECT_THROW(Open("C:\\folder.ini", true), EIniFileError);
}

// A file that fails: its writes at once, its writes after half of the bytes (a crash in the
// middle), or its reads. The host installs itself while it lives.
enum class Fault { kWrite, kHalfWrite, kRead };

class FailingFile : public host::FileWrapper {
 public:
  FailingFile(std::unique_ptr<host::File> inner, Fault fault) : FileWrapper(std::move(inner)), fault_(fault) {}
  std::optional<size_t> Read(void* buffer, size_t count) override {
    if (fault_ != Fault::kRead) return Inner().Read(buffer, count);
    host::CurrentHost().SetLastError(host::kErrorReadFault);
    return std::nullopt;
  }
  bool Write(const void* data, size_t count) override {
    if (fault_ == Fault::kHalfWrite) Inner().Write(data, count / 2);
    host::CurrentHost().SetLastError(host::kErrorDiskFull);
    return false;
  }

 private:
  Fault fault_;
};

class FailingHost : public host::HostWrapper {
 public:
  FailingHost(host::Host& inner, std::string path, Fault fault)
      : HostWrapper(inner), path_(std::move(path)), fault_(fault), previous_(host::SetCurrentHost(this)) {}
  ~FailingHost() override { host::SetCurrentHost(previous_); }
  std::unique_ptr<host::File> OpenFile(std::string_view path, host::OpenOptions options) override {
    auto file = HostWrapper::OpenFile(path, options);
    if (file && SameTextFast(path, path_)) return std::make_unique<FailingFile>(std::move(file), fault_);
    return file;
  }

 private:
  std::string path_;
  Fault fault_;
  host::Host* previous_;
};

// Writes 200 keys after "k=old"; the content the file should then have.
std::string ManyKeys(TqvIniFile& ini) {
  std::string expected = "[S]\r\nk=old\r\n";
  for (int i = 0; i < 200; ++i) {
    ini.WriteString("S", "key" + std::to_string(i), "value");
    expected += "key" + std::to_string(i) + "=value\r\n";
  }
  return expected + "\r\n";
}

TEST(IniWriteBack, FailuresNeverLeaveAHalfWrittenFileBehind) {
  test::TempMachine machine;
  auto& host = machine.host();
  Put(machine, "drive_c/a.ini", "[S]\r\nk=old\r\n");
  {  // No room for the journal: the file stays as it was.
    FailingHost failing(host, "C:\\a.ini.sxjournal.sxnew", Fault::kWrite);
    auto ini = Open("C:\\a.ini");
    ManyKeys(*ini);
    EXPECT_FALSE(ini->UpdateFile());
    EXPECT_FALSE(ini->Modified());  // cleared all the same
  }
  EXPECT_EQ(Get(machine, "drive_c/a.ini"), "[S]\r\nk=old\r\n");
  EXPECT_FALSE(host.GetFileInfo("C:\\a.ini.sxjournal"));

  std::string expected;
  {  // The rewrite stops half-way: the journal holds the whole.
    FailingHost failing(host, "C:\\a.ini", Fault::kHalfWrite);
    auto ini = Open("C:\\a.ini");
    expected = ManyKeys(*ini);
    EXPECT_FALSE(ini->UpdateFile());
  }
  const std::string broken = Get(machine, "drive_c/a.ini");
  ASSERT_EQ(broken, expected.substr(0, broken.size()));
  ASSERT_LT(broken.size(), expected.size());
  EXPECT_EQ(Get(machine, "drive_c/a.ini.sxjournal"), expected);
  // A reader takes the journal's content and changes nothing; a writer finishes the rewrite.
  EXPECT_EQ(Open("C:\\a.ini", true)->ReadString("S", "key199", ""), "value");
  EXPECT_EQ(Get(machine, "drive_c/a.ini"), broken);
  EXPECT_EQ(Open("C:\\a.ini")->ReadString("S", "key199", ""), "value");
  EXPECT_EQ(Get(machine, "drive_c/a.ini"), expected);
  EXPECT_FALSE(host.GetFileInfo("C:\\a.ini.sxjournal"));

  // A journal older than the file (put back from a copy since) is discarded.
  Put(machine, "drive_c/a.ini.sxjournal", "[S]\r\nk=stale\r\n\r\n");
  host::FileTime old = host::SystemTimeToFileTime({2001, 1, 0, 1, 12, 0, 0, 0});
  ASSERT_TRUE(host.SetFileTimes("C:\\a.ini", nullptr, nullptr, &old));
  EXPECT_EQ(Open("C:\\a.ini")->ReadString("S", "k", ""), "old");
  EXPECT_FALSE(host.GetFileInfo("C:\\a.ini.sxjournal"));

  // Half a document must not pass for the whole: written back, it would lose the rest.
  FailingHost failing(host, "C:\\a.ini", Fault::kRead);
  EXPECT_THROW(Open("C:\\a.ini", true), EIniFileError);
}

// The key index against a model that searches line by line.
class LinearModel {
 public:
  void Write(const std::string& section, const std::string& key, const std::string& value) {
    if (key.empty()) return Erase(section);
    StringList& lines = Lines(section);
    auto at = Find(lines, key);
    if (at == lines.end()) lines.push_back(key + "=" + value);
    else *at = key + "=" + value;
  }
  void Delete(const std::string& section, const std::string& key) {
    StringList& lines = Lines(section);
    if (auto at = Find(lines, key); at != lines.end()) lines.erase(at);
  }
  void Erase(const std::string& section) {
    std::erase_if(sections_, [&](const auto& s) { return Same(s.first, section); });
  }
  std::string Read(const std::string& section, const std::string& key) {
    for (auto& [name, lines] : sections_) {
      if (!Same(name, section)) continue;
      auto at = Find(lines, key);
      return at == lines.end() ? "<none>" : at->substr(at->find('=') + 1);
    }
    return "<none>";
  }
  StringList Dump() const {  // every section name followed by its lines
    StringList list;
    for (const auto& [name, lines] : sections_) {
      list.push_back(name);
      list.insert(list.end(), lines.begin(), lines.end());
    }
    return list;
  }

 private:
  static bool Same(const std::string& a, const std::string& b) {
    return host::CurrentHost().UpperCaseLocale(a) == host::CurrentHost().UpperCaseLocale(b);
  }
  static StringList::iterator Find(StringList& lines, const std::string& key) {
    return std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return Same(line.substr(0, line.find('=')), key);
    });
  }
  StringList& Lines(const std::string& name) {
    for (auto& [section, lines] : sections_)
      if (Same(section, name)) return lines;
    return sections_.emplace_back(name, StringList{}).second;
  }
  std::vector<std::pair<std::string, StringList>> sections_;
};

TEST(IniIndex, RandomOperationsMatchALinearSearch) {
  test::TempMachine machine;
  auto ini = Open("");
  LinearModel model;
  const StringList sections{"S", "s", "T", "t", ""}, keys{"a", "A", "b", "Key", "KEY", "x", ""};
  const StringList values{"1", "2", ""};
  std::mt19937 random(20240611);
  auto pick = [&](const StringList& from) { return from[random() % from.size()]; };
  for (int step = 0; step < 20000; ++step) {
    const std::string section = pick(sections), key = pick(keys), value = pick(values);
    switch (random() % 10) {
      case 0:
        ini->DeleteKey(section, key);
        model.Delete(section, key);
        break;
      case 1:
        ini->EraseSection(section);
        model.Erase(section);
        break;
      default:
        if (key.empty() && section.empty() && value.empty()) break;  // a flush
        ini->WriteString(section, key, value);
        model.Write(section, key, value);
    }
    ASSERT_EQ(ini->ReadString(section, key, "<none>"), model.Read(section, key)) << step;
    if (step % 100 != 0) continue;
    StringList dump;
    for (const std::string& name : Sections(*ini)) {
      dump.push_back(name);
      for (const std::string& line : Values(*ini, name)) dump.push_back(line);
    }
    ASSERT_EQ(dump, model.Dump()) << step;
  }
}

}  // namespace
}  // namespace sx
