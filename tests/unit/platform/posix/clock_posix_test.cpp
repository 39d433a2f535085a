#include <time.h>

#include <gtest/gtest.h>

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
  std::time_t before = std::time(nullptr);
  std::optional<LocalTime> now = SystemClock().LocalNow();
  std::time_t after = std::time(nullptr);
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
