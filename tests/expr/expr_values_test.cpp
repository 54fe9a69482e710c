// Number texts of the installer's expressions: reading, the 15-digit general format in both
// notations, integer arguments, and the date-time texts that FileDate writes and CompareDate reads.
#include <gtest/gtest.h>

#include <string>

#include "expr/expr_dates.h"
#include "expr/expr_values.h"

namespace sx {
namespace {

TEST(NumberText, FifteenSignificantDigitsWithoutTrailingZeros) {
  EXPECT_EQ(NumberText(6, '.'), "6");
  EXPECT_EQ(NumberText(3.5L, '.'), "3.5");
  EXPECT_EQ(NumberText(-3.25L, '.'), "-3.25");
  EXPECT_EQ(NumberText(1.0L / 3, '.'), "0.333333333333333");
  EXPECT_EQ(NumberText(123456789012345.0L, '.'), "123456789012345");
  EXPECT_EQ(NumberText(12345678901234.56L, '.'), "12345678901234.6");
  EXPECT_EQ(NumberText(0.1L + 0.2L, '.'), "0.3");
  EXPECT_EQ(NumberText(0, '.'), "0");
  EXPECT_EQ(NumberText(-0.0L, '.'), "0");
  EXPECT_EQ(NumberText(2.5L, ','), "2,5");
}

TEST(NumberText, ScientificOutsideTheFixedRange) {
  EXPECT_EQ(NumberText(1e20L, '.'), "1E20");
  EXPECT_EQ(NumberText(1e15L, '.'), "1E15");
  EXPECT_EQ(NumberText(999999999999999.0L, '.'), "999999999999999");
  EXPECT_EQ(NumberText(9999999999999999.0L, '.'), "1E16");  // rounds up to 16 digits
  EXPECT_EQ(NumberText(-1.25e300L, '.'), "-1.25E300");
  EXPECT_EQ(NumberText(1e-5L, '.'), "1E-5");
  EXPECT_EQ(NumberText(1.5e-5L, ','), "1,5E-5");
  EXPECT_EQ(NumberText(0.0001L, '.'), "0.0001");
  EXPECT_EQ(NumberText(0.00012345L, '.'), "0.00012345");
  EXPECT_EQ(NumberText(1e-4000L, '.'), "1E-4000");
}

TEST(NumberText, ReadingNeedsTheWholeTextAsANumber) {
  EXPECT_EQ(ExprNumber("42"), 42);
  EXPECT_EQ(ExprNumber("  -1.5e2"), -150);
  EXPECT_EQ(ExprNumber("+.5"), 0.5);
  EXPECT_EQ(ExprNumber("1E4000"), 1e4000L);
  EXPECT_EQ(ExprNumber(""), 0);
  EXPECT_EQ(ExprNumber("2 "), 0);
  EXPECT_EQ(ExprNumber("0,5"), 0);
  EXPECT_EQ(ExprNumber("1e"), 0);
  EXPECT_EQ(ExprNumber("inf"), 0);
  EXPECT_EQ(ExprNumber("0x10"), 0);
}

TEST(NumberText, IntegerArgumentsFallBackToTheirDefault) {
  EXPECT_EQ(ExprInteger("12", 0), 12);
  EXPECT_EQ(ExprInteger(" -7", 0), -7);
  EXPECT_EQ(ExprInteger("+3", 0), 3);
  EXPECT_EQ(ExprInteger("$1F", 0), 31);
  EXPECT_EQ(ExprInteger("$FFFFFFFF", 0), -1);
  EXPECT_EQ(ExprInteger("2147483647", 0), 2147483647);
  EXPECT_EQ(ExprInteger("-2147483648", 0), INT32_MIN);
  EXPECT_EQ(ExprInteger("2147483648", 5), 5);
  EXPECT_EQ(ExprInteger("99999999999999999999", 5), 5);
  EXPECT_EQ(ExprInteger("1.5", 5), 5);
  EXPECT_EQ(ExprInteger("", 5), 5);
  EXPECT_EQ(ExprInteger("3 ", 5), 5);
  EXPECT_EQ(ExprInteger("$", 5), 5);
  EXPECT_EQ(ExprInteger("$123456789", 5), 5);
}

TEST(DateTimeText, FormatAndTheZeroDate) {
  EXPECT_EQ(DateTimeText({}), "12/30/1899 00:00:00");
  EXPECT_EQ(DateTimeText({DaysSince1899(2021, 3, 4), ((5 * 60 + 6) * 60 + 7) * 1000}),
            "03/04/2021 05:06:07");
  EXPECT_EQ(DaysSince1899(1900, 1, 1), 2);
  EXPECT_EQ(DaysSince1899(2000, 1, 1), 36526);
  EXPECT_EQ(DateTimeText({DaysSince1899(1800, 2, 28), 0}), "02/28/1800 00:00:00");
}

TEST(DateTimeText, ReadsWhatFileDateWrites) {
  const auto value = ParseDateTime("03/04/2021 05:06:07", 2024, '.');
  ASSERT_TRUE(value);
  EXPECT_EQ(DateTimeText(*value), "03/04/2021 05:06:07");
  EXPECT_EQ(ParseDateTime("12/30/1899 00:00:00", 2024, '.'), TExprDateTime{});
}

TEST(DateTimeText, AcceptedForms) {
  auto read = [](std::string_view text) {
    auto value = ParseDateTime(text, 2024, '.');
    return value ? DateTimeText(*value) + (value->Milliseconds % 1000 ? "+ms" : "") : "invalid";
  };
  EXPECT_EQ(read("3/4/2021"), "03/04/2021 00:00:00");
  EXPECT_EQ(read(" 3 / 4 / 2021 "), "03/04/2021 00:00:00");
  EXPECT_EQ(read("3/4"), "03/04/2024 00:00:00");          // the current year
  EXPECT_EQ(read("3/4/21"), "03/04/2021 00:00:00");       // two digits: near the current year
  EXPECT_EQ(read("3/4/74"), "03/04/1974 00:00:00");       // no more than 50 years back
  EXPECT_EQ(read("3/4/73"), "03/04/2073 00:00:00");
  EXPECT_EQ(read("3/4/0021"), "03/04/0021 00:00:00");     // four digits are the year itself
  EXPECT_EQ(read("3/4/2021 7:08"), "03/04/2021 07:08:00");
  EXPECT_EQ(read("3/4/2021 7"), "03/04/2021 07:00:00");
  EXPECT_EQ(read("3/4/2021 7:08:09.5"), "03/04/2021 07:08:09+ms");
  EXPECT_EQ(read("3/4/2021 7:08 PM"), "03/04/2021 19:08:00");
  EXPECT_EQ(read("3/4/2021 am 12:30"), "03/04/2021 00:30:00");
  EXPECT_EQ(read("13:45"), "12/30/1899 13:45:00");        // a time alone
  EXPECT_EQ(read("2/29/2024"), "02/29/2024 00:00:00");
}

TEST(DateTimeText, RejectedForms) {
  for (const char* text : {"", "abc", "2021-03-04", "13/01/2021", "2/30/2021", "2/29/2023",
                           "3/4/2021 24:00", "3/4/2021 7:60", "3/4/2021 13:00 PM",
                           "3/4/2021 xyz", "3/4/2021 7:08 x", "3/", "/4/2021", "3/4/10000"}) {
    EXPECT_FALSE(ParseDateTime(text, 2024, '.')) << text;
  }
}

}  // namespace
}  // namespace sx
