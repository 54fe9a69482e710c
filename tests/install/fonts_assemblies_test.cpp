// The font phase with a real TrueType font (fonts-dejavu-core): a new font, one already
// registered, one whose file name is taken, a file that is no font, Windows 9x's key, rollback;
// and assemblies installed by a scripted gacutil that logs its arguments.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "install/assemblies.h"
#include "install/fonts.h"
#include "platform/reg_paths.h"
#include "tests/install/install_fixture.h"
#include "tests/install/item_phase_support.h"

namespace sx::test {
namespace {

constexpr char kFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr char kNtFonts[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\";

class Fonts : public InstallFixture {
 protected:
  Fonts() {
    items.database->TempBackupPath = kBackupFolder;
    WriteVariable(items.database.get(), "Fonts", "C:\\windows\\Fonts");
    host().CreateFolder("C:\\windows\\Fonts");
    host().CreateFolder("C:\\sxtemp\\fonts");
    host::SetCurrentHost(&counter);
  }
  // A font the file phase staged for the font phase.
  TInstallFile& Staged(const std::string& name, const std::string& target, const std::string& content) {
    const std::string staged = "C:\\sxtemp\\fonts\\" + name + ".ttf";
    EXPECT_TRUE(WriteFile(staged, content));
    auto& file = list().AddActionOf<TInstallFile>();
    file.FileName = target;
    file.TmpFileName = staged;
    file.FontName = name;
    file.IsFont = true;
    return file;
  }
  MachineSnapshot FontSnapshot() { return TakeSnapshot({"C:\\"}, {kTempDir}); }

  ItemServices items;
  BroadcastCounter counter{faults};
  const std::string font = ReadHostFile(kFontFile);
};

TEST_F(Fonts, NewRegisteredAndRenamedFontsAndTheirRollback) {
  ASSERT_FALSE(font.empty()) << "fonts-dejavu-core is needed";
  ASSERT_TRUE(WriteFile("C:\\windows\\Fonts\\old.ttf", "registered version"));
  ASSERT_TRUE(RegWriteString(kNtFonts, "Old (TrueType)", "old.ttf"));
  ASSERT_TRUE(WriteFile("C:\\windows\\Fonts\\taken.ttf", "another font's file"));
  const MachineSnapshot before = FontSnapshot();
  TInstallFile& demo = Staged("Demo", "C:\\windows\\Fonts\\demo.ttf", font);
  Staged("Old", "C:\\windows\\Fonts\\old.ttf", font);
  Staged("Taken", "C:\\windows\\Fonts\\taken.ttf", font);
  Staged("Elsewhere", "C:\\App\\fonts\\else.ttf", font);

  ASSERT_TRUE(RegisterFonts()) << ::testing::PrintToString(items.calls);
  EXPECT_EQ(RegReadString(kNtFonts, "Demo (TrueType)", "?"), "demo.ttf");
  EXPECT_EQ(ReadFile("C:\\windows\\Fonts\\demo.ttf").size(), std::min<size_t>(font.size(), 4096));
  EXPECT_FALSE(demo.Log);
  // Already registered: replaced in place, not registered again, never logged.
  EXPECT_EQ(ReadFile("C:\\windows\\Fonts\\old.ttf").substr(0, 4), font.substr(0, 4));
  EXPECT_EQ(RegReadString(kNtFonts, "Old (TrueType)", "?"), "old.ttf");
  // Taken by another file: a new 8-character name beside it.
  const std::string renamed = RegReadString(kNtFonts, "Taken (TrueType)", "?");
  EXPECT_EQ(renamed.size(), 12u);
  EXPECT_EQ(renamed.substr(0, 4), "take");
  EXPECT_EQ(ReadFile("C:\\windows\\Fonts\\taken.ttf"), "another font's file");
  EXPECT_EQ(RegReadString(kNtFonts, "Elsewhere (TrueType)", "?"), "C:\\App\\fonts\\else.ttf");
  EXPECT_EQ(counter.broadcasts, std::vector<std::string>(3, "WM_FONTCHANGE"));
  std::vector<std::string> logged;
  for (const TInstallAction& action : list())
    if (auto* file = dynamic_cast<const TInstallFile*>(&action); file && action.Log) logged.push_back(file->FontName);
  EXPECT_EQ(logged, (std::vector<std::string>{"Demo (TrueType)", "Taken (TrueType)", "Elsewhere (TrueType)"}));

  list().RollbackAll();
  EXPECT_EQ(SnapshotDifference(before, FontSnapshot()), "");
}

TEST_F(Fonts, AFileThatIsNoFontFailsThePhaseAndWindows9xUsesItsKey) {
  Staged("Bad", "C:\\windows\\Fonts\\bad.ttf", "this is no font");
  EXPECT_FALSE(RegisterFonts());
  EXPECT_EQ(items.CallsStartingWith("box"),
            (std::vector<std::string>{"box Error: Cannot register font \"Bad\". style 16"}));
  list().RollbackAll();
  EXPECT_FALSE(Exists("C:\\windows\\Fonts\\bad.ttf"));

  // The font's value cannot be written: the font is not installed.
  struct NoRegistryWrites : host::HostWrapper {
    using HostWrapper::HostWrapper;
    bool RegSetValue(host::RegRoot, std::string_view, std::string_view, const host::RegValue&) override {
      return false;
    }
  } noWrites{counter};
  host::SetCurrentHost(&noWrites);
  EXPECT_FALSE(InstallFont("Demo", Staged("Demo", "C:\\windows\\Fonts\\demo.ttf", font).TmpFileName,
                           "C:\\windows\\Fonts\\demo.ttf", true));
  list().RollbackAll();
  EXPECT_FALSE(Exists("C:\\windows\\Fonts\\demo.ttf"));
  host::SetCurrentHost(&counter);

  TempMachine old("[System]\nPlatform=9x\n");
  host::SetCurrentHost(&old.host());
  old.host().CreateFolder("C:\\windows\\Fonts");
  old.host().CreateFolder("C:\\sxtemp");
  old.host().CreateFolder("C:\\sxtemp\\fonts");
  old.host().CreateFolder(kBackupFolder);
  Staged("Demo", "C:\\windows\\Fonts\\demo.ttf", font);
  ASSERT_TRUE(RegisterFonts());
  EXPECT_EQ(RegReadString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts", "Demo (TrueType)", "?"),
            "demo.ttf");
  list().Clear();
  host::SetCurrentHost(&counter);
}

TEST_F(Fonts, AssembliesAreInstalledByGacutilWithQuotedArgumentsAndLogged) {
  auto& package = items.database->Packages->AddNew();
  package.TempPath = "C:\\sxtemp\\pkg\\";
  host().CreateFolder("C:\\sxtemp\\pkg");
  const std::string args = machine.HostPath("gacutil.txt");
  ASSERT_TRUE(WriteFile("C:\\sxtemp\\pkg\\gacutil.exe",
                        "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >> '" + args + "'\nexit $SX_GAC_EXIT\n"));
  WriteVariable(items.database.get(), "AppID", "{DEMO} \"x");
  WriteVariable(items.database.get(), "AppName", "Demo\\");
  SetLogFileName("C:\\App\\install.log");
  EnableLog();
  setenv("SX_GAC_EXIT", "0", 1);
  ASSERT_TRUE(InstallAssembly("C:\\sxtemp\\asm\\1\\My.Lib.dll", true, "1.0.0.0,neutral"));
  ASSERT_TRUE(InstallAssembly("C:\\sxtemp\\asm\\2\\Quiet.dll", false, ""));
  EXPECT_EQ(ReadHostFile(args),
            "[/ir]\n[C:\\sxtemp\\asm\\1\\My.Lib.dll]\n[OPAQUE]\n[{DEMO} \"x]\n[Demo\\]\n"
            "[/ir]\n[C:\\sxtemp\\asm\\2\\Quiet.dll]\n[OPAQUE]\n[{DEMO} \"x]\n[Demo\\]\n");
  IniCloseAll();
  EXPECT_EQ(IniReadString("C:\\App\\install.log", "SharedAssemblies", "1", "?"),
            "My.Lib,1.0.0.0,neutral OPAQUE \"{DEMO} \"x\" \"Demo\\\"");
  EXPECT_EQ(IniReadString("C:\\App\\install.log", "SharedAssemblies", "2", "?"), "?");

  setenv("SX_GAC_EXIT", "1", 1);
  EXPECT_FALSE(InstallAssembly("C:\\sxtemp\\asm\\3\\Bad.dll", true, ""));
  EXPECT_EQ(items.CallsStartingWith("error"), (std::vector<std::string>{"error Cannot register assembly Bad.dll"}));
  unsetenv("SX_GAC_EXIT");
  EXPECT_EQ(QuoteArgument("a\\\\\"b\\"), "\"a\\\\\\\\\\\"b\\\\\"");
}

}  // namespace
}  // namespace sx::test
