// sxtool commands that read a file of this computer: a folder given where the file belongs is an
// error, never read as an empty document.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_machine.h"

namespace sx::test {
namespace {

TEST(SxtoolFileArguments, AFolderWhereAFileIsExpectedIsAnError) {
  ToolScratch scratch("sxtool-files-");
  const std::string folder = scratch.PathOf("folder");
  std::filesystem::create_directories(folder);
  for (const std::string command : {"xml format", "xml check", "pdb decode", "pdb encode", "decipher --key k",
                                    "db format"}) {
    SCOPED_TRACE(command);
    std::string out, err;
    EXPECT_EQ(scratch.Run(command + " '" + folder + "'", &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("cannot read \"" + folder + "\": is a folder, not a file"), std::string::npos) << err;
  }
}

}  // namespace
}  // namespace sx::test
