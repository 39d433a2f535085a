#include "profiling/profile_signature.h"

#include <cstdio>

#include "settings/automation_date.h"

namespace vk605 {
namespace {

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string ProfileSignature(std::optional<double> creation_date) {
  if (!creation_date) return "V2";
  std::optional<LocalTime> time = LocalTimeFromDate(AutomationDate{*creation_date});
  if (!time || time->month < 1 || time->month > 12) return "V2";
  char text[64];
  std::snprintf(text, sizeof(text), "V2\rcreated=%02d-%s-%d %02d:%02d:%02d\r", time->day,
                kMonths[time->month - 1], time->year, time->hour, time->minute, time->second);
  return text;
}

}  // namespace vk605
