#include "engine/calibration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/result_code.h"
#include "instrument_script.h"
#include "ui/driver_strings.h"

namespace vk605 {
namespace {

using testing::EngineRig;
using testing::FakeUserInterface;
using testing::InstrumentScript;
using testing::LogCapture;
using Commands = std::vector<std::string>;

const char* const kInstructions =
    "The spectrophotometer has been placed in calibration mode for you.  Please follow the directions on the "
    "spectrophotometer's display in order to proceed with calibration.\nIf you are uncertain as to how to "
    "calibrate your spectrophotometer, please refer to your spectrophotometer owner's manual.\n\nDo NOT "
    "click "
    "the OK button on this window until calibration is complete.";
const char* const kCancelled =
    "You have cancelled calibration.  You will not be able to take measurements until you calibrate the "
    "spectrophotometer.";

// A connected rig; the operator's answers and the instrument's calibration state are set per test.
class CalibrationTest : public ::testing::Test {
 protected:
  CalibrationTest() { script_.Connect(); }

  int Calibrate() { return RunCalibration(rig_.engine.Context(), rig_.state.CalibrationStatus); }
  // The instrument reports itself calibrated from the given prompt on (1 = the first).
  void CalibratedAtPrompt(int prompt) {
    script_.Calibrated(false);
    rig_.ui.on_box = [this, prompt](const FakeUserInterface::Box& box) {
      if (box.text == kInstructions && ++prompts_ == prompt) script_.Calibrated(true);
    };
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const FakeUserInterface::Box& box : rig_.ui.boxes) texts.push_back(box.text);
    return texts;
  }

  EngineRig rig_;
  InstrumentScript script_{rig_};
  int prompts_ = 0;
};

TEST_F(CalibrationTest, CalibratedInstrumentConfirmedAtOnce) {
  rig_.ui.answers = {kIdOk};
  EXPECT_EQ(Calibrate(), 0);
  EXPECT_EQ(script_.Commands(), (Commands{"\r", "0601SM\r", "01XD\r", "AT\r,", "\r", "0101SM\r"}));
  ASSERT_EQ(rig_.ui.boxes.size(), 1u);
  EXPECT_EQ(rig_.ui.boxes[0].text, kInstructions);
  EXPECT_EQ(rig_.ui.boxes[0].caption, "VK605");
  EXPECT_EQ(rig_.ui.boxes[0].type, 1u);  // OK/Cancel
  EXPECT_STREQ(rig_.state.CalibrationStatus, "CREILL");
  EXPECT_EQ(rig_.state.ConfirmedCalibrations.load(), 1u);
}

// Every OK on a still uncalibrated instrument sends calibration mode again and prompts again.
TEST_F(CalibrationTest, OkBeforeTheInstrumentIsCalibratedPromptsAgain) {
  CalibratedAtPrompt(3);
  rig_.ui.answers = {kIdOk, kIdOk, kIdOk};
  EXPECT_EQ(Calibrate(), 0);
  EXPECT_EQ(script_.Commands(), (Commands{"\r", "0601SM\r", "01XD\r", "AT\r,", "0601SM\r", "01XD\r", "AT\r,",
                                          "0601SM\r", "01XD\r", "AT\r,", "\r", "0101SM\r"}));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kInstructions, kInstructions, kInstructions}));
  EXPECT_EQ(rig_.state.ConfirmedCalibrations.load(), 1u);
}

TEST_F(CalibrationTest, CancelWhileUncalibratedEndsWithoutMeasuringMode) {
  script_.Calibrated(false);
  rig_.ui.answers = {kIdCancel, kIdOk};
  EXPECT_EQ(Calibrate(), result::kUncalibrated);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kInstructions, kCancelled}));
  EXPECT_EQ(rig_.ui.boxes[1].type, 0u);  // OK only
  EXPECT_EQ(script_.Commands(), (Commands{"\r", "0601SM\r", "01XD\r", "AT\r,", "\r"}));
  EXPECT_STREQ(rig_.state.CalibrationStatus, "XREILL");
  EXPECT_EQ(rig_.state.ConfirmedCalibrations.load(), 0u);
}

