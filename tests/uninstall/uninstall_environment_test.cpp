// Environment changes taken back: on Windows NT in the registry (a path list loses only the parts
// the product added, its last occurrence, and keeps its type; a variable set outright goes), on
// Windows 9x in C:\autoexec.bat.
#include <gtest/gtest.h>

#include "host/host.h"
#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "tests/support/temp_machine.h"
#include "uninstall/uninstall_steps.h"

namespace sx::test {
namespace {

constexpr char kSystemEnv[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

TEST(UninstallEnvironment, PathAdditionsAndVariablesSetOutrightAreTakenBack) {
  {
    TempMachine nt;
    const std::string path = "C:\\App\\bin;C:\\windows;C:\\App\\bin;C:\\App\\tools";
    ASSERT_TRUE(RegWriteRaw(kSystemEnv, "PATH", host::kRegExpandSz, path.c_str(), static_cast<uint32_t>(path.size() + 1)));
    ASSERT_TRUE(RegWriteString("HKCU\\Environment", "DEMO", "on"));
    TUninstallReport report;
    UndoEnvironment({{"PATH", true, "C:\\app\\BIN;C:\\App\\tools"}, {"DEMO", false, ""}, {"GONE", false, ""}},
                    report);
    // The user's own earlier entry of the same folder stays.
    EXPECT_EQ(RegReadString(kSystemEnv, "PATH", ""), "C:\\App\\bin;C:\\windows");
    EXPECT_EQ(RegValueType(kSystemEnv, "PATH"), host::kRegExpandSz);
    EXPECT_FALSE(RegValueExists("HKCU\\Environment", "DEMO"));
    EXPECT_TRUE(report.leftovers.empty());

    // A list that is nothing but the addition goes with it.
    ASSERT_TRUE(RegWriteString("HKCU\\Environment", "LIB", "C:\\App\\lib"));
    UndoEnvironment({{"LIB", false, "C:\\App\\lib"}}, report);
    EXPECT_FALSE(RegValueExists("HKCU\\Environment", "LIB"));
  }
  {
    TempMachine old("[System]\nPlatform=9x\nVersion=4.10.2222\n");
    const std::string autoexec = "@echo off\r\nSET PATH=C:\\windows;C:\\App\\bin\r\nSET DEMO=on\r\nSET KEEP=1\r\n";
    {
      auto file = host::CurrentHost().OpenFile("C:\\autoexec.bat", {host::OpenMode::kCreateAlways, false});
      ASSERT_TRUE(file && file->Write(autoexec.data(), autoexec.size()));
    }
    TUninstallReport report;
    UndoEnvironment({{"PATH", true, "C:\\App\\bin"}, {"DEMO", false, ""}}, report);
    EXPECT_EQ(ReadWholeFile("C:\\autoexec.bat"), "@echo off\r\nSET PATH=C:\\windows\r\nSET KEEP=1\r\n");
    EXPECT_TRUE(report.leftovers.empty());
  }
}

}  // namespace
}  // namespace sx::test
