// The variables the engine defines from the machine at start-up, and the imported environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "database/sx_classes.h"
#include "database/sx_system_variables.h"
#include "database/sx_variable_access.h"
#include "platform/reg_paths.h"
#include "tests/support/temp_machine.h"
#include "util/system_folders.h"

namespace sx::test {
namespace {

class SystemVariables : public ::testing::Test {
 protected:
  std::string Read(const char* name) { return ReadVariable(&db_, name, "<missing>"); }
  const TsxVariable* Find(const char* name) { return db_.Variables->FindVariable(name); }

  TempMachine machine_;
  TsxMainDatabase db_;
};

TEST_F(SystemVariables, FoldersComeFromTheMachine) {
  DefineSystemVariables(&db_);
  EXPECT_EQ(Read("Windows"), "C:\\windows");
  EXPECT_EQ(Read("System"), "C:\\windows\\system32");
  EXPECT_EQ(Read("Desktop"), "C:\\users\\user\\Desktop");
  EXPECT_EQ(Read("Personal"), "C:\\users\\user\\Documents");
  EXPECT_EQ(Read("StartMenu"), PathVariableText(GetShellFolder(7)));
  EXPECT_EQ(Read("CommonStartMenu"), "C:\\ProgramData\\Microsoft\\Windows\\Start Menu");
  EXPECT_EQ(Read("CommonDesktop"), "C:\\users\\Public\\Desktop");
  const char* shellFolders[] = {"Desktop", "Fonts", "NetHood", "Personal", "ProgramsMenu",
                                "Recent", "SendTo", "StartMenu", "StartupMenu", "Templates",
                                "CommonStartMenu", "CommonProgramsMenu", "CommonStartupMenu",
                                "CommonDesktop"};
  for (int kind = 0; kind < 14; ++kind)
    EXPECT_EQ(Read(shellFolders[kind]), PathVariableText(GetShellFolder(kind))) << shellFolders[kind];
  EXPECT_EQ(Read("ProgramFiles"), "C:\\Program Files");
  EXPECT_EQ(Read("CommonFiles"), "C:\\Program Files\\Common Files");
  EXPECT_EQ(Read("ApplicationData"), "C:\\users\\user\\AppData\\Roaming");
}

TEST_F(SystemVariables, CommonFoldersFallBackToTheUsersOwn) {
  std::filesystem::remove_all(machine_.HostPath("drive_c/ProgramData/Microsoft/Windows/Start Menu"));
  std::filesystem::remove_all(machine_.HostPath("drive_c/users/Public/Desktop"));
  DefineSystemVariables(&db_);
  EXPECT_EQ(Read("CommonStartMenu"), Read("StartMenu"));
  EXPECT_EQ(Read("CommonProgramsMenu"), Read("ProgramsMenu"));
  EXPECT_EQ(Read("CommonStartupMenu"), Read("StartupMenu"));
  EXPECT_EQ(Read("CommonDesktop"), Read("Desktop"));
}

TEST_F(SystemVariables, RegistryFactsAndTheirDefaults) {
  ASSERT_TRUE(RegWriteString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", "BootDir", "D:\\"));
  ASSERT_TRUE(RegDeleteValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"));
  DefineSystemVariables(&db_);
  EXPECT_EQ(Read("BootDrive"), "D:");
  // Defaults with references are stored as written and resolve when read.
  EXPECT_EQ(Find("ProgramFiles")->Value, "%BootDrive%\\Program Files");
  EXPECT_EQ(Read("ProgramFiles"), "D:\\Program Files");
  EXPECT_EQ(Read("Office97"), "D:\\Program Files\\Microsoft Office\\Office");
  EXPECT_EQ(Read("Office2000"), "D:\\Program Files\\Microsoft Office\\Office");
  EXPECT_EQ(Read("BDE"), "C:\\Program Files\\Common Files\\Borland Shared\\BDE");
  EXPECT_EQ(Read("Delphi"), "C:");
  EXPECT_EQ(Read("IIS-WWWRoot"), "D:\\wwwroot");
  EXPECT_EQ(Read("IIS-Scripts"), "D:\\wwwroot\\scripts");
  // Changing what a default refers to changes the result.
  WriteSystemVariable(&db_, "BootDrive", "E:");
  EXPECT_EQ(Read("IIS-Scripts"), "E:\\wwwroot\\scripts");
}

TEST_F(SystemVariables, RegistryValuesAreTakenPieceByPiece) {
  ASSERT_TRUE(RegWriteString("HKLM\\SOFTWARE\\Borland\\Database Engine", "DLLPATH", "C:\\BDE\\;C:\\Other"));
  ASSERT_TRUE(RegWriteString("HKLM\\SOFTWARE\\Borland\\Delphi\\5.0", "RootDir", "C:\\Delphi5"));
  ASSERT_TRUE(RegWriteString("HKLM\\SOFTWARE\\Borland\\Delphi\\7.0", "RootDir", "C:\\Delphi7\\"));
  ASSERT_TRUE(RegWriteString("HKLM\\SOFTWARE\\Borland\\Delphi\\6.0", "RootDir", "C:\\Delphi6"));
  const char* roots = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters\\Virtual Roots\\";
  ASSERT_TRUE(RegWriteString(roots, "/", "c:\\inetpub\\wwwroot,,201"));
  ASSERT_TRUE(RegWriteString(roots, "/Scripts", "c:\\inetpub\\scripts,,204"));
  DefineSystemVariables(&db_);
  EXPECT_EQ(Read("BDE"), "C:\\BDE");
  EXPECT_EQ(Read("Delphi"), "C:\\Delphi7");
  EXPECT_EQ(Read("IIS-WWWRoot"), "c:\\inetpub\\wwwroot");
  EXPECT_EQ(Read("IIS-Scripts"), "c:\\inetpub\\scripts");
}

TEST_F(SystemVariables, DateIsTodayAsMonthDayYear) {
  auto today = [&] {
    host::SystemTime now = machine_.host().LocalTimeNow();
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", now.month, now.day, now.year);
    return std::string(text);
  };
  std::string before = today();
  DefineSystemVariables(&db_);
  std::string after = today();
  std::string date = Read("Date");
  EXPECT_TRUE(date == before || date == after) << date;  // midnight may pass in between
  EXPECT_EQ(date.size(), 10u);
}

TEST_F(SystemVariables, OverwriteProjectVariablesAndAreNeverSaved) {
  db_.LoadFromString(R"(<p><variables><var name="windows" value="project"/><var name="Mine" value="m"/></variables></p>)", "");
  DefineSystemVariables(&db_);
  EXPECT_EQ(Read("Windows"), "C:\\windows");
  EXPECT_TRUE(Find("Windows")->Transient);
  EXPECT_FALSE(Find("Mine")->Transient);
  std::string saved = db_.SaveToString("sx2project");
  EXPECT_NE(saved.find("Mine"), std::string::npos);
  EXPECT_EQ(saved.find("Windows"), std::string::npos);
  EXPECT_EQ(saved.find("ProgramFiles"), std::string::npos);
}

TEST_F(SystemVariables, TheListOfNamesHoldsEveryVariableDefined) {
  // The builder warns about references to names neither the project nor this list knows.
  DefineSystemVariables(&db_);
  ASSERT_GT(db_.Variables->Count(), 20);
  const std::vector<std::string>& names = SystemVariableNames();
  for (const TsxVariable& variable : *db_.Variables)
    EXPECT_NE(std::find(names.begin(), names.end(), variable.Name), names.end()) << variable.Name;
  for (const char* engineSet : {"SourcePath", "OSPlatform", "OSVersion", "QuickLaunch", "ParamStr", "SilentMode"})
    EXPECT_NE(std::find(names.begin(), names.end(), engineSet), names.end()) << engineSet;
}

TEST_F(SystemVariables, EnvironmentFillsOnlyUndefinedNames) {
  ASSERT_TRUE(machine_.host().SetEnv("SXTEST_IMPORTED", std::string_view("from env")));
  ASSERT_TRUE(machine_.host().SetEnv("SXTEST_DEFINED", std::string_view("from env")));
  ASSERT_TRUE(machine_.host().SetEnv("SXTEST_EMPTY", std::string_view("")));
  db_.LoadFromString(R"(<p><variables><var name="sxtest_defined" value="project"/></variables></p>)", "");
  ImportEnvironment(&db_);
  EXPECT_EQ(Read("SXTEST_IMPORTED"), "from env");
  EXPECT_TRUE(Find("SXTEST_IMPORTED")->Transient);
  EXPECT_EQ(Read("SXTEST_DEFINED"), "project");
  EXPECT_FALSE(Find("SXTEST_DEFINED")->Transient);
  EXPECT_EQ(Read("SXTEST_EMPTY"), "");
  EXPECT_NE(Find("SXTEST_EMPTY"), nullptr);
}

}  // namespace
}  // namespace sx::test