TEST_F(CalibrationTest, CancelAfterTheInstrumentCalibratedEndsNormally) {
  CalibratedAtPrompt(1);
  rig_.ui.answers = {kIdCancel};
  EXPECT_EQ(Calibrate(), 0);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kInstructions}));
  EXPECT_EQ(script_.Commands(), (Commands{"\r", "0601SM\r", "01XD\r", "AT\r,", "\r", "0101SM\r"}));
  EXPECT_EQ(rig_.state.ConfirmedCalibrations.load(), 1u);
}

// A failed "0601SM" stops the mode commands, not the prompts; its result is returned at the end.
TEST_F(CalibrationTest, FailedCalibrationModeKeepsPromptingAndReturnsTheFailure) {
  script_.Calibrated(false);
  rig_.devices.StallOutput();
  rig_.ui.answers = {kIdOk, kIdOk};
  rig_.ui.on_box = [this](const FakeUserInterface::Box&) {
    rig_.devices.StallOutput(false);
    if (++prompts_ == 2) script_.Calibrated(true);
  };
  EXPECT_EQ(Calibrate(), result::kLinkFailure);
  EXPECT_EQ(script_.Commands(), (Commands{"\r", "0601SM\r", "01XD\r", "AT\r,", "01XD\r", "AT\r,", "\r"}));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kInstructions, kInstructions}));
  // Calibrated at the answer, but the instrument never took the calibration mode: no calibration.
  EXPECT_EQ(rig_.state.ConfirmedCalibrations.load(), 0u);
}

TEST_F(CalibrationTest, FailedCalibrationModeThenCancelReturnsUncalibrated) {
  script_.Calibrated(false);
  rig_.devices.StallOutput();
  rig_.ui.answers = {kIdCancel, kIdOk};
  rig_.ui.on_box = [this](const FakeUserInterface::Box&) { rig_.devices.StallOutput(false); };
  EXPECT_EQ(Calibrate(), result::kUncalibrated);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kInstructions, kCancelled}));
  EXPECT_EQ(rig_.state.ConfirmedCalibrations.load(), 0u);
}

// The line stops draining once the status after the prompt was read: "0101SM" fails.
TEST_F(CalibrationTest, FailedMeasuringModeIsTheResult) {
  rig_.ui.answers = {kIdOk};
  rig_.devices.Reply("AT\r,", "LAV\r\n<00>\r\n", 1);
  rig_.devices.OnWaitForInput([this](const std::string& last_written) {
    if (last_written == "AT\r,") rig_.devices.StallOutput();
  });
  EXPECT_EQ(Calibrate(), result::kLinkFailure);
  EXPECT_EQ(script_.Commands(), (Commands{"\r", "0601SM\r", "01XD\r", "AT\r,", "\r", "0101SM\r"}));
  EXPECT_STREQ(rig_.state.CalibrationStatus, "CREILL");
  // The instrument confirmed the calibration before the closing exchange failed.
  EXPECT_EQ(rig_.state.ConfirmedCalibrations.load(), 1u);
}

// Codes 6, 7 and 123 run the sequence but return the connect-on-demand result, not its outcome.
TEST_F(CalibrationTest, CalibrationCodesReturnTheOpenResultNotTheOutcome) {
  LogCapture log(rig_.log);
  script_.Calibrated(false);
  for (unsigned code : {code::kCalibrate, code::kCalibrateAlternate, code::kWhiteCalibration}) {
    rig_.ui.answers = {kIdCancel, kIdOk};
    char text[kTextBufferSize] = "untouched";
    EXPECT_EQ(rig_.engine.ReadHead(code, nullptr, nullptr, text), 0u) << code;
    EXPECT_STREQ(text, "untouched") << code;
    EXPECT_STREQ(rig_.state.CalibrationStatus, "XREILL") << code;
  }
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"COMM_WHITECAL", "COMM_WHITECAL", "COMM_WHITECAL"}));
  EXPECT_EQ(rig_.ui.boxes.size(), 6u);
}

TEST_F(CalibrationTest, BlackCalibrationIsAnUnsupportedCommand) {
  LogCapture log(rig_.log);
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig_.engine.ReadHead(code::kBlackCalibration, nullptr, nullptr, text), 0u);
  EXPECT_STREQ(text, "CREILL");
  EXPECT_TRUE(script_.Commands().empty());
  EXPECT_TRUE(rig_.ui.boxes.empty());
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"UNSUPPORTED_COMMAND"});
}

}  // namespace
}  // namespace vk605
