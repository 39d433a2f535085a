#include <time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>

#include "platform/clock.h"
#include "platform/posix/scoped_environment.h"

namespace vk605 {
namespace {

using ::vk605::testing::ScopedEnvironment;

// A time zone for one scope; the C library reads TZ again at tzset, also after the old value is back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    tz_.emplace("TZ", zone);
    ::tzset();
  }
  ~ScopedTimeZone() {
    tz_.reset();
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<ScopedEnvironment> tz_;
};

// Seconds since the epoch of a local time read as if it were UTC.
std::time_t AsUtc(const LocalTime& t) {
  std::tm fields{};
  fields.tm_year = t.year - 1900;
  fields.tm_mon = t.month - 1;
  fields.tm_mday = t.day;
  fields.tm_hour = t.hour;
  fields.tm_min = t.minute;
  fields.tm_sec = t.second;
  return ::timegm(&fields);
}

// In zones without daylight-saving time the local time is UTC shifted by the zone's fixed offset, to the
// second; a clock reporting UTC (or the wrong direction) is hours off. POSIX offsets are west-positive.
struct ZoneCase {
  const char* zone;
  long offset_seconds;  // local minus UTC
};

class SystemClockZone : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(SystemClockZone, LocalNowIsUtcPlusTheZonesOffset) {
  ScopedTimeZone zone(GetParam().zone);
  // The window is read from the clock LocalNow reads: time() runs on the coarse clock, which may still
  // show the previous second when the precise one has passed it.
  auto seconds_now = [] { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); };
  std::time_t before = seconds_now();
  std::optional<LocalTime> now = SystemClock().LocalNow();
  std::time_t after = seconds_now();
  ASSERT_TRUE(now.has_value());
  std::time_t utc = AsUtc(*now) - GetParam().offset_seconds;
  EXPECT_GE(utc, before);
  EXPECT_LE(utc, after);
}

INSTANTIATE_TEST_SUITE_P(FixedOffsets, SystemClockZone,
                         ::testing::Values(ZoneCase{"VKE-3", 3 * 3600}, ZoneCase{"VKW+5", -5 * 3600},
                                           ZoneCase{"VKI-5:30", 5 * 3600 + 30 * 60}));

}  // namespace
}  // namespace vk605

namespace vk605 {
namespace {

// The user's locale form comes from the environment's LC_TIME; in the C locale %x %X is
// "%m/%d/%y %H:%M:%S", a form the driver's own four-digit-year reader does not take.
TEST(SystemClockLocaleDates, ParsesTheUsersLocaleForm) {
  testing::ScopedEnvironment all("LC_ALL", nullptr);
  testing::ScopedEnvironment time("LC_TIME", "C");
  std::optional<LocalTime> parsed = SystemClock().ParseLocaleDateTime("12/30/26 14:05:09");
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->year, 2026);
  EXPECT_EQ(parsed->month, 12);
  EXPECT_EQ(parsed->day, 30);
  EXPECT_EQ(parsed->hour, 14);
  EXPECT_EQ(parsed->minute, 5);
  EXPECT_EQ(parsed->second, 9);
  std::optional<LocalTime> date_only = SystemClock().ParseLocaleDateTime("07/30/04");
  ASSERT_TRUE(date_only.has_value());
  EXPECT_EQ(date_only->year, 2004);
  EXPECT_EQ(date_only->hour, 0);
  EXPECT_FALSE(SystemClock().ParseLocaleDateTime("30.12.2026 14:05:09").has_value());
  EXPECT_FALSE(SystemClock().ParseLocaleDateTime("12/30/26 14:05:09 later").has_value());
  EXPECT_FALSE(SystemClock().ParseLocaleDateTime("").has_value());
}

}  // namespace
}  // namespace vk605
