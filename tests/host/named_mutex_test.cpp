// Named mutexes of the simulated machine: a second maker sees the first one's mutex until it is
// released; names are kept apart exactly (any bytes, letter case counts).
#include <gtest/gtest.h>

#include "tests/support/temp_machine.h"

namespace sx {
namespace {

TEST(NamedMutex, SecondMakerSeesItUntilReleased) {
  test::TempMachine machine;
  auto& host = machine.host();
  auto first = host.CreateNamedMutex("Hello setup");
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->AlreadyExisted());
  auto second = host.CreateNamedMutex("Hello setup");
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->AlreadyExisted());
  EXPECT_EQ(host.LastError(), 183u);  // ERROR_ALREADY_EXISTS
  // Other names, also differing only in case or in path characters, are other mutexes.
  for (const char* other : {"hello setup", "Hello/setup", "../Hello setup", "Global\\Hello setup"}) {
    auto mutex = host.CreateNamedMutex(other);
    ASSERT_NE(mutex, nullptr) << other;
    EXPECT_FALSE(mutex->AlreadyExisted()) << other;
  }
  // A backslash outside the "Global\" and "Local\" namespaces names a namespace that is not there.
  EXPECT_TRUE(host.CreateNamedMutex("Local\\Hello setup")->AlreadyExisted());  // the same
  EXPECT_EQ(host.CreateNamedMutex("Hello\\setup"), nullptr);
  EXPECT_EQ(host.LastError(), host::kErrorPathNotFound);
  second.reset();
  first.reset();
  auto again = host.CreateNamedMutex("Hello setup");
  ASSERT_NE(again, nullptr);
  EXPECT_FALSE(again->AlreadyExisted());
}

TEST(ProtectedFiles, ListedInTheMachineSettings) {
  test::TempMachine machine("[ProtectedFiles]\nC:\\windows\\system32\\comctl32.dll=1\n");
  if (machine.host().MachineFolder().empty()) GTEST_SKIP() << "the list is a setting of the simulated machine";
  EXPECT_TRUE(machine.host().IsProtectedFile("c:\\WINDOWS\\system32\\COMCTL32.dll"));
  EXPECT_FALSE(machine.host().IsProtectedFile("C:\\windows\\system32\\other.dll"));
  test::TempMachine plain;
  EXPECT_FALSE(plain.host().IsProtectedFile("C:\\windows\\system32\\comctl32.dll"));
}

}  // namespace
}  // namespace sx
