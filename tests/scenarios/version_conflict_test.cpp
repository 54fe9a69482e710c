// Version conflicts of a setup whose libraries are version 2.0, over installed copies that are
// older (1.0: replaced unasked), newer (3.0: the user is asked) and the same (2.0, same size:
// left alone), for each of the four answers: keep, overwrite, keep all, overwrite all.
#include <gtest/gtest.h>

#include "tests/scenarios/scenario_fixture.h"
#include "tests/support/pe_file.h"

namespace sx::test {
namespace {

class VersionConflicts : public ScenarioTest {};

TEST_F(VersionConflicts, OlderNewerAndSameVersionsWithEachAnswer) {
  const std::string setupCopy = MakeVersionedPe(2, 0, 0, 0, 8);
  const std::string older = MakeVersionedPe(1, 0, 0, 0);
  const std::string newer = MakeVersionedPe(3, 0, 0, 0);
  std::string sameVersion = setupCopy;
  sameVersion.back() = 'q';  // same version and size, other bytes: shows whether it was replaced

  struct Case {
    int answer;
    int asked;            // how often the question came
    bool newerReplaced;   // both newer copies
  };
  const Case cases[] = {{1, 2, false}, {2, 2, true}, {3, 1, false}, {4, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Product product;
    product.uninstall = "0";
    product.plugins = R"(<plugins><plugin id="recorder"/></plugins>)";
    product.files = R"(<file src="*.dll" dst="%InstallPath%\"/>)";
    WriteProduct(product);
    for (const char* name : {"a-older.dll", "b-newer.dll", "c-newer.dll", "d-same.dll"})
      Project().Write(std::string("payload/core/") + name, setupCopy);
    AddRecorder("recorder", "on EV_VERSIONCONFLICT reply " + std::to_string(c.answer));
    Build();
    const std::string folder = "drive_c/Program Files/Gizmo/";
    WriteHostFile(Machine().HostPath(folder + "a-older.dll"), older);
    WriteHostFile(Machine().HostPath(folder + "b-newer.dll"), newer);
    WriteHostFile(Machine().HostPath(folder + "c-newer.dll"), newer);
    WriteHostFile(Machine().HostPath(folder + "d-same.dll"), sameVersion);

    const SetupRun run = Run({"/s"});
    EXPECT_EQ(run.exitCode, 0) << run.trace;
    std::vector<std::string> asked;
    for (const std::string& line : run.Events())
      if (line.find("EV_VERSIONCONFLICT") != std::string::npos) asked.push_back(line);
    ASSERT_EQ(asked.size(), static_cast<size_t>(c.asked)) << run.log;
    EXPECT_EQ(asked[0], "recorder EV_VERSIONCONFLICT path=\"C:\\Program Files\\Gizmo\\b-newer.dll\"");
    EXPECT_EQ(ReadHostFile(Machine().HostPath(folder + "a-older.dll")), setupCopy);
    EXPECT_EQ(ReadHostFile(Machine().HostPath(folder + "b-newer.dll")), c.newerReplaced ? setupCopy : newer);
    EXPECT_EQ(ReadHostFile(Machine().HostPath(folder + "c-newer.dll")), c.newerReplaced ? setupCopy : newer);
    EXPECT_EQ(ReadHostFile(Machine().HostPath(folder + "d-same.dll")), sameVersion);
  }
}

}  // namespace
}  // namespace sx::test
