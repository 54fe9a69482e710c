// Well-known SIDs and the administrator check on both Windows families.
#include <gtest/gtest.h>

#include "platform/security.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

TEST(Security, WellKnownSidsAndTheAdministratorCheck) {
  {
    test::TempMachine machine;
    EXPECT_EQ(MakeWellKnownSid(0x00000001).ToString(), "S-1-1-0");
    EXPECT_EQ(MakeWellKnownSid(0x00001205).ToString(), "S-1-5-18");
    EXPECT_EQ(MakeWellKnownSid(0x02212005).ToString(), "S-1-5-32-545");
    EXPECT_EQ(MakeWellKnownSid(kAdministratorsSid).ToString(), "S-1-5-32-544");
    EXPECT_TRUE(IsUserAdmin());
  }
  {
    test::TempMachine machine("[System]\nAdmin=0\n");
    EXPECT_FALSE(IsUserAdmin());
  }
  {
    // Windows 9x has no accounts: everybody is an administrator, and no SID can be made.
    test::TempMachine machine("[System]\nPlatform=9x\nAdmin=0\n");
    EXPECT_TRUE(IsUserAdmin());
    EXPECT_THROW(MakeWellKnownSid(kAdministratorsSid), ESecurityError);
    try {
      MakeWellKnownSid(1);
    } catch (const ESecurityError& e) {
      EXPECT_STREQ(e.what(), "AdvApi32.dll not loaded");
    }
  }
}

}  // namespace
}  // namespace sx
