#include "settings/calibration_validity.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_private_profile.h"

namespace vk605 {
namespace {

constexpr const char* kDirectory = "C:\\DRV";
constexpr const char* kCalibrationFile = "C:\\DRV\\A1234.INI";
constexpr const char* kMainFile = "C:\\DRV\\VK605.INI";

class CountingNotifier : public ExpiryNotifier {
 public:
  void ShowCalibrationExpired() override { ++shown; }
  int shown = 0;
};

class CalibrationValidityTest : public ::testing::Test {
 protected:
  CalibrationValidityTest() {
    clock_.SetLocal({2026, 12, 8, 10, 30, 0});
    current_.Set(kMainFile);
  }

  std::string Stored(const char* key) {
    return profile_.Value(kCalibrationFile, "CALIBRATION", key).value_or("<absent>");
  }
  void Seed(const char* key, const char* value) {
    profile_.WriteString("CALIBRATION", key, value, kCalibrationFile);
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> writes;
    for (const auto& call : profile_.calls) {
      if (call.rfind("write ", 0) == 0) writes.push_back(call.substr(call.find(']') + 2));
    }
    return writes;
  }
  static void AdvanceSeconds(testing::FakeClock& clock, int seconds) { clock.Advance(seconds * 1000ull); }

  testing::FakeClock clock_;
  CurrentSettingsFile current_;
  testing::FakePrivateProfile profile_;
  CountingNotifier notifier_;
};

TEST_F(CalibrationValidityTest, StartsWithTheFactoryLimitsAndNowForBothDates) {
  CalibrationValidity validity(current_, profile_, clock_);
  EXPECT_EQ(validity.Hours(), 4);
  EXPECT_EQ(validity.Minutes(), 0);
  EXPECT_EQ(validity.MeasurementLimit(), 250);
  EXPECT_EQ(validity.IsTimeRuleOn(), 0);
  EXPECT_EQ(validity.IsCountRuleOn(), 0);
  EXPECT_EQ(validity.MeasurementCount(), 0);
  EXPECT_EQ(validity.Path(), "");
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "12/08/2026 10:30:00");
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "12/08/2026 10:30:00");
}

TEST_F(CalibrationValidityTest, LoadOfAFreshFileWritesEveryKeyAndTakesTheLoadTime) {
  CalibrationValidity validity(current_, profile_, clock_);
  AdvanceSeconds(clock_, 5);
  EXPECT_EQ(validity.Load("A1234", kDirectory, '\\'), 0);
  EXPECT_EQ(validity.Path(), kCalibrationFile);
  EXPECT_EQ(
      profile_.Dump(kCalibrationFile),
      "[CALIBRATION]\r\nHOURS=4\r\nMINUTES=0\r\nMEASUREMENTS=250\r\nEXPIRATION=\r\nCALIBRATION_DATE=\r\n"
      "bTIME=0\r\nbMEASUREMENTS=0\r\nMEASUREMENT_COUNT=0\r\n");
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "12/08/2026 10:30:05");
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "12/08/2026 10:30:05");
  EXPECT_EQ(current_.Get(), kMainFile);
  EXPECT_FALSE(profile_.Exists(kMainFile));
}

TEST_F(CalibrationValidityTest, LoadReadsEveryKeyOfTheFile) {
  Seed("HOURS", "-1");
  Seed("MINUTES", "30");
  Seed("MEASUREMENTS", "3");
  Seed("EXPIRATION", "07/30/2004 14:05:09");
  Seed("CALIBRATION_DATE", "07/30/2004 10:05:09");
  Seed("bTIME", "1");
  Seed("bMEASUREMENTS", "1");
  Seed("MEASUREMENT_COUNT", "7");
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(validity.Hours(), 65535);
  EXPECT_EQ(Stored("HOURS"), "65535");
  EXPECT_EQ(validity.Minutes(), 30);
  EXPECT_EQ(validity.MeasurementLimit(), 3);
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "07/30/2004 14:05:09");
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "07/30/2004 10:05:09");
  EXPECT_EQ(validity.IsTimeRuleOn(), 1);
  EXPECT_EQ(validity.IsCountRuleOn(), 1);
  EXPECT_EQ(validity.MeasurementCount(), 7);
}

