// The install log: where it goes, what each section holds, texts kept on one line, writes that
// must not happen, and an older log that keeps its entries.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "tests/install/install_fixture.h"

namespace sx::test {
namespace {

class InstallLog : public InstallFixture {
 protected:
  InstallLog() {
    WriteVariable(services.database.get(), "Windows", "C:\\windows");
    WriteVariable(services.database.get(), "AppID", "{SX-APP}");
    WriteVariable(services.database.get(), "AppName", "Demo");
    WriteVariable(services.database.get(), "AdminRights", "1");
  }
  TXMLObject* db() { return services.database.get(); }
};

TEST_F(InstallLog, PathComesFromLogFileElseInstallPathAndIsStoredBack) {
  EXPECT_EQ(SetUpLogFile(db()), "C:\\windows\\install.log");  // InstallPath defaults to %Windows%
  WriteVariable(db(), "LogFile", "");
  WriteVariable(db(), "InstallPath", "C:\\App");
  EXPECT_EQ(SetUpLogFile(db()), "C:\\App\\install.log");
  EXPECT_EQ(ReadVariable(db(), "LogFile", ""), "C:\\App\\install.log");
  EXPECT_EQ(LogFileName(), "C:\\App\\install.log");
  WriteVariable(db(), "LogFile", "%InstallPath%\\custom.log");
  EXPECT_EQ(SetUpLogFile(db()), "C:\\App\\custom.log");
  EXPECT_FALSE(LogEnabled());  // setting the path does not switch logging on
}

TEST_F(InstallLog, WritesOnlyWhileEnabledAndNeverAddsLines) {
  SetLogFileName("C:\\log.ini");
  EXPECT_FALSE(LogWrite(lsCopyFiles, "C:\\a", ""));
  LogAddRecord(db(), "Extra", "k=v");
  EnableLog();
  SetLogFileName("");
  EXPECT_FALSE(LogEnabled());
  EXPECT_FALSE(LogWrite(lsCopyFiles, "C:\\a", ""));
  SetLogFileName("C:\\log.ini");
  EXPECT_TRUE(LogEnabled());

  EXPECT_TRUE(LogWrite(lsCopyFiles + 128, "C:\\a.txt", ""));  // only the low 7 bits count
  EXPECT_FALSE(LogWrite(13, "k", "v"));
  EXPECT_FALSE(LogWrite(-1, "k", "v"));
  EXPECT_FALSE(LogWrite(lsCopyFiles, "", ""));  // an empty key would erase the section
  EXPECT_FALSE(LogWriteSection("", "k", "v"));
  EXPECT_TRUE(LogWriteSection("Odd", "two\r\nlines", "value\rwith\nbreaks"));
  EXPECT_TRUE(LogHasKey(lsCopyFiles, "c:\\A.TXT"));
  EXPECT_FALSE(LogHasKey(lsAddReg, "c:\\a.txt"));
  LogAddRecord(db(), "Extra %AppName%", "Key=%AppName%=x");
  LogAddRecord(db(), "Extra Demo", "Bare");
  LogInstalledFile("C:\\moved.txt");
  ASSERT_TRUE(IniCloseAll());
  EXPECT_EQ(ReadFile("C:\\log.ini"),
            "[CopyFiles]\r\nC:\\a.txt=\r\nC:\\moved.txt=\r\n\r\n"
            "[Odd]\r\ntwo||lines=value||withbreaks\r\n\r\n"
            "[Extra Demo]\r\nKey=Demo=x\r\nBare=\r\n\r\n");
}

TEST_F(InstallLog, ActionsStringsUninstallTextsAndProgramsMakeTheExpectedFile) {
  // An older log at the same place keeps what it had; same keys are replaced.
  ASSERT_TRUE(WriteFile("C:\\App.log", "[CopyFiles]\r\nC:\\old.dll=\r\n\r\n[Strings]\r\nAppID=old\r\n"));
  SetLogFileName("C:\\App.log");
  EnableLog();
  services.languageSections = {
      {"Strings", {"1=not copied"}},
      {"UNINSTALL.Texts", {"Title=%AppName% removal", "Two=Line one||Line two %Unknown%"}},
      {"Uninstall.", {"Nameless=section"}},
  };
  LogWriteUninstallTexts(db());

  TsxRunApp before, after;
  before.CmdLine = "%Windows%\\pre.exe";
  before.Arg = "/q";
  before.WorkDir = "C:\\";
  before.ShowCmd = TsxShowCmd::scMin;
  before.Msg = "Removing %AppName%";
  after.CmdLine = "post.exe";
  after.ShowCmd = TsxShowCmd::scHide;
  after.Flags = TsxFlags{TsxFlag::dont_wait, TsxFlag::check_exitcode};
  services.uninstallApps[static_cast<int>(TsxWhenStart::before_uninstall)] = {&before};
  services.uninstallApps[static_cast<int>(TsxWhenStart::after_uninstall)] = {&after};
  LogUninstallPrograms(db(), TsxWhenStart::before_uninstall);
  LogUninstallPrograms(db(), TsxWhenStart::after_uninstall);

  auto file = [&](const std::string& path) -> TInstallFile& {
    auto& action = list().AddActionOf<TInstallFile>();
    action.FileName = path;
    return action;
  };
  file("C:\\App\\a.dll").IsServer = true;
  file("C:\\App\\a.dll");  // installed twice: one line
  TInstallFile& font = file("C:\\windows\\Fonts\\d.ttf");
  font.IsFont = true;
  font.FontName = "D (TrueType)";
  auto& reg = list().AddActionOf<TInstallReg>();
  reg.Key = "HKLM\\Software\\Demo";
  reg.Param = "Path";
  auto& ini = list().AddActionOf<TInstallIni>();
  ini.IniFile = "C:\\windows\\demo.ini";
  ini.Section = "S";
  ini.Param = "K";
  list().AddActionOf<TInstallShortcut>().LinkFile = "C:\\Menu\\Demo.lnk";
  list().AddActionOf<TInstallFolder>().Folder = "C:\\App";
  list().AddActionOf<TInstallRegKey>().Key = "HKLM\\Software\\Demo";
  auto& sysPath = list().AddActionOf<TInstallEnvVar>();
  sysPath.Name = "PATH";
  sysPath.Value = "C:\\App";
  sysPath.AddPath = sysPath.SysVar = true;
  auto& userVar = list().AddActionOf<TInstallEnvVar>();
  userVar.Name = "DEMO";
  userVar.Value = "set outright";
  list().WriteUninstallLog();
  ASSERT_TRUE(IniCloseAll());

  EXPECT_EQ(ReadFile("C:\\App.log"),
            "[CopyFiles]\r\nC:\\old.dll=\r\nC:\\App\\a.dll=\r\nC:\\windows\\Fonts\\d.ttf=\r\n\r\n"
            "[Strings]\r\nAppID={SX-APP}\r\nAdminRights=1\r\n\r\n"
            "[Texts]\r\nTitle=Demo removal\r\nTwo=Line one||Line two \r\n\r\n"
            "[PreRunApp]\r\n0='C:\\windows\\pre.exe','/q','C:\\',3,'Removing Demo',1,0\r\n\r\n"
            "[RunApp]\r\n1='post.exe','','',0,'',0,1\r\n\r\n"
            "[RegServers]\r\nC:\\App\\a.dll=\r\n\r\n"
            "[RegFonts]\r\nD (TrueType)=C:\\windows\\Fonts\\d.ttf\r\n\r\n"
            "[AddReg]\r\nHKLM\\Software\\Demo\\'Path'=\r\n\r\n"
            "[AddIni]\r\n'C:\\windows\\demo.ini','S','K'=\r\n\r\n"
            "[Shortcuts]\r\nC:\\Menu\\Demo.lnk=\r\n\r\n"
            "[CreateDirs]\r\nC:\\App=\r\n\r\n"
            "[CreateKeys]\r\nHKLM\\Software\\Demo=\r\n\r\n"
            "[EnvVars]\r\nPATH=1,C:\\App\r\nDEMO=0,\r\n\r\n");
  EXPECT_EQ(NextSharedAssemblyNumber(), 1);
  EXPECT_EQ(NextSharedAssemblyNumber(), 2);
}

}  // namespace
}  // namespace sx::test
