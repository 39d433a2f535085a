#include "settings/automation_date.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace vk605 {

// Representation: days is a plain linear count of days since 1899-12-30 00:00, so 1899-12-29 06:00 is
// -0.75. (The automation DATE of the platform writes that moment as -1.25, counting the time of day away
// from zero before the epoch.) The driver never hands these numbers to anyone: dates reach the files as
// text only, so the linear form keeps the arithmetic simple and exact for the years 100 to 9999.

namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr long long kFirstDay = -657434;  // 0100-01-01
constexpr long long kLastDay = 2958465;   // 9999-12-31
constexpr long long kSecondsPerDay = 86400;
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;

constexpr sys_days kEpoch = sys_days(year(1899) / month(12) / day(30));

AutomationDate Invalid() {
  return AutomationDate{0.0, AutomationDate::Status::kInvalid};
}

bool InRange(double days) {
  if (!std::isfinite(days)) return false;
  double whole = std::floor(days);
  return whole >= static_cast<double>(kFirstDay) && whole <= static_cast<double>(kLastDay);
}

std::optional<year_month_day> CivilDate(int y, int m, int d) {
  if (y < kFirstYear || y > kLastYear || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  year_month_day date{year(y), month(static_cast<unsigned>(m)), day(static_cast<unsigned>(d))};
  if (!date.ok()) return std::nullopt;
  return date;
}

bool ValidTimeOfDay(int hour, int minute, int second, int last_second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= last_second;
}

// Reads an unsigned decimal field of min_digits to max_digits digits at text[pos].
bool ReadField(std::string_view text, std::size_t& pos, std::size_t min_digits, std::size_t max_digits,
               int& out) {
  std::size_t start = pos;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= '0' && text[pos] <= '9') ++pos;
  if (pos - start < min_digits) return false;
  std::from_chars(text.data() + start, text.data() + pos, out);
  return true;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  return pos;
}

// "H:MM" or "H:MM:SS" at text[pos]; the rest of the text must be blank.
bool ReadTimeOfDay(std::string_view text, std::size_t pos, LocalTime& time) {
  if (!ReadField(text, pos, 1, 2, time.hour) || !Expect(text, pos, ':') ||
      !ReadField(text, pos, 1, 2, time.minute)) {
    return false;
  }
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!ReadField(text, pos, 1, 2, time.second)) return false;
  }
  return SkipBlanks(text, pos) == text.size();
}

}  // namespace

AutomationDate DateFromLocalTime(const LocalTime& time) {
  std::optional<year_month_day> date = CivilDate(time.year, time.month, time.day);
  // A clock may report a leap second as :60; it simply counts as the next second.
  if (!date || !ValidTimeOfDay(time.hour, time.minute, time.second, 60)) return Invalid();
  long long day_number = (sys_days(*date) - kEpoch).count();
  long long seconds = time.hour * 3600LL + time.minute * 60LL + time.second;
  return AutomationDate{static_cast<double>(day_number) + static_cast<double>(seconds) / kSecondsPerDay,
                        AutomationDate::Status::kValid};
}

std::optional<LocalTime> LocalTimeFromDate(const AutomationDate& date) {
  if (!date.IsValid() || !InRange(date.days)) return std::nullopt;
  // Dates are kept to the second; rounding undoes the binary fraction's error.
  long long total = std::llround(date.days * static_cast<double>(kSecondsPerDay));
  long long day_number = total / kSecondsPerDay;
  long long seconds = total % kSecondsPerDay;
  if (seconds < 0) {
    seconds += kSecondsPerDay;
    --day_number;
  }
  year_month_day civil{kEpoch + std::chrono::days(day_number)};
  int y = static_cast<int>(civil.year());
  if (y < kFirstYear || y > kLastYear) return std::nullopt;
  LocalTime time;
  time.year = y;
  time.month = static_cast<int>(static_cast<unsigned>(civil.month()));
  time.day = static_cast<int>(static_cast<unsigned>(civil.day()));
  time.hour = static_cast<int>(seconds / 3600);
  time.minute = static_cast<int>(seconds / 60 % 60);
  time.second = static_cast<int>(seconds % 60);
  return time;
}

AutomationDate DateNow(Clock& clock) {
  std::optional<LocalTime> now = clock.LocalNow();
  if (!now) return Invalid();
  return DateFromLocalTime(*now);
}

AutomationDate AddDays(const AutomationDate& date, double days) {
  if (!date.IsValid()) return Invalid();
  double sum = date.days + days;
  if (!InRange(sum)) return Invalid();
  return AutomationDate{sum, AutomationDate::Status::kValid};
}

std::string FormatCalibrationDate(const AutomationDate& date) {
  std::optional<LocalTime> time = LocalTimeFromDate(date);
  if (!time) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", time->month, time->day, time->year,
                time->hour, time->minute, time->second);
  return text;
}

std::optional<AutomationDate> ParseCalibrationDate(std::string_view text) {
  LocalTime time;
  std::size_t pos = SkipBlanks(text, 0);
  if (!ReadField(text, pos, 1, 2, time.month) || !Expect(text, pos, '/') ||
      !ReadField(text, pos, 1, 2, time.day) || !Expect(text, pos, '/') ||
      !ReadField(text, pos, 4, 4, time.year)) {
    return std::nullopt;
  }
  std::size_t after_date = SkipBlanks(text, pos);
  if (after_date != text.size()) {
    if (after_date == pos || !ReadTimeOfDay(text, after_date, time)) return std::nullopt;
  }
  if (!CivilDate(time.year, time.month, time.day) ||
      !ValidTimeOfDay(time.hour, time.minute, time.second, 59)) {
    return std::nullopt;
  }
  return DateFromLocalTime(time);
}

}  // namespace vk605
