#include "ui/calibration_page.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/control_panel.h"
#include "ui/panel_ids.h"
#include "ui/panel_rig.h"

namespace vk605 {
namespace {

using testing::PanelRig;

class CalibrationPageTest : public ::testing::Test {
 protected:
  // Opens the panel and switches to the calibration page.
  void ShowCalibration() {
    sheet_.OnShown(r_.view);
    ASSERT_TRUE(sheet_.OnPageChanging(panel::kStatusPage, panel::kCalibrationPage));
    r_.view.boxes.clear();
  }
  void Enter(const std::string& hours, const std::string& minutes, const std::string& limit) {
    r_.view.texts[panel::kHoursEdit] = hours;
    r_.view.texts[panel::kMinutesEdit] = minutes;
    r_.view.texts[panel::kLimitEdit] = limit;
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& box : r_.view.boxes) texts.push_back(box.text);
    return texts;
  }

  PanelRig r_;
  CControlPanel sheet_{r_.Context(), 1};
};

constexpr const char* k9046 =
    "The Expiration Time cannot be 0:00. Please enter a valid expiration time:\nHours: 0 to 720\nMinutes: 0 "
    "to 59";
constexpr const char* k9047 = "Expiration MINUTES must be in the range 0 to 59.";
constexpr const char* k9048 = "Expiration HOURS must be in the range 0 to 720.";
constexpr const char* k9049 = "Expiration Measurements must be in the range 1 to 10000.";
constexpr const char* kInteger = "Please enter an integer.";

TEST_F(CalibrationPageTest, InitialisationLoadsTheRecordIntoTheControls) {
  r_.limits.hours = 12;
  r_.limits.minutes = 5;
  r_.limits.limit = 700;
  r_.limits.time_rule = 0;
  r_.limits.count_rule = 1;
  ShowCalibration();
  EXPECT_EQ(r_.view.texts[panel::kHoursEdit], "12");
  EXPECT_EQ(r_.view.texts[panel::kMinutesEdit], "5");
  EXPECT_EQ(r_.view.texts[panel::kLimitEdit], "700");
  EXPECT_FALSE(r_.view.checks[panel::kTimeCheck]);
  EXPECT_TRUE(r_.view.checks[panel::kCountCheck]);
  EXPECT_FALSE(r_.view.IsEnabled(panel::kHoursEdit));
  EXPECT_FALSE(r_.view.IsEnabled(panel::kMinutesEdit));
  EXPECT_TRUE(r_.view.IsEnabled(panel::kLimitEdit));
  EXPECT_EQ(r_.limits.calls, (std::vector<std::string>{"ReadLimits"}));
  EXPECT_TRUE(r_.view.boxes.empty());
}

TEST_F(CalibrationPageTest, FirstActivationKeepsTheEditsLaterOnesReloadThem) {
  ShowCalibration();
  Enter(" 7 ", "+3", "0100");
  ASSERT_TRUE(sheet_.OnPageChanging(panel::kCalibrationPage, panel::kStatusPage));
  EXPECT_EQ(sheet_.CalibrationPage().Hours(), 7);
  ASSERT_TRUE(sheet_.OnPageChanging(panel::kStatusPage, panel::kCalibrationPage));
  EXPECT_EQ(r_.view.texts[panel::kHoursEdit], "7");
  EXPECT_EQ(r_.view.texts[panel::kMinutesEdit], "3");
  EXPECT_EQ(r_.view.texts[panel::kLimitEdit], "100");
  EXPECT_EQ(r_.limits.calls, (std::vector<std::string>{"ReadLimits"}));
}

struct ValidationCase {
  const char* hours;
  const char* minutes;
  const char* limit;
  const char* message;  // null: passes
  int focus;
};

class CalibrationValidationTest : public CalibrationPageTest,
                                  public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(CalibrationValidationTest, LeavingThePageValidatesInOrder) {
  const ValidationCase& e = GetParam();
  ShowCalibration();
  r_.view.focus = 0;
  Enter(e.hours, e.minutes, e.limit);
  const bool left = sheet_.OnPageChanging(panel::kCalibrationPage, panel::kStatusPage);
  if (e.message == nullptr) {
    EXPECT_TRUE(left);
    EXPECT_TRUE(r_.view.boxes.empty());
    EXPECT_EQ(sheet_.ActivePage(), panel::kStatusPage);
  } else {
    EXPECT_FALSE(left);
    EXPECT_EQ(sheet_.ActivePage(), panel::kCalibrationPage);
    ASSERT_EQ(Boxes(), (std::vector<std::string>{e.message}));
    EXPECT_EQ(r_.view.boxes[0].caption, "VK605");
    EXPECT_EQ(r_.view.boxes[0].type, kMbOk);
  }
  EXPECT_EQ(r_.view.focus, e.focus);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, CalibrationValidationTest,
    ::testing::Values(ValidationCase{"0", "0", "250", k9046, 0}, ValidationCase{"", "", "250", k9046, 0},
                      ValidationCase{"0", "0", "0", k9046,
                                     0},  // the limit is looked at only once the time passes
                      ValidationCase{"720", "59", "10000", nullptr, 0},
                      ValidationCase{"0", "1", "1", nullptr, 0}, ValidationCase{"1", "", "250", nullptr, 0},
                      ValidationCase{"721", "0", "250", k9048, panel::kHoursEdit},
                      ValidationCase{"-1", "30", "250", k9048, panel::kHoursEdit},
                      ValidationCase{"4", "60", "250", k9047, panel::kMinutesEdit},
                      ValidationCase{"721", "60", "250", k9047, panel::kMinutesEdit},  // minutes before hours
                      ValidationCase{"4", "-1", "250", k9047, panel::kMinutesEdit},
                      ValidationCase{"4", "0", "0", k9049, panel::kLimitEdit},
                      ValidationCase{"4", "0", "", k9049, panel::kLimitEdit},
                      ValidationCase{"4", "0", "10001", k9049, panel::kLimitEdit},
                      ValidationCase{"abc", "0", "250", kInteger, panel::kHoursEdit},
                      ValidationCase{"4", "1x", "250", kInteger, panel::kMinutesEdit},
                      ValidationCase{"4", "0", "1.5", kInteger, panel::kLimitEdit},
                      ValidationCase{"99999999999", "0", "250", kInteger, panel::kHoursEdit},
                      ValidationCase{"-", "0", "250", kInteger, panel::kHoursEdit},
                      ValidationCase{"abc", "60", "x", kInteger, panel::kHoursEdit}));

TEST_F(CalibrationPageTest, ZeroTimeIsRefusedAlsoWithTheTimeRuleOff) {
  r_.limits.time_rule = 0;
  ShowCalibration();
  Enter("0", "0", "250");
  EXPECT_FALSE(sheet_.OnPageChanging(panel::kCalibrationPage, panel::kStatusPage));
  EXPECT_EQ(Boxes(), (std::vector<std::string>{k9046}));
}

TEST_F(CalibrationPageTest, FailedValidationKeepsWhatWasReadBeforeTheFailingCheck) {
  ShowCalibration();
  Enter("721", "15", "9");
  EXPECT_FALSE(sheet_.OnPageChanging(panel::kCalibrationPage, panel::kStatusPage));
  EXPECT_EQ(sheet_.CalibrationPage().Hours(), 721);
  EXPECT_EQ(sheet_.CalibrationPage().Minutes(), 15);
  EXPECT_EQ(sheet_.CalibrationPage().Limit(), 250);  // not read: the hours failed first
}

TEST_F(CalibrationPageTest, RuleCheckBoxesSwitchTheirRuleAndEdits) {
  ShowCalibration();
  r_.view.checks[panel::kTimeCheck] = false;
  sheet_.OnCommand(panel::kTimeCheck);
  EXPECT_EQ(sheet_.CalibrationPage().TimeRuleOn(), 0);
  EXPECT_FALSE(r_.view.IsEnabled(panel::kHoursEdit));
  EXPECT_FALSE(r_.view.IsEnabled(panel::kMinutesEdit));
  EXPECT_TRUE(r_.view.IsEnabled(panel::kLimitEdit));
  r_.view.checks[panel::kCountCheck] = false;
  sheet_.OnCommand(panel::kCountCheck);
  EXPECT_EQ(sheet_.CalibrationPage().CountRuleOn(), 0);
  EXPECT_FALSE(r_.view.IsEnabled(panel::kLimitEdit));
  r_.view.checks[panel::kTimeCheck] = true;
  sheet_.OnCommand(panel::kTimeCheck);
  EXPECT_EQ(sheet_.CalibrationPage().TimeRuleOn(), 1);
  EXPECT_TRUE(r_.view.IsEnabled(panel::kHoursEdit));
  EXPECT_TRUE(r_.view.boxes.empty());
}

TEST_F(CalibrationPageTest, RuleClickWithAnInvalidFieldShowsItsMessageAndStaysChecked) {
  ShowCalibration();
  Enter("4", "0", "10001");
  r_.view.checks[panel::kTimeCheck] = false;
  sheet_.OnCommand(panel::kTimeCheck);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{k9049}));
  EXPECT_TRUE(r_.view.checks[panel::kTimeCheck]);
  EXPECT_EQ(sheet_.CalibrationPage().TimeRuleOn(), 1);
  EXPECT_TRUE(r_.view.IsEnabled(panel::kHoursEdit));

  Enter("0", "0", "5");
  r_.view.checks[panel::kCountCheck] = false;
  sheet_.OnCommand(panel::kCountCheck);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{k9049, k9046}));
  EXPECT_TRUE(r_.view.checks[panel::kCountCheck]);
  EXPECT_EQ(sheet_.CalibrationPage().CountRuleOn(), 1);
}