TEST_F(CalibrationValidityTest, LoadTakesEachStepInOrderOnItsOwnDocument) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  std::vector<std::string> keys;
  for (const auto& call : profile_.calls) {
    ASSERT_NE(call.find(kCalibrationFile), std::string::npos) << call;
    if (call.rfind("read ", 0) == 0) keys.push_back(call.substr(call.find(']') + 2));
  }
  EXPECT_EQ(keys,
            (std::vector<std::string>{"HOURS", "MINUTES", "MEASUREMENTS", "EXPIRATION", "CALIBRATION_DATE",
                                      "bTIME", "bMEASUREMENTS", "MEASUREMENT_COUNT"}));
}

TEST_F(CalibrationValidityTest, LoadUsesTheFixedLimitDefaultsButTheRuleFlagsInMemory) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.SetLimits(10, 20, 30);
  validity.SetTimeRule(1);
  validity.CountMeasurement();
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(validity.Hours(), 4);
  EXPECT_EQ(validity.Minutes(), 0);
  EXPECT_EQ(validity.MeasurementLimit(), 250);
  EXPECT_EQ(validity.IsTimeRuleOn(), 1);
  EXPECT_EQ(Stored("bTIME"), "1");
  EXPECT_EQ(validity.MeasurementCount(), 0);
}

TEST_F(CalibrationValidityTest, DatesThatDoNotParseBecomeNowAndAreWrittenBackAsRead) {
  Seed("EXPIRATION", "30.07.2004 14:05:09");
  Seed("CALIBRATION_DATE", "");
  CalibrationValidity validity(current_, profile_, clock_);
  AdvanceSeconds(clock_, 60);
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "12/08/2026 10:31:00");
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "12/08/2026 10:31:00");
  EXPECT_EQ(Stored("EXPIRATION"), "30.07.2004 14:05:09");
  EXPECT_EQ(Stored("CALIBRATION_DATE"), "");
}

// Without a serial number the record used to land in VK605.INI among the port settings, where every
// instrument without one read it back. It is now kept in memory only.
TEST_F(CalibrationValidityTest, EmptySerialNumberKeepsTheRecordOutOfTheMainFile) {
  profile_.WriteString("MAIN", "PORT", "COM1:", kMainFile);
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("", kDirectory, '\\');
  EXPECT_EQ(validity.Path(), "");
  validity.SetCountRule(1);
  validity.SetLimits(4, 0, 0);
  validity.ResetAfterCalibration();
  validity.CountMeasurement();
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
  validity.Save();
  EXPECT_EQ(profile_.Dump(kMainFile), "[MAIN]\r\nPORT=COM1:\r\n");
  EXPECT_EQ(validity.MeasurementCount(), 1);
}

TEST_F(CalibrationValidityTest, SerialNumberThatIsTheModelNameAloneKeepsTheRecordOutOfTheMainFile) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("VK605", kDirectory, '\\');
  EXPECT_EQ(validity.Path(), "");
  validity.Save();
  EXPECT_FALSE(profile_.Exists(kMainFile));
}

// A later Load without a file starts the record afresh instead of keeping another instrument's.
TEST_F(CalibrationValidityTest, LoadWithoutAFileStartsAfresh) {
  Seed("MEASUREMENT_COUNT", "7");
  Seed("HOURS", "9");
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  ASSERT_EQ(validity.MeasurementCount(), 7);
  validity.Load("", kDirectory, '\\');
  EXPECT_EQ(validity.MeasurementCount(), 0);
  EXPECT_EQ(validity.Hours(), 4);
  validity.Save();
  EXPECT_EQ(Stored("MEASUREMENT_COUNT"), "7");
}

