#include "profiling/profile_signature.h"

#include <gtest/gtest.h>

namespace vk605 {
namespace {

double Date(int days_since_1899_12_30, int hour, int minute, int second) {
  return days_since_1899_12_30 + (hour * 3600 + minute * 60 + second) / 86400.0;
}

TEST(ProfileSignature, NoDateIsV2) {
  EXPECT_EQ(ProfileSignature(std::nullopt), "V2");
}

TEST(ProfileSignature, DateInDayMonthYearForm) {
  EXPECT_EQ(ProfileSignature(Date(38198, 14, 5, 9)), "V2\rcreated=30-Jul-2004 14:05:09\r");
  EXPECT_EQ(ProfileSignature(Date(2, 0, 0, 0)), "V2\rcreated=01-Jan-1900 00:00:00\r");
  // 2026-12-31 23:59:59
  EXPECT_EQ(ProfileSignature(Date(46387, 23, 59, 59)), "V2\rcreated=31-Dec-2026 23:59:59\r");
}

TEST(ProfileSignature, DateOutsideTheCalendarIsV2) {
  EXPECT_EQ(ProfileSignature(1e9), "V2");
}

}  // namespace
}  // namespace vk605
