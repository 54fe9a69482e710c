// The file phase over sxbuild packages: which item installs an entry, where it goes, what the
// plug-ins hear and in which order, and what the machine holds afterwards.
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include <algorithm>

#include "database/sx_variable_access.h"
#include "tests/install/file_phase_fixture.h"

namespace sx::test {
namespace {

constexpr char kLookupProject[] = R"(<sx2project>
  <variables><var name="InstallPath" value="C:\App"/></variables>
  <components><component id="C1"><files>
    <file src="bin\*.dll" dst="%InstallPath%\lib\"/>
    <file src="binaries\a.dll" dst="%InstallPath%\other\a.dll" condition="0"/>
    <file src="README" dst="%InstallPath%\"/>
    <file src="twice.txt" dst="%InstallPath%\first.txt" condition="0"/>
    <file src="twice.txt" dst="%InstallPath%\second.txt"/>
  </files></component></components>
</sx2project>)";

class FilePhaseLookup : public FilePhaseTest {};

TEST_F(FilePhaseLookup, EntriesReachTheTargetsOfTheFirstMatchingItemWithTheirEventsInOrder) {
  Build(kLookupProject, {{"payload/C1/bin/x/a.dll", "deep dll"},
                         {"payload/C1/bin/b.dll", std::string(300000, 'b')},
                         {"payload/C1/binaries/a.dll", "not below bin"},
                         {"payload/C1/README", "read me"},
                         {"payload/C1/twice.txt", "twice"}});
  const MachineSnapshot before = Snapshot();
  ASSERT_TRUE(Run()) << ::testing::PrintToString(services.calls);

  EXPECT_EQ(Tree("C:\\App"), (std::map<std::string, std::string>{{"lib/x/a.dll", "deep dll"},
                                                                  {"lib/b.dll", std::string(300000, 'b')},
                                                                  {"README", "read me"},
                                                                  {"second.txt", "twice"}}));
  EXPECT_TRUE(services.allOnMainThread) << "events are delivered on the main thread";

  // A false condition: the entry is reported as skipped, without a before or an after event.
  const auto skipped = services.Events("process 1");
  EXPECT_EQ(std::count(skipped.begin(), skipped.end(), "process 1 a.dll"), 1) << ::testing::PrintToString(skipped);
  for (const std::string& line : services.events) EXPECT_EQ(line.find("other"), std::string::npos) << line;

  // One installed file: its progress start, before, decision, blocks, after.
  std::vector<std::string> forB;
  bool inB = false;
  for (const std::string& line : services.events) {
    if (line == "before C:\\App\\lib\\b.dll 0") inB = true;
    if (inB) forB.push_back(line);
    if (line == "after C:\\App\\lib\\b.dll") break;
  }
  ASSERT_GE(forB.size(), 4u);
  EXPECT_EQ(forB[1], "process 0 C:\\App\\lib\\b.dll");
  EXPECT_EQ(forB.back(), "after C:\\App\\lib\\b.dll");
  EXPECT_EQ(forB[forB.size() - 2].substr(0, 13), "progress 100 ") << "the last block completes the file";

  // Overall progress never goes back and ends at 100.
  int last = -1;
  for (const std::string& line : services.Events("progress ")) {
    const int overall = std::stoi(line.substr(line.find_last_of(' ') + 1));
    EXPECT_GE(overall, last) << line;
    EXPECT_LE(overall, 100);
    last = overall;
  }
  EXPECT_EQ(last, 100);

  // Every file is recorded, and the rollback leaves the machine as it was.
  EXPECT_NE(list().FindFileAction("C:\\App\\lib\\x\\a.dll"), nullptr);
  EXPECT_NE(list().FindFileAction("C:\\App\\README"), nullptr);
  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, Snapshot()), "");
}

// The main flow drops the components of features left out from the project's list; the package's
// own database still names them, and its entries must stay in the package.
TEST_F(FilePhaseLookup, ComponentsLeftOutOfTheProjectAreNotInstalledFromTheirPackage) {
  Build(R"(<sx2project><components>
    <component id="Kept"><files><file src="*.*" dst="C:\App\"/></files></component>
    <component id="LeftOut"><files><file src="*.*" dst="C:\App\"/></files></component>
  </components></sx2project>)",
        {{"payload/Kept/kept.txt", "kept"}, {"payload/LeftOut/left.txt", "left out"}});
  TsxComponents& components = *services.database->Components;
  ASSERT_EQ(components.Count(), 2);
  ASSERT_EQ((*services.database->Packages)[0].Components->Count(), 2);
  components.Delete(1);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Tree("C:\\App"), (std::map<std::string, std::string>{{"kept.txt", "kept"}}));
}

TEST_F(FilePhaseLookup, InstalledFilesKeepTheirPackedTimeAndAttributes) {
  struct tm local = {};
  local.tm_year = 2021 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 4;
  local.tm_hour = 5;
  local.tm_min = 6;
  local.tm_sec = 8;
  local.tm_isdst = -1;
  const time_t stamp = mktime(&local);
  const uint32_t packed = (uint32_t{2021 - 1980} << 25) | (3u << 21) | (4u << 16) | (5u << 11) | (6u << 5) | 4u;
  Build(R"(<sx2project><components><component id="C1"><files>
      <file src="README" dst="C:\App\README"/>
    </files></component></components></sx2project>)",
        {{"payload/C1/README", "read me"}}, {}, [&](const ProjectFolder& folder) {
          const std::string path = folder / "payload/C1/README";
          const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
          utimensat(AT_FDCWD, path.c_str(), times, 0);
          chmod(path.c_str(), 0444);
        });
  services.onEvent = [&](int number, std::intptr_t, std::intptr_t param2) -> std::intptr_t {
    if (number == EV_BEFOREPROCESSITEM) {
      auto item = reinterpret_cast<const SxFileItem*>(param2);
      EXPECT_EQ(static_cast<uint32_t>(item->DateTime), packed);
      EXPECT_EQ(item->Size, 7);
      EXPECT_EQ(item->Attributes & (host::kAttrReadOnly | host::kAttrArchive), host::kAttrReadOnly | host::kAttrArchive);
    }
    return 0;
  };
  ASSERT_TRUE(Run());
  const auto info = host().GetFileInfo("C:\\App\\README");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->attributes & 0x27, host::kAttrReadOnly | host::kAttrArchive);
  EXPECT_EQ(host::FileTimeToDosDateTime(host().UtcToLocal(info->lastWriteTime)), packed);
  EXPECT_EQ(services.Events("before").size(), 1u);
}

}  // namespace
}  // namespace sx::test