TEST_F(CalibrationValidityTest, UncreatableSerialFileGivesNoFile) {
  profile_.SetUnwritable(kCalibrationFile);
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(validity.Path(), "");
  EXPECT_FALSE(profile_.Exists(kMainFile));
}

// The load time used to reach the file at unload as CALIBRATION_DATE (and a fake EXPIRATION), and was then
// shown as a calibration that never happened.
TEST_F(CalibrationValidityTest, FirstLoadDoesNotRecordTheLoadTimeAsACalibration) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  AdvanceSeconds(clock_, 30);
  validity.CountMeasurement();
  validity.Save();
  EXPECT_EQ(Stored("CALIBRATION_DATE"), "");
  EXPECT_EQ(Stored("EXPIRATION"), "");
  EXPECT_EQ(Stored("MEASUREMENT_COUNT"), "1");
  validity.ApplySpan(1.0);
  validity.Save();
  EXPECT_EQ(Stored("EXPIRATION"), "");
}

TEST_F(CalibrationValidityTest, UnparsableDatesAreSavedBackAsTheyWereRead) {
  Seed("EXPIRATION", "garbage");
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  validity.Save();
  EXPECT_EQ(Stored("EXPIRATION"), "garbage");
  EXPECT_EQ(Stored("CALIBRATION_DATE"), "");
}

// The record reached the disk only at unload: a host that crashed lost the calibration and the count.
TEST_F(CalibrationValidityTest, CountAndCalibrationAreSavedAsTheyChange) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  profile_.calls.clear();
  validity.CountMeasurement();
  EXPECT_EQ(Writes(), (std::vector<std::string>{"MEASUREMENT_COUNT=1"}));
  profile_.calls.clear();
  AdvanceSeconds(clock_, 10);
  validity.ResetAfterCalibration();
  EXPECT_EQ(Writes(), (std::vector<std::string>{"CALIBRATION_DATE=12/08/2026 10:30:10",
                                                "EXPIRATION=12/08/2026 14:30:10", "MEASUREMENT_COUNT=0"}));
  EXPECT_EQ(current_.Get(), kMainFile);
  CalibrationValidity reloaded(current_, profile_, clock_);
  reloaded.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(FormatCalibrationDate(reloaded.CalibrationDate()), "12/08/2026 10:30:10");
}

// What the driver wrote is read in its own form before any locale is asked, so a day-first locale
// cannot exchange day and month.
TEST_F(CalibrationValidityTest, WrittenFormIsParsedBeforeTheLocaleForm) {
  Seed("CALIBRATION_DATE", "07/08/2026 10:00:00");
  clock_.SetLocaleDate("07/08/2026 10:00:00", {2026, 8, 7, 10, 0, 0});
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "07/08/2026 10:00:00");
  EXPECT_EQ(clock_.LocaleParses(), (std::vector<std::string>{}));
}

// Dates another program wrote in the user's locale form used to become now (and expire a second later).
TEST_F(CalibrationValidityTest, LocaleFormIsParsedWhenTheWrittenFormDoesNot) {
  Seed("EXPIRATION", "30.12.2026 14:05:09");
  Seed("CALIBRATION_DATE", "31.02.2026 10:00:00");
  Seed("bTIME", "1");
  clock_.SetLocaleDate("30.12.2026 14:05:09", {2026, 12, 30, 14, 5, 9});
  clock_.SetLocaleDate("31.02.2026 10:00:00", {2026, 2, 31, 10, 0, 0});  // no such day: refused
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "12/30/2026 14:05:09");
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "12/08/2026 10:30:00");
  EXPECT_EQ(clock_.LocaleParses(), (std::vector<std::string>{"30.12.2026 14:05:09", "31.02.2026 10:00:00"}));
  AdvanceSeconds(clock_, 3600);
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
  validity.Save();
  EXPECT_EQ(Stored("EXPIRATION"), "12/30/2026 14:05:09");
  EXPECT_EQ(Stored("CALIBRATION_DATE"), "31.02.2026 10:00:00");
}

