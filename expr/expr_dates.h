// Date-times as the installer's expressions write and read them: "mm/dd/yyyy hh:mm:ss", with the
// '/' and ':' separators the engine fixes at start-up whatever the user's locale says.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sx {

// A local date-time: whole days since 30 December 1899 and the milliseconds of that day.
struct TExprDateTime {
  int64_t Days = 0;
  int32_t Milliseconds = 0;
  friend auto operator<=>(const TExprDateTime&, const TExprDateTime&) = default;
};

// Days since 30 December 1899 of a date of the proleptic Gregorian calendar.
int64_t DaysSince1899(int year, int month, int day);

// "mm/dd/yyyy hh:mm:ss"; the zero date-time is "12/30/1899 00:00:00".
std::string DateTimeText(const TExprDateTime& value);

// The last-write time of a file in local time, with the 2-second resolution of file dates; the
// zero date-time for a missing file and for a folder.
TExprDateTime FileDateTime(std::string_view path);

// Reads a date-time as the short date format "mm/dd/yyyy" and the time separator ':' give it:
// month/day[/year] with blanks allowed around the parts, a year of one or two digits placed in
// the 100 years around `currentYear` (no more than 50 back), a missing year being `currentYear`;
// then optionally hours[:minutes[:seconds[<decimalSeparator>milliseconds]]] with AM or PM before
// or after it. A time alone is a time of the zero date. Nothing may follow. std::nullopt when the
// text is no such date-time or names a day or time that does not exist.
std::optional<TExprDateTime> ParseDateTime(std::string_view text, int currentYear,
                                           char decimalSeparator);

// ParseDateTime with the current year and the locale's decimal separator; raises EConvertError
// "'<text>' is not a valid date and time" when the text does not read.
TExprDateTime ReadDateTime(std::string_view text);

}  // namespace sx
