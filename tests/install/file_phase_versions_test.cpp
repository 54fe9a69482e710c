// The overwrite rules of the file phase: versions, dates, the answers to a version conflict,
// dont_ask and the repair mode.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "database/sx_variable_access.h"
#include "tests/install/file_phase_fixture.h"
#include "tests/support/pe_file.h"

namespace sx::test {
namespace {

class FilePhaseVersions : public FilePhaseTest {
 protected:
  void Answer(std::intptr_t reply) {
    services.onEvent = [reply](int number, std::intptr_t, std::intptr_t) -> std::intptr_t {
      return number == EV_VERSIONCONFLICT ? reply : 0;
    };
  }
  void Reset() {
    list().Clear();
    services.events.clear();
    services.calls.clear();
  }
};

TEST_F(FilePhaseVersions, NewerInstalledFilesAreKeptOrReplacedByTheAnswers) {
  const std::string older = MakeVersionedPe(1, 5, 0, 0);
  const std::string newer = MakeVersionedPe(2, 0, 0, 0);
  Build(R"(<sx2project><components>
      <component id="C1"><files><file src="*.dll" dst="C:\App\"/></files></component>
      <component id="C2"><files><file src="c.dll" dst="C:\App\c.dll" flags="dont_ask"/></files></component>
    </components></sx2project>)",
        {{"payload/C1/a.dll", older}, {"payload/C1/b.dll", older}, {"payload/C2/c.dll", older}});

  struct Case {
    std::intptr_t answer;
    bool replaced;
    size_t asked;
  };
  for (const Case& c : {Case{1, false, 2}, Case{2, true, 2}, Case{3, false, 1}, Case{4, true, 1}, Case{0, false, 2},
                        Case{7, false, 2}}) {
    SCOPED_TRACE(c.answer);
    Reset();
    for (const char* name : {"C:\\App\\a.dll", "C:\\App\\b.dll", "C:\\App\\c.dll"}) {
      CreateFolderPath("C:\\App");
      ASSERT_TRUE(WriteFile(name, newer));
    }
    Answer(c.answer);
    ASSERT_TRUE(Run());
    EXPECT_EQ(services.Events("conflict").size(), c.asked);
    if (c.asked) {
      EXPECT_EQ(services.Events("conflict")[0], "conflict C:\\App\\a.dll");
    }
    EXPECT_EQ(ReadFile("C:\\App\\a.dll") == older, c.replaced);
    EXPECT_EQ(ReadFile("C:\\App\\b.dll") == older, c.replaced);
    EXPECT_EQ(ReadFile("C:\\App\\c.dll"), newer) << "dont_ask keeps the installed file unasked";
    list().RollbackAll();
    EXPECT_EQ(ReadFile("C:\\App\\a.dll"), newer) << "the rollback restores the replaced file";
  }
}

TEST_F(FilePhaseVersions, SameVersionAndSizeIsSkippedUnlessRepairing) {
  const std::string packed = MakeVersionedPe(1, 5, 0, 0);
  Build(R"(<sx2project><components><component id="C1"><files>
      <file src="*.dll" dst="C:\App\"/></files></component></components></sx2project>)",
        {{"payload/C1/a.dll", packed}, {"payload/C1/b.dll", packed}});
  CreateFolderPath("C:\\App");
  ASSERT_TRUE(WriteFile("C:\\App\\a.dll", packed));
  ASSERT_TRUE(WriteFile("C:\\App\\b.dll", MakeVersionedPe(1, 5, 0, 0, 10)));  // same version, other size
  ASSERT_TRUE(Run());
  EXPECT_EQ(services.Events("process 1 C:").size(), 1u);
  EXPECT_EQ(services.Events("process 1 C:\\App\\a.dll").size(), 1u);
  EXPECT_EQ(services.Events("process 0 C:\\App\\b.dll").size(), 1u);
  EXPECT_TRUE(services.Events("conflict").empty());
  EXPECT_EQ(ReadFile("C:\\App\\b.dll"), packed);
  EXPECT_EQ(list().FindFileAction("C:\\App\\a.dll"), nullptr) << "a skipped file is not touched";

  Reset();
  services.repair = true;
  ASSERT_TRUE(Run());
  EXPECT_EQ(services.Events("process 0 C:\\App\\a.dll").size(), 1u) << "a repair writes it again";
  EXPECT_NE(list().FindFileAction("C:\\App\\a.dll"), nullptr);
}

TEST_F(FilePhaseVersions, WithoutVersionsTheDatesDecideAtDosResolutionInLocalTime) {
  const char* previous = std::getenv("TZ");
  const std::string saved = previous ? previous : "";
  setenv("TZ", "America/New_York", 1);
  tzset();
  struct tm local = {};
  local.tm_year = 2022 - 1900;
  local.tm_mon = 6;
  local.tm_mday = 14;
  local.tm_hour = 9;
  local.tm_min = 30;
  local.tm_sec = 21;  // an odd second: DOS times keep even seconds
  local.tm_isdst = -1;
  const time_t stamp = mktime(&local);
  Build(R"(<sx2project><components><component id="C1"><files>
      <file src="*.txt" dst="C:\App\"/></files></component></components></sx2project>)",
        {{"payload/C1/equal.txt", "package"}, {"payload/C1/later.txt", "package"}}, {},
        [&](const ProjectFolder& folder) {
          for (const char* name : {"payload/C1/equal.txt", "payload/C1/later.txt"}) {
            const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
            utimensat(AT_FDCWD, (folder / name).c_str(), times, 0);
          }
        });
  CreateFolderPath("C:\\App");
  ASSERT_TRUE(WriteFile("C:\\App\\equal.txt", "install"));  // same size
  ASSERT_TRUE(WriteFile("C:\\App\\later.txt", "install"));
  // The installed equal.txt is 1 s older than the packed one: the same at DOS resolution.
  const uint64_t unixToFiletime = 116444736000000000ull;
  host::FileTime equal{unixToFiletime + static_cast<uint64_t>(stamp - 1) * 10000000ull};
  host::FileTime later{unixToFiletime + static_cast<uint64_t>(stamp + 3600) * 10000000ull};
  ASSERT_TRUE(host().SetFileTimes("C:\\App\\equal.txt", nullptr, nullptr, &equal));
  ASSERT_TRUE(host().SetFileTimes("C:\\App\\later.txt", nullptr, nullptr, &later));
  ASSERT_TRUE(Run());
  EXPECT_EQ(services.Events("process 1 C:\\App\\equal.txt").size(), 1u);
  EXPECT_EQ(services.Events("conflict"), (std::vector<std::string>{"conflict C:\\App\\later.txt"}));
  EXPECT_EQ(ReadFile("C:\\App\\later.txt"), "install") << "no answer keeps the later file";
  EXPECT_EQ(ReadFile("C:\\App\\equal.txt"), "install");
  if (saved.empty())
    unsetenv("TZ");
  else
    setenv("TZ", saved.c_str(), 1);
  tzset();
}

}  // namespace
}  // namespace sx::test
