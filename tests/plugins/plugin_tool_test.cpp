// sxtool plugin info: what a plug-in file says about itself, or why the engine would refuse it.
#include <filesystem>

#include "tests/support/temp_machine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace sx::test {
namespace {

using ::testing::HasSubstr;

class PluginInfoCommand : public ::testing::Test {
 protected:
  // Copies a built plug-in into C:\plugins\ of the machine; returns its host path.
  std::string Put(const std::string& built, const std::string& name) {
    const std::string target = machine.HostPath("drive_c/plugins/" + name);
    std::filesystem::create_directories(machine.HostPath("drive_c/plugins"));
    std::filesystem::copy_file(built, target, std::filesystem::copy_options::overwrite_existing);
    return target;
  }
  int Run(const std::string& arguments, std::string* output) {
    return RunCommand("SX_MACHINE='" + machine.folder() + "' '" SX_SXTOOL "' plugin " + arguments +
                          " 2>&1",
                      output);
  }

  TempMachine machine;
};

TEST_F(PluginInfoCommand, AcceptedPluginShowsItsIdVersionAndDescription) {
  const std::string dll = Put(SX_RECORDER_PLUGIN, "wizard.dll");
  WriteHostFile(machine.HostPath("drive_c/plugins/wizard.script"),
                "log off\nid Setup.Wizard\ndescription \"The setup wizard\"\nneeds 0x00030000\n");
  std::string out;
  EXPECT_EQ(Run("info '" + dll + "'", &out), 0);
  EXPECT_EQ(out,
            "file: C:\\plugins\\wizard.dll\n"
            "id: Setup.Wizard\n"
            "required version: 0x00030000\n"
            "description: The setup wizard\n"
            "accepted\n");
}

TEST_F(PluginInfoCommand, RefusedPluginSaysWhy) {
  std::string out;
  EXPECT_EQ(Run("info '" + Put(SX_NEWER_ENGINE_PLUGIN, "newer.dll") + "'", &out), 1);
  EXPECT_THAT(out, HasSubstr("id: refused\nrequired version: 0x00030401\n"));
  EXPECT_THAT(out, HasSubstr("refused: it needs engine version 0x00030401 (this engine is 0x00030400)\n"));
  EXPECT_EQ(Run("info '" + Put(SX_NO_INFO_PLUGIN, "noinfo.dll") + "'", &out), 1);
  EXPECT_EQ(out, "file: C:\\plugins\\noinfo.dll\nrefused: it does not export GetPluginInfo\n");
  WriteHostFile(machine.HostPath("drive_c/plugins/text.dll"), "just text");
  EXPECT_EQ(Run("info '" + machine.HostPath("drive_c/plugins/text.dll") + "'", &out), 1);
  EXPECT_THAT(out, HasSubstr("refused: it cannot be loaded as a library\n"));
}

TEST_F(PluginInfoCommand, MissingFileAndBadUsageAreReported) {
  std::string out;
  EXPECT_EQ(Run("info '" + machine.HostPath("drive_c/none.dll") + "'", &out), 1);
  EXPECT_THAT(out, HasSubstr("cannot find"));
  EXPECT_EQ(Run("info", &out), 2);
  EXPECT_EQ(Run("--help", &out), 0);
  EXPECT_THAT(out, HasSubstr("usage: sxtool plugin info FILE"));
}

}  // namespace
}  // namespace sx::test
