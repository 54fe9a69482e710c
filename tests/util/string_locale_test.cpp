// The text routines that follow the machine: token lists compared by the user's locale,
// wildcards ignoring case by the user's locale, and conversion to the OEM code page.
#include <gtest/gtest.h>

#include "tests/support/temp_machine.h"
#include "util/case_tables.h"
#include "util/str_utils.h"

namespace sx {
namespace {

constexpr char kRussianMachine[] = "[Locale]\nUser=RUS\nSystem=RUS\n";

// Ё and ё in Windows-1251; in Windows-1252 the same bytes are a diaeresis and a cedilla.
constexpr char kCapitalYo[] = "\xA8";
constexpr char kSmallYo[] = "\xB8";

TEST(IsTokenOf, ComparesTokensByFlag) {
  test::TempMachine machine;
  EXPECT_TRUE(IsTokenOf("Setup", "a;SETUP;b", ";", false));
  EXPECT_FALSE(IsTokenOf("Setup", "a;SETUP;b", ";", true));
  EXPECT_TRUE(IsTokenOf("SETUP", ";;a;;SETUP;;", MakeCharSet(";"), true));
  EXPECT_FALSE(IsTokenOf("SET", "a;SETUP;b", ";", false));  // whole tokens only
  EXPECT_FALSE(IsTokenOf("a;b", "a;b", ";", false));
  EXPECT_FALSE(IsTokenOf("", "a;;b", ";", false));          // no empty tokens to match
  EXPECT_FALSE(IsTokenOf("a", "", ";", false));
  EXPECT_TRUE(IsTokenOf("\xC9t\xE9", "\xC9T\xC9", ",", false));  // Été in 1252
}

TEST(IsTokenOf, FollowsUsersLocaleNotFixedTable) {
  {
    test::TempMachine machine;
    EXPECT_FALSE(IsTokenOf(kSmallYo, kCapitalYo, ",", false));
  }
  {
    test::TempMachine machine(kRussianMachine);
    EXPECT_TRUE(IsTokenOf(kSmallYo, std::string("x,") + kCapitalYo, ",", false));
    EXPECT_FALSE(IsTokenOf(kSmallYo, std::string("x,") + kCapitalYo, ",", true));
  }
  // The fixed table pairs them on every machine.
  EXPECT_TRUE(SameTextFast(kSmallYo, kCapitalYo));
}

TEST(MatchesWildcard, IgnoresCaseByUsersLocale) {
  {
    test::TempMachine machine;
    EXPECT_TRUE(MatchesWildcard("resume:C:\\x", "resume:*", true));
    EXPECT_TRUE(MatchesWildcard("RESUME:C:\\x", "resume:*", true));
    EXPECT_TRUE(MatchesWildcard("Setup.EXE", "*.exe", true));
    EXPECT_TRUE(MatchesWildcard("abc", "A?C", true));
    EXPECT_FALSE(MatchesWildcard("abc", "*D", true));
    EXPECT_FALSE(MatchesWildcard(std::string("x") + kSmallYo, std::string("*") + kCapitalYo, true));
  }
  {
    test::TempMachine machine(kRussianMachine);
    EXPECT_TRUE(MatchesWildcard(std::string("x") + kSmallYo, std::string("*") + kCapitalYo, true));
    EXPECT_TRUE(MatchesWildcard("\xEF\xF0\xE8\xE2\xE5\xF2", "\xCF\xD0?*", true));  // привет / ПР?*
    EXPECT_FALSE(MatchesWildcard("\xEF\xF0\xE8\xE2\xE5\xF2", "\xCF\xD0?*", false));
  }
}

TEST(ToOem, ConvertsAnsiToMachinesOemCodePage) {
  {
    test::TempMachine machine;  // 1252 -> 437
    EXPECT_EQ(ToOem("C:\\caf\xE9.txt"), "C:\\caf\x82.txt");
    EXPECT_EQ(ToOem(""), "");
  }
  {
    test::TempMachine machine(kRussianMachine);  // 1251 -> 866
    EXPECT_EQ(ToOem("\xE0\xC0 a"), "\xA0\x80 a");
  }
}

}  // namespace
}  // namespace sx
