// Removal of what an older install log lists: links (and their .pif twins), empty folders and
// this product's own uninstall entries, never anything the log does not plainly own; a rollback
// brings the links and the entries back.
#include <gtest/gtest.h>

#include "install/old_references.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"

namespace sx::test {
namespace {

constexpr char kLog[] = "C:\\Old\\install.log";
constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class OldReferences : public InstallFixture {
 protected:
  std::string Entry(const std::string& root, const std::string& name) { return root + "\\" + kUninstall + name; }
};

TEST_F(OldReferences, OnlyWhatTheOldLogPlainlyOwnsGoesAndARollbackBringsItBack) {
  host().CreateFolder("C:\\Old");
  host().CreateFolder("C:\\Old\\Empty");
  host().CreateFolder("C:\\Old\\Full");
  host().CreateFolder("C:\\Links");
  ASSERT_TRUE(WriteFile("C:\\Old\\Full\\data.txt", "kept"));
  ASSERT_TRUE(WriteFile("C:\\Links\\App.lnk", "link"));
  ASSERT_TRUE(WriteFile("C:\\Links\\App.pif", "pif"));
  ASSERT_TRUE(WriteFile("C:\\Links\\notes.txt", "not a link"));
  const std::string own = Entry("HKLM", "OldApp");
  const std::string other = Entry("HKLM", "OtherApp");
  const std::string userOwn = Entry("HKCU", "OldApp");
  ASSERT_TRUE(RegWriteString(own, "UninstallString", "\"C:\\Old\\Uninstall.exe\" \"C:\\Old\\install.log\""));
  ASSERT_TRUE(RegWriteString(own + "\\Sub", "Kept", "deep"));
  ASSERT_TRUE(RegWriteString(userOwn, "UninstallString", "\"C:\\Old\\Uninstall.exe\" \"c:\\old\\INSTALL.LOG\""));
  ASSERT_TRUE(RegWriteString(other, "UninstallString", "\"C:\\Other\\Uninstall.exe\" \"C:\\Other\\install.log\""));
  ASSERT_TRUE(RegWriteString("HKCR\\" + std::string(kUninstall) + "OldApp", "UninstallString",
                             "\"C:\\Old\\Uninstall.exe\" \"C:\\Old\\install.log\""));
  ASSERT_TRUE(WriteFile(kLog,
                        "[Shortcuts]\r\nC:\\Links\\App.lnk=\r\nC:\\Links\\notes.txt=\r\nLinks\\Relative.lnk=\r\n"
                        "[CreateDirs]\r\nC:\\Old\\Empty=\r\nC:\\Old\\Full=\r\nOld\\Empty=\r\n"
                        "[CreateKeys]\r\n" + own + "=\r\n" + userOwn + "=\r\n" + other + "=\r\n" + own + "\\Sub=\r\n"
                        "HKCR\\" + kUninstall + "OldApp=\r\nHKLM\\Software\\Shared=\r\n"));
  ASSERT_TRUE(RegWriteString("HKLM\\Software\\Shared", "Value", "1"));

  RemoveOldReferencesFromLog(kLog);
  EXPECT_FALSE(Exists("C:\\Links\\App.lnk"));
  EXPECT_FALSE(Exists("C:\\Links\\App.pif"));
  EXPECT_TRUE(Exists("C:\\Links\\notes.txt"));  // not a link
  EXPECT_FALSE(Exists("C:\\Old\\Empty"));
  EXPECT_TRUE(Exists("C:\\Old\\Full\\data.txt"));  // a folder that holds files stays
  EXPECT_FALSE(RegKeyExists(own));
  EXPECT_FALSE(RegKeyExists(userOwn));
  EXPECT_TRUE(RegKeyExists(other));  // another product's entry
  EXPECT_TRUE(RegKeyExists("HKCR\\" + std::string(kUninstall) + "OldApp"));
  EXPECT_TRUE(RegKeyExists("HKLM\\Software\\Shared"));  // not an uninstall entry
  for (int i = 0; i < list().Count(); ++i) EXPECT_FALSE(list().Items(i).Log) << i;

  list().RollbackAll();
  EXPECT_EQ(ReadFile("C:\\Links\\App.lnk"), "link");
  EXPECT_EQ(ReadFile("C:\\Links\\App.pif"), "pif");
  EXPECT_EQ(RegReadString(own, "UninstallString", ""), "\"C:\\Old\\Uninstall.exe\" \"C:\\Old\\install.log\"");
  EXPECT_EQ(RegReadString(own + "\\Sub", "Kept", ""), "deep");
  EXPECT_NE(RegReadString(userOwn, "UninstallString", ""), "");
}

}  // namespace
}  // namespace sx::test