TEST_F(CalibrationValidityTest, OversizedCalibrationFileIsNeitherReadNorWritten) {
  profile_.SetOversized(kCalibrationFile);
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(validity.Hours(), 4);
  EXPECT_EQ(validity.MeasurementLimit(), 250);
  validity.CountMeasurement();
  validity.ResetAfterCalibration();
  validity.Save();
  EXPECT_EQ(profile_.Dump(kCalibrationFile), "");
}

TEST_F(CalibrationValidityTest, SaveBeforeLoadWritesNothing) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Save();
  EXPECT_TRUE(profile_.calls.empty());
}

TEST_F(CalibrationValidityTest, SaveWritesEveryKeyInOrderWithMonthFirstDates) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  validity.SetTimeRule(1);
  validity.ResetAfterCalibration();
  validity.CountMeasurement();
  profile_.calls.clear();
  validity.Save();
  EXPECT_EQ(Writes(),
            (std::vector<std::string>{"bTIME=1", "bMEASUREMENTS=0", "CALIBRATION_DATE=12/08/2026 10:30:00",
                                      "EXPIRATION=12/08/2026 14:30:00", "HOURS=4", "MINUTES=0",
                                      "MEASUREMENTS=250", "MEASUREMENT_COUNT=1"}));
  EXPECT_EQ(Writes().size(), profile_.calls.size());  // nothing read
  EXPECT_EQ(current_.Get(), kMainFile);
}

TEST_F(CalibrationValidityTest, SaveStoresTheLimitsAsTheirLow16Bits) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  validity.SetLimits(70000, -1, 65536);
  validity.Save();
  EXPECT_EQ(Stored("HOURS"), "4464");
  EXPECT_EQ(Stored("MINUTES"), "65535");
  EXPECT_EQ(Stored("MEASUREMENTS"), "0");
}

TEST_F(CalibrationValidityTest, SaveWritesEmptyTextForDatesThatAreNotValid) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  clock_.SetLocalUnavailable();
  validity.ResetAfterCalibration();
  validity.Save();
  EXPECT_EQ(Stored("CALIBRATION_DATE"), "");
  EXPECT_EQ(Stored("EXPIRATION"), "");
}

TEST_F(CalibrationValidityTest, CountRuleAllowsExactlyTheLimit) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  validity.SetLimits(4, 0, 3);
  validity.SetCountRule(1);
  validity.ResetAfterCalibration();
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(validity.IsExpired(notifier_), 0) << i;
    validity.CountMeasurement();
  }
  EXPECT_EQ(notifier_.shown, 0);
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
  EXPECT_EQ(notifier_.shown, 2);
  EXPECT_EQ(validity.MeasurementCount(), 3);
}

TEST_F(CalibrationValidityTest, CountRuleWithTheFactoryLimitRefusesThe251st) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  validity.SetCountRule(1);
  validity.ResetAfterCalibration();
  int allowed = 0;
  while (validity.IsExpired(notifier_) == 0 && allowed < 1000) {
    validity.CountMeasurement();
    ++allowed;
  }
  EXPECT_EQ(allowed, 250);
  EXPECT_EQ(notifier_.shown, 1);
}

TEST_F(CalibrationValidityTest, LimitZeroRefusesEvenRightAfterCalibration) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.SetLimits(4, 0, 0);
  validity.SetCountRule(1);
  validity.ResetAfterCalibration();
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
}

TEST_F(CalibrationValidityTest, ExpiryEmptiesTheStoredDateUntilTheNextSave) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  validity.ResetAfterCalibration();
  validity.Save();
  ASSERT_EQ(Stored("CALIBRATION_DATE"), "12/08/2026 10:30:00");
  validity.SetLimits(4, 0, 0);
  validity.SetCountRule(1);
  profile_.calls.clear();
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
  EXPECT_EQ(profile_.calls,
            (std::vector<std::string>{"write C:\\DRV\\A1234.INI [CALIBRATION] CALIBRATION_DATE="}));
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "12/08/2026 10:30:00");
  validity.Save();
  EXPECT_EQ(Stored("CALIBRATION_DATE"), "12/08/2026 10:30:00");
}

