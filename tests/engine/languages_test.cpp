// The language list, the automatic choice, the language switch and the numbered texts.
#include <gtest/gtest.h>

#include "database/sx_variable_access.h"
#include "engine/languages.h"
#include "tests/engine/engine_test_support.h"

namespace sx {
namespace {

using List = std::vector<std::string>;

// A main package whose folder holds language files (with Windows line ends).
void AddMainPackage(test::InProcessEngine& run) {
  TsxPackage& main = run.Database().Packages->AddNew();
  main.TempPath = "C:\\pkg\\";
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/lng/ENU.lng"),
                      "[Strings]\r\nLanguageName=English (file)\r\n21=%s setup runs\r\n22=%AppName% is 100%% ready\r\n");
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/lng/XYZ.lng"),
                      "[Strings]\r\nLanguageName=Xyzish\r\n13=Xyz system unsupported\r\n");
  test::WriteHostFile(run.machine.HostPath("drive_c/pkg/lng/DEU.lng"), "[Strings]\r\n13=Nicht unterstuetzt\r\n");
}

constexpr char kGermanUser[] = "[Locale]\nUser=DEU\nSystem=ENU\nInstalled=ENU,DEU,RUS\n";

TEST(Languages, ListInOrderUpperCasedNamedByLocalesThenFilesWithoutDuplicates) {
  test::InProcessEngine run(kGermanUser);
  AddMainPackage(run);
  WriteVariable(&run.Database(), "Languages", "enu , deu,xyz, DEU,, qqq");
  TLanguages& languages = run.engine->Languages();
  languages.Build();
  EXPECT_EQ(languages.List(), (List{"ENU=English (United States)", "DEU=German (Germany)",
                                    "XYZ=Xyzish", "QQQ=QQQ"}));

  WriteVariable(&run.Database(), "Languages", "");
  languages.Build();
  EXPECT_EQ(languages.List(), List{"ENU=English (USA)"});
}

TEST(Languages, AutomaticChoiceFollowsTheUserLocaleElseEnglishElseTheFirst) {
  {
    test::InProcessEngine run(kGermanUser);
    AddMainPackage(run);
    WriteVariable(&run.Database(), "Languages", "ENU,DEU");
    WriteVariable(&run.Database(), "AppName", "Hello");
    run.engine->Languages().Build();
    run.engine->Languages().Choose();
    EXPECT_EQ(ReadVariable(&run.Database(), "LangID", ""), "DEU");
    EXPECT_EQ(ReadVariable(&run.Database(), "Charset", ""), "0");
    EXPECT_EQ(MessageTitle(), "Hello");
    EXPECT_EQ(run.engine->Languages().Text(13), "Nicht unterstuetzt");
  }
  {
    test::InProcessEngine run("[Locale]\nUser=FRA\nInstalled=ENU,FRA\n");
    AddMainPackage(run);
    WriteVariable(&run.Database(), "Languages", "XYZ,ENU,DEU");
    run.engine->Languages().Build();
    run.engine->Languages().Choose();
    EXPECT_EQ(ReadVariable(&run.Database(), "LangID", ""), "ENU");
    // Without automatic choice: the first entry; an unknown locale has the default charset.
    WriteVariable(&run.Database(), "LangID", "");
    WriteVariable(&run.Database(), "AutoSelectLanguage", "0");
    run.engine->Languages().Choose();
    EXPECT_EQ(ReadVariable(&run.Database(), "LangID", ""), "XYZ");
    EXPECT_EQ(ReadVariable(&run.Database(), "Charset", ""), "1");
    EXPECT_EQ(MessageTitle(), "Application");
  }
  {
    // A preset LangID stands: no choice, no switch.
    test::InProcessEngine run(kGermanUser);
    AddMainPackage(run);
    WriteVariable(&run.Database(), "Languages", "ENU,DEU");
    WriteVariable(&run.Database(), "LangID", "ENU");
    run.engine->Languages().Build();
    run.engine->Languages().Choose();
    EXPECT_EQ(ReadVariable(&run.Database(), "LangID", ""), "ENU");
    EXPECT_EQ(LookupVariable(&run.Database(), "Charset"), nullptr);
  }
}

TEST(Languages, SwitchSetsTheCharsetOfTheLocale) {
  test::InProcessEngine run(kGermanUser);
  AddMainPackage(run);
  run.engine->Languages().SetLanguage("RUS");
  EXPECT_EQ(ReadVariable(&run.Database(), "LangID", ""), "RUS");
  EXPECT_EQ(ReadVariable(&run.Database(), "Charset", ""), "204");
}

TEST(Languages, TextsAreExpandedAndMissingOnesAreEmpty) {
  test::InProcessEngine run;
  AddMainPackage(run);
  TsxMainDatabase& db = run.Database();
  WriteVariable(&db, "AppName", "Hello");
  TLanguages& languages = run.engine->Languages();
  // "LangID" defaults to ENU when read for the path.
  EXPECT_EQ(languages.Text(22), "Hello is 100% ready");
  EXPECT_EQ(languages.Text("Strings", 99), "");
  EXPECT_EQ(FormatLanguageText(languages.Text(21), "Hello"), "Hello setup runs");
  WriteVariable(&db, "LangID", "DEU");
  EXPECT_EQ(languages.Text("Strings", "13"), "Nicht unterstuetzt");
  // Identifiers with path characters name no file.
  for (const char* id : {"..\\lng\\ENU", "C:ENU", "lng/ENU", ".."}) {
    WriteVariable(&db, "LangID", id);
    EXPECT_EQ(languages.FilePath(), "") << id;
    EXPECT_EQ(languages.Text(21), "") << id;
  }
}

TEST(Languages, FormatsTakeOneArgument) {
  EXPECT_EQ(FormatLanguageText("%s needs %s; 50%% done, %d left", "App"),
            "App needs %s; 50% done, %d left");
  EXPECT_EQ(FormatLanguageText("no argument", "App"), "no argument");
  EXPECT_EQ(FormatLanguageText("trailing %", "App"), "trailing %");
}

}  // namespace
}  // namespace sx
