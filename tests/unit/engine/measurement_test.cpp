#include "engine/measurement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/result_code.h"
#include "instrument_script.h"
#include "ui/driver_strings.h"

namespace vk605 {
namespace {

using testing::Commands;
using testing::CutSpectralReply;
using testing::EngineRig;
using testing::InstrumentScript;
using testing::Join;
using testing::kStatus;
using testing::kUntouched;
using testing::LogCapture;
using testing::ScriptedFactor;
using testing::SpectralReply;

// A connected rig whose instrument reports itself calibrated and answers a measurement at once.
class MeasurementTest : public ::testing::Test {
 protected:
  MeasurementTest() {
    script_.Connect();
    for (double& value : spectra_) value = kUntouched;
  }

  unsigned Measure() { return rig_.engine.ReadHead(code::kMeasure, spectra_, nullptr, text_); }
  bool SpectraUntouched() const {
    for (double value : spectra_) {
      if (value != kUntouched) return false;
    }
    return true;
  }
  // The time between the writes of two commands, the last time one followed the other, in fake
  // milliseconds.
  std::uint64_t Between(const std::string& first, const std::string& next) const {
    Commands commands = script_.Commands();
    std::vector<std::uint64_t> times = script_.CommandTimes();
    for (std::size_t i = commands.size(); i-- > 1;) {
      if (commands[i - 1] == first && commands[i] == next) return times[i] - times[i - 1];
    }
    ADD_FAILURE() << "no " << first << " followed by " << next;
    return 0;
  }

  EngineRig rig_;
  InstrumentScript script_{rig_};
  double spectra_[kSpectrumPoints] = {};
  char text_[kTextBufferSize] = "previous";
};

TEST_F(MeasurementTest, AcceptedMeasurementReadsAndScalesTheSpectrum) {
  LogCapture log(rig_.log);
  std::uint64_t waited = rig_.clock.WaitedMs();
  EXPECT_EQ(Measure(), 0u);
  EXPECT_EQ(script_.Commands(), Join({kStatus, {"\r", "0101SM\r", "RM\r", "104GF\r"}, kStatus, kStatus}));
  for (int i = 0; i < kMeasuredPoints; ++i) EXPECT_DOUBLE_EQ(spectra_[4 + i], ScriptedFactor(i)) << i;
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(spectra_[i], ScriptedFactor(0)) << i;
  for (int i = 35; i < kSpectrumPoints; ++i) EXPECT_DOUBLE_EQ(spectra_[i], ScriptedFactor(30)) << i;
  EXPECT_STREQ(text_, "CREILL");
  EXPECT_STREQ(rig_.state.MeasurementStatus, "CREILL");
  // One second of wake-up and the instrument's 200 ms between accepting and delivering.
  EXPECT_EQ(rig_.clock.WaitedMs() - waited, 1200u);
  EXPECT_EQ(Between("RM\r", "104GF\r"), 200u);
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"COMM_MEASURE"});
}

TEST_F(MeasurementTest, SpecularModeZeroReadsWithItsOwnCommand) {
  rig_.settings.SpecularMode = 0;
  EXPECT_EQ(Measure(), 0u);
  EXPECT_EQ(script_.Commands(), Join({kStatus, {"\r", "0101SM\r", "RM\r", "004GF\r"}, kStatus, kStatus}));
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
}

TEST_F(MeasurementTest, RefusedMeasurementFailsWithoutReadingTheSpectrum) {
  script_.RefusesMeasurement();
  EXPECT_EQ(Measure(), static_cast<unsigned>(result::kFailedToMeasure));
  EXPECT_EQ(script_.Commands(), Join({kStatus, {"\r", "0101SM\r", "RM\r"}, kStatus}));
  EXPECT_TRUE(SpectraUntouched());
  EXPECT_STREQ(text_, "CREILL");
}

// "RM" is given 25 s: a reply at the limit is still taken, a silent instrument fails the measurement
// once the read has waited the whole time (plus the millisecond that shows it as passed).
TEST_F(MeasurementTest, MeasureCommandWaitsTwentyFiveSecondsForItsReply) {
  script_.AcceptsMeasurement(25000);
  EXPECT_EQ(Measure(), 0u);
  EXPECT_EQ(Between("RM\r", "104GF\r"), 25000u + 200u);
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
}

TEST_F(MeasurementTest, SilentInstrumentFailsTheMeasurementAfterTwentyFiveSeconds) {
  script_.AcceptsMeasurement(30000);
  EXPECT_EQ(Measure(), static_cast<unsigned>(result::kFailedToMeasure));
  EXPECT_EQ(Between("RM\r", "01XD\r"), 25001u);
  EXPECT_EQ(script_.Commands(), Join({kStatus, {"\r", "0101SM\r", "RM\r"}, kStatus}));
  EXPECT_TRUE(SpectraUntouched());
}

TEST_F(MeasurementTest, SpectralReadWaitsTwentyFiveSecondsForItsThreeLines) {
  script_.Spectrum(SpectralReply(), 25000);
  EXPECT_EQ(Measure(), 0u);
  EXPECT_DOUBLE_EQ(spectra_[34], ScriptedFactor(30));

  script_.Spectrum("");
  for (double& value : spectra_) value = kUntouched;
  EXPECT_EQ(Measure(), static_cast<unsigned>(result::kFailedToMeasure));
  EXPECT_EQ(Between("104GF\r", "01XD\r"), 25001u);
  EXPECT_TRUE(SpectraUntouched());
}

