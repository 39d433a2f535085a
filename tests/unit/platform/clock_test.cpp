#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace vk605 {
namespace {

// Converts the reported local time back to calendar seconds; a wrong month or year base (the C library
// counts months from 0 and years from 1900) shows as a time far from now.
TEST(SystemClock, LocalNowIsTheCurrentLocalTime) {
  std::time_t before = std::time(nullptr);
  std::optional<LocalTime> now = SystemClock().LocalNow();
  std::time_t after = std::time(nullptr);
  ASSERT_TRUE(now.has_value());
  std::tm fields{};
  fields.tm_year = now->year - 1900;
  fields.tm_mon = now->month - 1;
  fields.tm_mday = now->day;
  fields.tm_hour = now->hour;
  fields.tm_min = now->minute;
  fields.tm_sec = now->second;
  fields.tm_isdst = -1;
  std::time_t reported = std::mktime(&fields);
  // An hour of slack covers the repeated hour when daylight-saving time ends.
  EXPECT_GE(reported, before - 3600);
  EXPECT_LE(reported, after + 3600);
  EXPECT_GE(now->month, 1);
  EXPECT_LE(now->month, 12);
  EXPECT_GE(now->day, 1);
  EXPECT_LE(now->day, 31);
}

}  // namespace
}  // namespace vk605
