// Splitting a command line into the program and re-joined parameters.
#include "util/command_line.h"

#include <gtest/gtest.h>

namespace sx {
namespace {

void ExpectSplit(std::string_view commandLine, std::string_view program,
                 std::string_view parameters) {
  const CommandLineParts parts = SplitCommandLine(commandLine);
  EXPECT_EQ(parts.program, program) << commandLine;
  EXPECT_EQ(parts.parameters, parameters) << commandLine;
}

TEST(SplitCommandLine, ProgramAndParametersJoinedWithSingleSpaces) {
  ExpectSplit("setup.exe /s  /resume", "setup.exe", "/s /resume");
  ExpectSplit("  \t setup.exe\t/s\r\n", "setup.exe", "/s");
  ExpectSplit("setup.exe", "setup.exe", "");
  ExpectSplit("", "", "");
  ExpectSplit("   \t ", "", "");
}

TEST(SplitCommandLine, QuotedPartsHoldSpacesAndLoseTheirQuotes) {
  ExpectSplit("\"C:\\Program Files\\App\\app.exe\" /x", "C:\\Program Files\\App\\app.exe", "/x");
  ExpectSplit("app.exe \"a b\" c", "app.exe", "\"a b\" c");
  ExpectSplit("app.exe /dir=\"C:\\My Dir\"", "app.exe", "\"/dir=C:\\My Dir\"");
  ExpectSplit("app.exe x\"y\"z", "app.exe", "xyz");
  ExpectSplit("app.exe \"unclosed part", "app.exe", "\"unclosed part\"");
  ExpectSplit("app.exe \"tab\there\"", "app.exe", "\"tab\there\"");
}

TEST(SplitCommandLine, LoneQuotePairsAreSkipped) {
  ExpectSplit("\"\" app.exe \"\" x \"\"", "app.exe", "x");
  ExpectSplit("app.exe \"\"\"a b\"", "app.exe", "\"a b\"");
  ExpectSplit("app.exe \"", "app.exe", "");
}

TEST(SplitCommandLine, HighBytesAreOrdinaryCharacters) {
  // ANSI letters above 0x7F are not separators, even though a plain char is signed.
  ExpectSplit("\xCF\xF0\xE8.exe \xE0\xE1 \xFF", "\xCF\xF0\xE8.exe", "\xE0\xE1 \xFF");
}

}  // namespace
}  // namespace sx