// A reply cut after its second line never completes; what arrived holds 20 values, not 31.
TEST_F(MeasurementTest, CutSpectralReplyFailsAndLeavesTheSpectrum) {
  script_.Spectrum(CutSpectralReply());
  EXPECT_EQ(Measure(), static_cast<unsigned>(result::kFailedToMeasure));
  EXPECT_EQ(Between("104GF\r", "01XD\r"), 25001u);
  EXPECT_TRUE(SpectraUntouched());
}

// A line whose output never drains fails every exchange after the 65 s write time-out: the status
// query before the measurement fails and no measurement is started.
TEST_F(MeasurementTest, FailedStatusQueryEndsTheMeasurementWithItsResult) {
  rig_.devices.StallOutput();
  EXPECT_EQ(Measure(), static_cast<unsigned>(result::kLinkFailure));
  EXPECT_EQ(script_.Commands(), kStatus);
  EXPECT_TRUE(SpectraUntouched());
  EXPECT_STREQ(rig_.state.InstrumentStatus, "XREISS");
}

TEST_F(MeasurementTest, MeasureSpectrumReturnsAFailedExchangeUnchanged) {
  EngineContext& context = rig_.engine.Context();
  rig_.devices.StallOutput();
  EXPECT_EQ(MeasureSpectrum(context, text_, spectra_), result::kLinkFailure);
  EXPECT_EQ(script_.Commands(), Join({{"\r", "0101SM\r", "RM\r"}, kStatus}));
  EXPECT_TRUE(SpectraUntouched());
  // The measurement status is refreshed and copied whatever happened.
  EXPECT_STREQ(text_, "XREISS");
  EXPECT_STREQ(rig_.state.MeasurementStatus, "XREISS");
}

TEST_F(MeasurementTest, UncalibratedInstrumentDeclinedIsNotMeasured) {
  script_.Calibrated(false);
  rig_.ui.answers = {kIdNo};
  EXPECT_EQ(Measure(), static_cast<unsigned>(result::kUncalibrated));
  ASSERT_EQ(rig_.ui.boxes.size(), 1u);
  EXPECT_EQ(rig_.ui.boxes[0].text, "E-101 Instrument is not calibrated! Do you want to calibrate it?");
  EXPECT_EQ(rig_.ui.boxes[0].caption, "VK605");
  EXPECT_EQ(rig_.ui.boxes[0].type, 0x24u);  // Yes/No, question icon
  EXPECT_EQ(script_.Commands(), kStatus);
  EXPECT_TRUE(SpectraUntouched());
}

// Yes: the calibration prompt stays until the operator has calibrated at the instrument.
TEST_F(MeasurementTest, UncalibratedInstrumentIsCalibratedOnRequestThenMeasured) {
  script_.Calibrated(false);
  rig_.ui.answers = {kIdYes, kIdOk, kIdOk};
  rig_.ui.on_box = [this](const testing::FakeUserInterface::Box& box) {
    if (box.text == text::kCalibrationInstructions) script_.Calibrated(true);
  };
  EXPECT_EQ(Measure(), 0u);
  ASSERT_EQ(rig_.ui.boxes.size(), 3u);
  EXPECT_EQ(rig_.ui.boxes[1].type, 1u);  // OK/Cancel
  EXPECT_EQ(rig_.ui.boxes[2].text,
            "Calibration is complete!\n\nPlease center the target window opening over the sample to be "
            "measured.");
  EXPECT_EQ(rig_.ui.boxes[2].type, 0u);
  EXPECT_EQ(script_.Commands(), Join({kStatus,
                                      {"\r", "0601SM\r"},
                                      kStatus,
                                      {"\r", "0101SM\r"},
                                      {"\r", "0101SM\r", "RM\r", "104GF\r"},
                                      kStatus,
                                      kStatus}));
  EXPECT_STREQ(rig_.state.InstrumentStatus, "CREILL");
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
}

TEST_F(MeasurementTest, CalibrationCancelledOnRequestEndsWithUncalibrated) {
  script_.Calibrated(false);
  rig_.ui.answers = {kIdYes, kIdCancel, kIdOk};
  EXPECT_EQ(Measure(), static_cast<unsigned>(result::kUncalibrated));
  ASSERT_EQ(rig_.ui.boxes.size(), 3u);
  EXPECT_EQ(rig_.ui.boxes[2].text, text::kCalibrationCancelled);
  EXPECT_EQ(script_.Commands(), Join({kStatus, {"\r", "0601SM\r"}, kStatus, {"\r"}}));
  EXPECT_TRUE(SpectraUntouched());
}

TEST_F(MeasurementTest, ExpiredCalibrationMarksTheStatusesAndMeasuresNothing) {
  rig_.validity.SetCountRule(1);
  rig_.validity.SetLimits(4, 0, 1);
  rig_.validity.CountMeasurement();
  EXPECT_EQ(Measure(), 0u);  // the connect-on-demand result: connected, so none ran
  EXPECT_TRUE(script_.Commands().empty());
  EXPECT_STREQ(text_, "XREILL");
  EXPECT_STREQ(rig_.state.CalibrationStatus, "XREILL");
  ASSERT_EQ(rig_.ui.boxes.size(), 1u);
  EXPECT_EQ(rig_.ui.boxes[0].text,
            "The calibration has expired. The instrument must be recalibrated before taking measurements.");
  EXPECT_TRUE(SpectraUntouched());
}

}  // namespace
}  // namespace vk605
