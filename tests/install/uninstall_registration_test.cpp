// The uninstall entry in this process: HKCU when HKLM cannot be written, "App" for an empty
// AppID, no silent settings with DisableRepair or when the file cannot be saved, and a rollback
// that gives an existing entry its earlier values back.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "host/host_wrapper.h"
#include "install/uninstall_registration.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"

namespace sx::test {
namespace {

constexpr char kUninstall[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A machine whose HKEY_LOCAL_MACHINE cannot be written (a user without administrator rights).
class NoMachineWrites : public host::HostWrapper {
 public:
  using HostWrapper::HostWrapper;
  bool RegCreateKey(host::RegRoot root, std::string_view key) override {
    return root != host::RegRoot::kLocalMachine && Inner().RegCreateKey(root, key);
  }
  bool RegSetValue(host::RegRoot root, std::string_view key, std::string_view name,
                   const host::RegValue& value) override {
    return root != host::RegRoot::kLocalMachine && Inner().RegSetValue(root, key, name, value);
  }
};

class Registration : public InstallFixture {
 protected:
  Registration() {
    WriteVariable(services.database.get(), "AppName", "My App");
    services.exeName = "C:\\setup\\setup.exe";
    host().CreateFolder("C:\\App");
    SetLogFileName("C:\\App\\install.log");
    EnableLog();
  }
};

TEST_F(Registration, UserEntryWithoutMachineRightsAndAnEmptyAppIdIsApp) {
  WriteVariable(services.database.get(), "AppID", "");
  NoMachineWrites userOnly(faults);
  host::SetCurrentHost(&userOnly);
  RegisterUninstall(*services.database, "C:\\App\\", "C:\\App\\install.log");
  host::SetCurrentHost(&faults);
  const std::string entry = std::string("HKCU") + kUninstall + "App";
  EXPECT_EQ(RegReadString(entry, "DisplayName", ""), "My App");
  EXPECT_EQ(RegReadString(entry, "UninstallString", ""), "\"C:\\App\\Uninstall.exe\" \"C:\\App\\install.log\"");
  EXPECT_FALSE(RegKeyExists(std::string("HKLM") + kUninstall + "App"));
  // Never the list's own key: the entry has a name of its own.
  EXPECT_TRUE(RegKeyExists(std::string("HKCU") + kUninstall));
  ASSERT_TRUE(IniCloseAll());
  EXPECT_NE(ReadFile("C:\\App\\install.log").find("[CreateKeys]\r\n" + entry + "=\r\n"), std::string::npos);

  list().RollbackAll();
  EXPECT_FALSE(RegKeyExists(entry));
  EXPECT_FALSE(Exists("C:\\App\\install.sss"));
}

TEST_F(Registration, SilentSettingsOnlyWhenAllowedAndSavedAndARollbackRestoresTheOldEntry) {
  WriteVariable(services.database.get(), "AppID", "Prod");
  const std::string entry = std::string("HKLM") + kUninstall + "Prod";
  ASSERT_TRUE(RegWriteString(entry, "DisplayName", "Old Name"));
  ASSERT_TRUE(RegWriteString(entry, "Extra", "kept"));

  WriteVariable(services.database.get(), "DisableRepair", "1");
  RegisterUninstall(*services.database, "C:\\App\\", "C:\\App\\install.log");
  EXPECT_EQ(RegReadString(entry, "DisplayName", ""), "My App");
  EXPECT_EQ(RegReadString(entry, "SilentSettings", "none"), "none");
  EXPECT_FALSE(Exists("C:\\App\\install.sss"));
  list().RollbackAll();
  EXPECT_EQ(RegReadString(entry, "DisplayName", ""), "Old Name");
  EXPECT_EQ(RegReadString(entry, "Extra", ""), "kept");
  EXPECT_EQ(RegReadString(entry, "UninstallString", "none"), "none");

  // Repair allowed, but the settings file cannot be written (its name is a folder): not named.
  WriteVariable(services.database.get(), "DisableRepair", "0");
  host().CreateFolder("C:\\App\\install.sss");
  RegisterUninstall(*services.database, "C:\\App\\", "C:\\App\\install.log");
  EXPECT_EQ(RegReadString(entry, "SilentSettings", "none"), "none");
  list().RollbackAll();
  host().RemoveFolder("C:\\App\\install.sss");
  RegisterUninstall(*services.database, "C:\\App\\", "C:\\App\\install.log");
  EXPECT_EQ(RegReadString(entry, "SilentSettings", ""), "C:\\App\\install.sss");
  EXPECT_TRUE(Exists("C:\\App\\install.sss"));
}

}  // namespace
}  // namespace sx::test
