#include "expr/expr_dates.h"

#include <cstdio>

#include "expr/evaluator_errors.h"
#include "expr/expr_values.h"
#include "host/host.h"

namespace sx {

namespace {

constexpr int64_t kMillisecondsPerDay = 86'400'000;
constexpr int kTwoDigitYearWindow = 50;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a civil date (the proleptic Gregorian calendar).
constexpr int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

constexpr int64_t kEpoch1899 = DaysFromCivil(1899, 12, 30);

// The reader of one date-time text. Every part may be preceded by blanks.
class DateTimeReader {
 public:
  DateTimeReader(std::string_view text, int currentYear, char decimalSeparator)
      : s_(text), currentYear_(currentYear), decimalSeparator_(decimalSeparator) {}

  std::optional<TExprDateTime> Read() {
    TExprDateTime value;
    if (Date(value.Days) && (AtEnd() || (Time(value.Milliseconds) && AtEnd()))) return value;
    // A time alone.
    i_ = 0;
    value = TExprDateTime{};
    if (Time(value.Milliseconds) && AtEnd()) return value;
    return std::nullopt;
  }

 private:
  void Blanks() {
    while (i_ < s_.size() && s_[i_] == ' ') ++i_;
  }
  bool AtEnd() {
    Blanks();
    return i_ == s_.size();
  }
  // All the digits that follow; a value too large for any part stays too large.
  bool Number(int& value, int& digits) {
    Blanks();
    const size_t start = i_;
    value = 0;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
      if (value < 100000) value = value * 10 + (s_[i_] - '0');
      ++i_;
    }
    digits = static_cast<int>(i_ - start);
    return digits > 0;
  }
  bool Char(char c) {
    Blanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    Blanks();
    if (s_.size() - i_ < word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k) {
      char c = s_[i_ + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != word[k]) return false;
    }
    i_ += word.size();
    return true;
  }
  // -1 none, 0 AM, 12 PM.
  int Meridiem() {
    if (Word("AM")) return 0;
    if (Word("PM")) return 12;
    return -1;
  }

  bool Date(int64_t& days) {
    int month, day, year, digits;
    if (!Number(month, digits) || !Char('/') || !Number(day, digits)) return false;
    if (Char('/')) {
      if (!Number(year, digits)) return false;
      if (digits <= 2) {
        const int base = currentYear_ - kTwoDigitYearWindow;
        year += base / 100 * 100;
        if (year < base) year += 100;
      }
    } else {
      year = currentYear_;
    }
    Char('/');
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
      return false;
    days = DaysSince1899(year, month, day);
    return true;
  }

  bool Time(int32_t& milliseconds) {
    int meridiem = Meridiem();
    int hour, minute = 0, second = 0, msec = 0, digits;
    if (!Number(hour, digits)) return false;
    if (Char(':')) {
      if (!Number(minute, digits)) return false;
      if (Char(':')) {
        if (!Number(second, digits)) return false;
        if (Char(decimalSeparator_) && !Number(msec, digits)) return false;
      }
    }
    if (meridiem < 0) meridiem = Meridiem();
    if (meridiem >= 0) {
      if (hour == 0 || hour > 12) return false;
      if (hour == 12) hour = 0;
      hour += meridiem;
    }
    if (hour > 23 || minute > 59 || second > 59 || msec > 999) return false;
    milliseconds = ((hour * 60 + minute) * 60 + second) * 1000 + msec;
    return true;
  }

  std::string_view s_;
  size_t i_ = 0;
  int currentYear_;
  char decimalSeparator_;
};

}  // namespace

int64_t DaysSince1899(int year, int month, int day) {
  return DaysFromCivil(year, month, day) - kEpoch1899;
}

std::string DateTimeText(const TExprDateTime& value) {
  int year, month, day;
  CivilFromDays(value.Days + kEpoch1899, year, month, day);
  const int64_t ms = ((value.Milliseconds % kMillisecondsPerDay) + kMillisecondsPerDay) %
                     kMillisecondsPerDay;
  const int seconds = static_cast<int>(ms / 1000);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", month, day, year,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buffer;
}

TExprDateTime FileDateTime(std::string_view path) {
  host::Host& host = host::CurrentHost();
  const auto info = host.GetFileInfo(path);
  if (!info || (info->attributes & host::kAttrDirectory)) return {};
  const host::SystemTime local = host::FileTimeToSystemTime(host.UtcToLocal(info->lastWriteTime));
  TExprDateTime value;
  value.Days = DaysSince1899(local.year, local.month, local.day);
  // File dates count seconds in steps of two.
  value.Milliseconds = ((local.hour * 60 + local.minute) * 60 + (local.second & ~1)) * 1000;
  return value;
}

std::optional<TExprDateTime> ParseDateTime(std::string_view text, int currentYear,
                                           char decimalSeparator) {
  return DateTimeReader(text, currentYear, decimalSeparator).Read();
}

TExprDateTime ReadDateTime(std::string_view text) {
  const int year = host::CurrentHost().LocalTimeNow().year;
  if (auto value = ParseDateTime(text, year, LocaleDecimalSeparator())) return *value;
  throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
}

}  // namespace sx