TEST_F(CalibrationValidityTest, TimeRuleExpiresOnlyStrictlyAfterTheExpiration) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  validity.SetTimeRule(1);
  validity.ResetAfterCalibration();  // expires 4 hours from now
  AdvanceSeconds(clock_, 4 * 3600 - 1);
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
  AdvanceSeconds(clock_, 1);
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
  AdvanceSeconds(clock_, 1);
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
  EXPECT_EQ(notifier_.shown, 1);
}

TEST_F(CalibrationValidityTest, TimeRuleAroundAStoredExpiration) {
  Seed("EXPIRATION", "12/08/2026 10:30:10");
  Seed("bTIME", "1");
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  AdvanceSeconds(clock_, 9);
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
  AdvanceSeconds(clock_, 2);
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
}

TEST_F(CalibrationValidityTest, UnparsableExpirationExpiresFromTheNextSecond) {
  Seed("EXPIRATION", "");
  Seed("bTIME", "1");
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
  AdvanceSeconds(clock_, 1);
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
}

TEST_F(CalibrationValidityTest, TimeRuleReportsNoExpiryWithoutAKnownTime) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.SetTimeRule(1);
  validity.ApplySpan(-1.0);
  clock_.SetLocalUnavailable();
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
  clock_.SetLocal({2026, 12, 9, 0, 0, 0});
  EXPECT_EQ(validity.IsExpired(notifier_), 1);
  validity.SetExpirationForTest(AutomationDate{0.0, AutomationDate::Status::kInvalid});
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
}

TEST_F(CalibrationValidityTest, BothRulesOffNeverExpire) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.SetLimits(0, 1, 0);
  validity.ApplySpan(-1.0);
  EXPECT_EQ(validity.IsExpired(notifier_), 0);
  EXPECT_EQ(validity.MeasurementCount(), 0);
  EXPECT_EQ(notifier_.shown, 0);
  EXPECT_TRUE(profile_.calls.empty());
}

TEST_F(CalibrationValidityTest, ResetRestartsThePeriodFromNow) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.SetLimits(1, 30, 250);
  validity.CountMeasurement();
  AdvanceSeconds(clock_, 100);
  validity.ResetAfterCalibration();
  EXPECT_EQ(validity.MeasurementCount(), 0);
  EXPECT_EQ(FormatCalibrationDate(validity.CalibrationDate()), "12/08/2026 10:31:40");
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "12/08/2026 12:01:40");
  EXPECT_TRUE(profile_.calls.empty());
}

TEST_F(CalibrationValidityTest, SpanIsMeasuredFromTheLastCalibration) {
  CalibrationValidity validity(current_, profile_, clock_);
  validity.ResetAfterCalibration();
  AdvanceSeconds(clock_, 3600);
  validity.ApplySpan(2.0 / 24.0 + 15.0 / 1440.0);
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "12/08/2026 12:45:00");
  validity.ApplySpan(5.0, false);
  EXPECT_EQ(FormatCalibrationDate(validity.Expiration()), "12/08/2026 12:45:00");
  validity.ApplySpan(3000000.0);
  EXPECT_FALSE(validity.Expiration().IsValid());
}

TEST_F(CalibrationValidityTest, ReadLimitsReportsTheStoredLimits) {
  Seed("HOURS", "12");
  Seed("MINUTES", "-1");
  CalibrationValidity validity(current_, profile_, clock_);
  validity.Load("A1234", kDirectory, '\\');
  std::int32_t hours = 0;
  std::int32_t minutes = 0;
  std::int32_t limit = 0;
  EXPECT_EQ(validity.ReadLimits(&hours, &minutes, &limit), 0);
  EXPECT_EQ(hours, 12);
  EXPECT_EQ(minutes, 65535);
  EXPECT_EQ(limit, 250);
}

}  // namespace
}  // namespace vk605