TEST_F(CalibrationPageTest, OkStoresLimitsSpanAndRulesThenSaves) {
  ShowCalibration();
  Enter("10", "30", "500");
  r_.view.checks[panel::kCountCheck] = false;
  sheet_.OnCommand(panel::kCountCheck);
  EXPECT_TRUE(sheet_.OnOk());
  EXPECT_EQ(r_.limits.calls, (std::vector<std::string>{"ReadLimits", "SetLimits 10 30 500", "ApplySpan",
                                                       "SetTimeRule 1", "SetCountRule 0", "Save"}));
  EXPECT_DOUBLE_EQ(r_.limits.span_days, 10 / 24.0 + 30 / 1440.0);
  EXPECT_EQ(r_.profiling.calls.back(), "close");
}

TEST_F(CalibrationPageTest, OkFromTheStatusPageStoresWhatTheCalibrationPageHeld) {
  ShowCalibration();
  Enter("720", "59", "10000");
  ASSERT_TRUE(sheet_.OnPageChanging(panel::kCalibrationPage, panel::kStatusPage));
  EXPECT_TRUE(sheet_.OnOk());
  EXPECT_EQ(r_.limits.calls[1], "SetLimits 720 59 10000");
  EXPECT_EQ(r_.limits.calls.back(), "Save");
}

