// Temporary files beside a target: named as GetTempFileName names them, and, for the unpacker to
// write into, kept open.
#include <gtest/gtest.h>

#include <regex>

#include "install/file_steps.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

TEST(FileSteps, TemporaryFilesAreNewAndCanStayOpen) {
  test::TempMachine machine;
  auto& host = machine.host();
  ASSERT_TRUE(host.CreateFolder("C:\\app"));
  const std::regex name(R"(C:\\app\\~sx[0-9A-F]{1,4}\.tmp)");

  OpenTempFile open = CreateOpenTempFileIn("C:\\app", "~sxZ");
  ASSERT_TRUE(open.file) << host.LastError();
  EXPECT_TRUE(std::regex_match(open.path, name)) << open.path;
  ASSERT_TRUE(open.file->Write("staged", 6));
  const std::string closed = CreateTempFileIn("C:\\app\\", "~sx");
  EXPECT_TRUE(std::regex_match(closed, name)) << closed;
  EXPECT_NE(closed, open.path);
  open.file.reset();
  EXPECT_EQ(host.GetFileInfo(open.path)->size, 6u);
  EXPECT_EQ(host.GetFileInfo(closed)->size, 0u);

  EXPECT_TRUE(CreateOpenTempFileIn("C:\\missing", "~sx").path.empty());
  EXPECT_FALSE(CreateOpenTempFileIn("", "~sx").file);
}

}  // namespace
}  // namespace sx
