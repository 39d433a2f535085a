#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace vk605 {

// A local wall-clock moment as an automation date: days since 1899-12-30 00:00, the fraction being the
// time of day. Valid from year 100 to 9999.
struct AutomationDate {
  enum class Status { kValid, kInvalid, kNull };
  double days = 0.0;
  Status status = Status::kValid;

  bool IsValid() const { return status == Status::kValid; }
};

AutomationDate DateFromLocalTime(const LocalTime& time);
std::optional<LocalTime> LocalTimeFromDate(const AutomationDate& date);
// Now at one-second resolution; invalid when the clock cannot tell the local time.
AutomationDate DateNow(Clock& clock);
// date + days; invalid when the sum lies outside the years 100 to 9999.
AutomationDate AddDays(const AutomationDate& date, double days);
// "%m/%d/%Y %H:%M:%S" (e.g. 07/30/2004 14:05:09); empty for a date that is not valid.
std::string FormatCalibrationDate(const AutomationDate& date);
// Parses the written form "%m/%d/%Y %H:%M:%S" (also without seconds, and a date alone); empty when the
// text is not such a date.
std::optional<AutomationDate> ParseCalibrationDate(std::string_view text);

}  // namespace vk605
