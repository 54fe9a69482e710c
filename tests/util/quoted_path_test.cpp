// The folder part of a path whose quoted runs hold backslashes of their own.
#include <gtest/gtest.h>

#include "util/quoted_path.h"

namespace sx {
namespace {

TEST(QuotedPath, LastBackslashOutsideQuotes) {
  EXPECT_EQ(FolderOutsideQuotes("C:\\App\\run.exe"), "C:\\App");
  EXPECT_EQ(FolderOutsideQuotes("C:\\App\\run.exe \"C:\\Data\\x\""), "C:\\App");
  EXPECT_EQ(FolderOutsideQuotes("C:\\App\\'it\\s'"), "C:\\App");
  EXPECT_EQ(FolderOutsideQuotes("\"C:\\Program Files\\App\"\\tool.exe"), "\"C:\\Program Files\\App\"");
  EXPECT_EQ(FolderOutsideQuotes("run.exe"), "");
  EXPECT_EQ(FolderOutsideQuotes("\"C:\\unclosed\\quote"), "");
  EXPECT_EQ(FolderOutsideQuotes(""), "");
}

}  // namespace
}  // namespace sx
