#include "settings/automation_date.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"

namespace vk605 {
namespace {

bool SameTime(const LocalTime& a, const LocalTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

std::string Describe(const std::optional<LocalTime>& t) {
  if (!t) return "none";
  return std::to_string(t->year) + "-" + std::to_string(t->month) + "-" + std::to_string(t->day) + " " +
         std::to_string(t->hour) + ":" + std::to_string(t->minute) + ":" + std::to_string(t->second);
}

struct DayCase {
  LocalTime time;
  double days;
};

class AutomationDateDayTest : public ::testing::TestWithParam<DayCase> {};

TEST_P(AutomationDateDayTest, CountsDaysFromTheEpochAndBack) {
  AutomationDate date = DateFromLocalTime(GetParam().time);
  ASSERT_TRUE(date.IsValid());
  EXPECT_DOUBLE_EQ(date.days, GetParam().days);
  std::optional<LocalTime> back = LocalTimeFromDate(date);
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(SameTime(*back, GetParam().time)) << Describe(back);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, AutomationDateDayTest,
    ::testing::Values(DayCase{{1899, 12, 30, 0, 0, 0}, 0.0}, DayCase{{1900, 1, 1, 0, 0, 0}, 2.0},
                      DayCase{{1899, 12, 29, 6, 0, 0}, -0.75},
                      DayCase{{2004, 7, 30, 14, 5, 9}, 38198.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0},
                      DayCase{{2000, 2, 29, 23, 59, 59}, 36585.0 + 86399 / 86400.0},
                      DayCase{{100, 1, 1, 0, 0, 0}, -657434.0},
                      DayCase{{9999, 12, 31, 23, 59, 59}, 2958465.0 + 86399 / 86400.0}));

class AutomationDateInvalidTimeTest : public ::testing::TestWithParam<LocalTime> {};

TEST_P(AutomationDateInvalidTimeTest, IsNotValid) {
  EXPECT_FALSE(DateFromLocalTime(GetParam()).IsValid());
}

INSTANTIATE_TEST_SUITE_P(Times, AutomationDateInvalidTimeTest,
                         ::testing::Values(LocalTime{99, 12, 31, 0, 0, 0}, LocalTime{10000, 1, 1, 0, 0, 0},
                                           LocalTime{2001, 2, 29, 0, 0, 0}, LocalTime{2004, 13, 1, 0, 0, 0},
                                           LocalTime{2004, 0, 1, 0, 0, 0}, LocalTime{2004, 4, 31, 0, 0, 0},
                                           LocalTime{2004, 1, 1, 24, 0, 0}, LocalTime{2004, 1, 1, 0, 60, 0},
                                           LocalTime{2004, 1, 1, 0, 0, -1}));

TEST(AutomationDateTest, ConversionBackRoundsToTheNearestSecond) {
  double second = 1.0 / 86400.0;
  AutomationDate below{38198.5 + 0.49 * second, AutomationDate::Status::kValid};
  AutomationDate above{38198.5 + 0.51 * second, AutomationDate::Status::kValid};
  EXPECT_EQ(Describe(LocalTimeFromDate(below)), "2004-7-30 12:0:0");
  EXPECT_EQ(Describe(LocalTimeFromDate(above)), "2004-7-30 12:0:1");
  AutomationDate before_midnight{38198.0 - 0.2 * second, AutomationDate::Status::kValid};
  EXPECT_EQ(Describe(LocalTimeFromDate(before_midnight)), "2004-7-30 0:0:0");
}

TEST(AutomationDateTest, DatesThatAreNotValidHaveNoLocalTime) {
  EXPECT_FALSE(LocalTimeFromDate(AutomationDate{38198.0, AutomationDate::Status::kInvalid}));
  EXPECT_FALSE(LocalTimeFromDate(AutomationDate{38198.0, AutomationDate::Status::kNull}));
  EXPECT_FALSE(LocalTimeFromDate(AutomationDate{2958466.0, AutomationDate::Status::kValid}));
}

TEST(AutomationDateTest, AddingDaysStaysWithinTheYears100To9999) {
  AutomationDate last = DateFromLocalTime({9999, 12, 31, 12, 0, 0});
  EXPECT_TRUE(AddDays(last, 0.4).IsValid());
  EXPECT_FALSE(AddDays(last, 0.5).IsValid());
  AutomationDate first = DateFromLocalTime({100, 1, 1, 12, 0, 0});
  EXPECT_TRUE(AddDays(first, -0.5).IsValid());
  EXPECT_FALSE(AddDays(first, -0.6).IsValid());
  EXPECT_FALSE(AddDays(AutomationDate{0.0, AutomationDate::Status::kInvalid}, 1.0).IsValid());
  AutomationDate later = AddDays(DateFromLocalTime({2004, 7, 30, 14, 5, 9}), 4.0 / 24.0);
  EXPECT_EQ(FormatCalibrationDate(later), "07/30/2004 18:05:09");
}

TEST(AutomationDateTest, NowComesFromTheClocksLocalTime) {
  testing::FakeClock clock;
  clock.SetLocal({2004, 7, 30, 14, 5, 9});
  clock.Advance(2000);
  EXPECT_EQ(FormatCalibrationDate(DateNow(clock)), "07/30/2004 14:05:11");
  clock.SetLocalUnavailable();
  EXPECT_FALSE(DateNow(clock).IsValid());
}

TEST(AutomationDateTest, FormatWritesMonthFirstWithLeadingZeros) {
  EXPECT_EQ(FormatCalibrationDate(DateFromLocalTime({2004, 7, 30, 14, 5, 9})), "07/30/2004 14:05:09");
  EXPECT_EQ(FormatCalibrationDate(DateFromLocalTime({2026, 12, 8, 0, 0, 0})), "12/08/2026 00:00:00");
  EXPECT_EQ(FormatCalibrationDate(DateFromLocalTime({100, 1, 1, 0, 0, 0})), "01/01/0100 00:00:00");
  EXPECT_EQ(FormatCalibrationDate(AutomationDate{38198.0, AutomationDate::Status::kInvalid}), "");
}

struct ParseCase {
  const char* text;
  const char* formatted;  // nullptr: rejected
};

class CalibrationDateParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CalibrationDateParseTest, AcceptsOnlyMonthFirstDates) {
  std::optional<AutomationDate> date = ParseCalibrationDate(GetParam().text);
  if (GetParam().formatted == nullptr) {
    EXPECT_FALSE(date.has_value()) << FormatCalibrationDate(date.value_or(AutomationDate{}));
  } else {
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(FormatCalibrationDate(*date), GetParam().formatted);
  }
}

INSTANTIATE_TEST_SUITE_P(Accepted, CalibrationDateParseTest,
                         ::testing::Values(ParseCase{"07/30/2004 14:05:09", "07/30/2004 14:05:09"},
                                           ParseCase{"12/07/2004 00:00:00", "12/07/2004 00:00:00"},
                                           ParseCase{"7/3/2004 9:05:01", "07/03/2004 09:05:01"},
                                           ParseCase{"07/30/2004 14:05", "07/30/2004 14:05:00"},
                                           ParseCase{"07/30/2004", "07/30/2004 00:00:00"},
                                           ParseCase{"  07/30/2004   14:05:09 ", "07/30/2004 14:05:09"},
                                           ParseCase{"02/29/2000 23:59:59", "02/29/2000 23:59:59"},
                                           ParseCase{"12/31/9999 23:59:59", "12/31/9999 23:59:59"},
                                           ParseCase{"01/01/0100 00:00:00", "01/01/0100 00:00:00"}));

INSTANTIATE_TEST_SUITE_P(
    Rejected, CalibrationDateParseTest,
    ::testing::Values(ParseCase{"", nullptr}, ParseCase{"   ", nullptr},
                      ParseCase{"13/01/2004 00:00:00", nullptr}, ParseCase{"00/10/2004 00:00:00", nullptr},
                      ParseCase{"02/30/2004 10:00:00", nullptr}, ParseCase{"02/29/2001", nullptr},
                      ParseCase{"07/30/2004 24:00:00", nullptr}, ParseCase{"07/30/2004 12:60", nullptr},
                      ParseCase{"07/30/2004 12:00:60", nullptr}, ParseCase{"07/30/04 12:00:00", nullptr},
                      ParseCase{"01/01/0099", nullptr}, ParseCase{"07-30-2004", nullptr},
                      ParseCase{"30.07.2004 14:05:09", nullptr}, ParseCase{"07/30/200414:05:09", nullptr},
                      ParseCase{"07/30/2004 14:05:09 PM", nullptr}, ParseCase{"07/30/2004 14", nullptr},
                      ParseCase{"007/30/2004", nullptr}, ParseCase{"07/30/2004 14:05:09:01", nullptr},
                      ParseCase{"yesterday", nullptr}));

}  // namespace
}  // namespace vk605