TEST_F(CalibrationPageTest, OkWithAnInvalidFieldKeepsThePanelOpenAndStoresNothing) {
  ShowCalibration();
  Enter("721", "0", "250");
  EXPECT_FALSE(sheet_.OnOk());
  EXPECT_EQ(Boxes(), (std::vector<std::string>{k9048}));
  EXPECT_EQ(r_.view.focus, panel::kHoursEdit);
  EXPECT_EQ(r_.limits.calls, (std::vector<std::string>{"ReadLimits"}));
  EXPECT_TRUE(r_.profiling.calls.back() != "close");
  Enter("720", "0", "250");
  EXPECT_TRUE(sheet_.OnOk());
  EXPECT_EQ(r_.limits.calls[1], "SetLimits 720 0 250");
}

TEST_F(CalibrationPageTest, CancelStoresNothing) {
  ShowCalibration();
  Enter("10", "30", "500");
  sheet_.OnCancel();
  EXPECT_EQ(r_.limits.calls, (std::vector<std::string>{"ReadLimits"}));
}

TEST_F(CalibrationPageTest, PageNeverShownStoresNothingOnOk) {
  sheet_.OnShown(r_.view);
  EXPECT_TRUE(sheet_.OnOk());
  EXPECT_TRUE(r_.limits.calls.empty());
}

TEST(ParseEditInteger, TheFrameworksIntegerExchange) {
  EXPECT_EQ(ParseEditInteger(""), 0);
  EXPECT_EQ(ParseEditInteger("   "), 0);
  EXPECT_EQ(ParseEditInteger("42"), 42);
  EXPECT_EQ(ParseEditInteger(" -42 "), -42);
  EXPECT_EQ(ParseEditInteger("+7"), 7);
  EXPECT_EQ(ParseEditInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseEditInteger("-2147483648"), INT32_MIN);
  EXPECT_FALSE(ParseEditInteger("2147483648"));
  EXPECT_FALSE(ParseEditInteger("4 2"));
  EXPECT_FALSE(ParseEditInteger("0x10"));
  EXPECT_FALSE(ParseEditInteger("+"));
  EXPECT_FALSE(ParseEditInteger("12a"));
}

}  // namespace
}  // namespace vk605
