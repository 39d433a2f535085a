#include "engine/trigger_measurement.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/command_engine.h"
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

const Commands kArming = {"\r", "0101SM\r", "\r"};

// A connected rig whose instrument acknowledges a trigger when the test says so. The worker's first
// read that waits after arming is its first poll: the acknowledgement is scheduled from there, and that
// moment is the start of the 30 s.
class TriggerTest : public ::testing::Test {
 protected:
  TriggerTest() {
    script_.Connect();
    for (double& value : spectra_) value = kUntouched;
    StoreText(rig_.state, rig_.state.MeasurementStatus, "before");
  }

  // Acknowledges ack_ms after the first poll began (never when negative); the first read after
  // hold_after was written then waits at the script's gate.
  void Script(long ack_ms, const std::string& hold_after = "") {
    rig_.devices.OnWaitForInput([this, ack_ms, hold_after](const std::string& last_written) {
      if (last_written == "\r" && !polling_.exchange(true)) {
        poll_start_ = rig_.clock.TickMs();
        if (ack_ms >= 0) rig_.devices.Deliver("<00>\r\n", static_cast<std::uint32_t>(ack_ms));
      }
      if (!hold_after.empty() && last_written == hold_after && !held_.exchange(true)) script_.gate.Arrive();
    });
  }
  unsigned Trigger(int* options) { return rig_.engine.ReadHead(code::kTrigger, spectra_, options, text_); }
  bool SpectraUntouched() const {
    for (double value : spectra_) {
      if (value != kUntouched) return false;
    }
    return true;
  }
  // Fake time from the first poll to the first write of command after it.
  std::uint64_t FromFirstPoll(const std::string& command) const {
    Commands commands = script_.Commands();
    std::vector<std::uint64_t> times = script_.CommandTimes();
    for (std::size_t i = kStatus.size() + kArming.size(); i < commands.size(); ++i) {
      if (commands[i] == command) return times[i] - poll_start_;
    }
    ADD_FAILURE() << "no " << command << " after the polls";
    return 0;
  }

  // The pauses taken from the first poll on: when each began, counted from the first poll, and its
  // length.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> PausesFromFirstPoll() const {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> pauses;
    for (const testing::FakeClock::Wait& wait : rig_.clock.Waits()) {
      if (wait.at_ms >= poll_start_) pauses.emplace_back(wait.at_ms - poll_start_, wait.ms);
    }
    return pauses;
  }

  EngineRig rig_;
  InstrumentScript script_{rig_};
  double spectra_[kSpectrumPoints] = {};
  char text_[kTextBufferSize] = "previous";
  std::atomic<bool> polling_{false};
  std::atomic<bool> held_{false};
  std::uint64_t poll_start_ = 0;  // written by the worker before it ends, read after
};

TEST_F(TriggerTest, AcknowledgedTriggerDeliversSpectrumAndStatusEverywhere) {
  LogCapture log(rig_.log);
  Script(1200);
  EXPECT_EQ(Trigger(nullptr), 0u);
  EXPECT_EQ(script_.Commands(), Join({kStatus, kArming, {"104GF\r"}, kStatus}));
  for (int i = 0; i < kMeasuredPoints; ++i) EXPECT_DOUBLE_EQ(spectra_[4 + i], ScriptedFactor(i)) << i;
  EXPECT_DOUBLE_EQ(spectra_[0], ScriptedFactor(0));
  EXPECT_DOUBLE_EQ(spectra_[39], ScriptedFactor(30));
  EXPECT_STREQ(text_, "CREILL");
  EXPECT_STREQ(rig_.state.MeasurementStatus, "CREILL");
  EXPECT_STREQ(rig_.state.InstrumentStatus, "CREILL");
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{"COMM_TRIGGER", "Start of Trigger Measurement",
                                      "Trigger command sent to spectrophotometer", "Create CMsgDlg object.",
                                      "Created CMsgDlg dialog and setting captions & text.",
                                      "About to create trigger thread.", "Trigger thread created."}));
  // Without options no window is shown.
  EXPECT_TRUE(rig_.ui.events.empty());
}

// The acknowledgement arriving during the third poll is seen when that poll's 500 ms end: polls are
// 500 ms reads (and the millisecond that shows them over) each followed by 50 ms, the last one too.
TEST_F(TriggerTest, AcknowledgementIsSeenAtTheEndOfThePollThatReceivesIt) {
  Script(1200);
  ASSERT_EQ(Trigger(nullptr), 0u);
  EXPECT_EQ(FromFirstPoll("104GF\r"), 3u * 551u + 200u);
}

// The poll that sees the acknowledgement is followed by its 50 ms pause like every other poll, and
// only then by the 200 ms before the spectrum is asked for (taken in 50 ms steps, so that an abandoned
// worker stops at once).
TEST_F(TriggerTest, PauseFollowsThePollThatSeesTheAcknowledgement) {
  Script(1200);
  ASSERT_EQ(Trigger(nullptr), 0u);
  EXPECT_EQ(PausesFromFirstPoll(),
            (std::vector<std::pair<std::uint64_t, std::uint32_t>>{
                {501, 50}, {1052, 50}, {1603, 50}, {1653, 50}, {1703, 50}, {1753, 50}, {1803, 50}}));
}

// The last poll that starts before the 30 s are up still counts: it ends 30255 ms after the first.
TEST_F(TriggerTest, AcknowledgementAtThirtySecondsIsStillTaken) {
  Script(30000);
  EXPECT_EQ(Trigger(nullptr), 0u);
  EXPECT_EQ(FromFirstPoll("104GF\r"), 30255u + 50u + 200u);
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
}

TEST_F(TriggerTest, NoAcknowledgementEndsThePollingOnceThirtySecondsHavePassed) {
  Script(-1);
  EXPECT_EQ(Trigger(nullptr), static_cast<unsigned>(result::kTriggerAborted));
  // The first check past 30000 ms ends the polling after its pause; the worker then only refreshes the
  // status.
  EXPECT_EQ(FromFirstPoll("01XD\r"), 30255u + 50u);
  std::vector<std::pair<std::uint64_t, std::uint32_t>> pauses = PausesFromFirstPoll();
  ASSERT_EQ(pauses.size(), 55u);
  EXPECT_EQ(pauses.back(), (std::pair<std::uint64_t, std::uint32_t>{30255, 50}));
  EXPECT_EQ(script_.Commands(), Join({kStatus, kArming, kStatus}));
  EXPECT_TRUE(SpectraUntouched());
  EXPECT_STREQ(text_, "previous");
  EXPECT_STREQ(rig_.state.InstrumentStatus, "CREILL");
}

TEST_F(TriggerTest, AcknowledgementJustAfterTheLimitIsTooLate) {
  Script(30256);
  EXPECT_EQ(Trigger(nullptr), static_cast<unsigned>(result::kTriggerAborted));
  EXPECT_TRUE(SpectraUntouched());
}

// The worker's own result for a missing acknowledgement is 116; the caller only ever sees 122.
TEST_F(TriggerTest, WorkerEndsWithTimeoutResultWhenNeverAcknowledged) {
  Script(-1);
  auto job = std::make_shared<TriggerJob>();
  RunTriggerWorker(rig_.engine.Context(), job);
  EXPECT_EQ(job->result, result::kTriggerTimeout);
  EXPECT_EQ(job->result, 116);
  EXPECT_FALSE(job->running);
  EXPECT_EQ(job->status, "CREILL");
}

TEST_F(TriggerTest, FailedSpectralReadFailsTheTrigger) {
  Script(0);
  script_.Spectrum(CutSpectralReply());
  EXPECT_EQ(Trigger(nullptr), static_cast<unsigned>(result::kTriggerAborted));
  // The three lines never complete: the read gives up after its 25 s.
  EXPECT_EQ(FromFirstPoll("01XD\r") - FromFirstPoll("104GF\r"), 25001u);
  EXPECT_TRUE(SpectraUntouched());
  EXPECT_STREQ(text_, "previous");
}

TEST_F(TriggerTest, WorkerHoldsThePortOpenAndRestoresTheSetting) {
  rig_.settings.HoldPortOpen = 0;
  rig_.channel.SetHoldPortOpen(0);
  std::atomic<int> hold_while_polling{-1};
  rig_.devices.OnWaitForInput([&](const std::string& last_written) {
    if (last_written == "\r" && hold_while_polling.load() < 0) {
      hold_while_polling = rig_.channel.GetHoldPortOpen();
      rig_.devices.Deliver("<00>\r\n");
    }
  });
  ASSERT_EQ(Trigger(nullptr), 0u);
  EXPECT_EQ(hold_while_polling.load(), 1);
  EXPECT_EQ(rig_.channel.GetHoldPortOpen(), 0);
}

TEST_F(TriggerTest, WaitDialogShownOnlyWhenOptionsAskForIt) {
  Script(0);
  int no_dialog = 0;
  ASSERT_EQ(Trigger(&no_dialog), 0u);
  EXPECT_TRUE(rig_.ui.events.empty());

  polling_ = false;
  int dialog = 1;
  ASSERT_EQ(Trigger(&dialog), 0u);
  EXPECT_EQ(rig_.ui.events,
            (std::vector<std::string>{std::string("open:VK605|") +
                                          "Please lower the unit to the target window and hold it firmly in "
                                          "place while measuring.  Release the unit when the measurement is "
                                          "complete.  (i.e., the spectrophotometer will momentarily display "
                                          "\"Reading Complete\" and then data will appear on its display). " +
                                          "|Abort Measurement",
                                      "close"}));
  EXPECT_EQ(rig_.ui.open_dialogs, 0);
}

// Abort while the worker waits for the acknowledgement: the caller returns 122 while the worker is
// still held inside its read, and the worker, let go, neither reads a spectrum nor writes any status.
TEST_F(TriggerTest, AbortDuringTheWaitReturnsAtOnceAndDiscardsTheWorker) {
  Script(-1, "\r");
  rig_.ui.press_when = [this] { return script_.gate.Arrived(); };
  int dialog = 1;
  EXPECT_EQ(Trigger(&dialog), static_cast<unsigned>(result::kTriggerAborted));
  EXPECT_TRUE(script_.gate.Arrived());
  EXPECT_EQ(rig_.ui.events.back(), "close");
  script_.gate.Release();
  rig_.engine.JoinWorkers();
  EXPECT_EQ(script_.Commands(), Join({kStatus, kArming}));
  EXPECT_TRUE(SpectraUntouched());
  EXPECT_STREQ(text_, "previous");
  EXPECT_STREQ(rig_.state.MeasurementStatus, "before");
  EXPECT_EQ(rig_.channel.GetHoldPortOpen(), rig_.settings.HoldPortOpen);
}

// Abort while the spectrum is being read: the reply the worker then receives is thrown away, and the
// next measurement gets its own data.
TEST_F(TriggerTest, AbortDuringTheSpectralReadDiscardsTheSpectrum) {
  Script(0, "104GF\r");
  script_.Spectrum(SpectralReply(), 1000);
  rig_.ui.press_when = [this] { return script_.gate.Arrived(); };
  int dialog = 1;
  EXPECT_EQ(Trigger(&dialog), static_cast<unsigned>(result::kTriggerAborted));
  script_.gate.Release();
  rig_.engine.JoinWorkers();
  EXPECT_EQ(script_.Commands(), Join({kStatus, kArming, {"104GF\r"}}));
  EXPECT_TRUE(SpectraUntouched());
  EXPECT_STREQ(text_, "previous");
  EXPECT_STREQ(rig_.state.MeasurementStatus, "before");

  script_.Spectrum(SpectralReply());
  EXPECT_EQ(rig_.engine.ReadHead(code::kMeasure, spectra_, nullptr, text_), 0u);
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
  EXPECT_STREQ(text_, "CREILL");
}

// Abort while the spectrum (due only after 24 s) is being read: the caller returns 122 at once. The
// unload that follows cancels the worker's exchange instead of waiting out its 25 s: joining the worker
// (as the unload does) takes no longer than one short step of the read once it is let go.
TEST_F(TriggerTest, UnloadAfterAnAbortCancelsTheSpectralRead) {
  Script(0, "104GF\r");
  script_.Spectrum(SpectralReply(), 24000);
  rig_.ui.press_when = [this] { return script_.gate.Arrived(); };
  int dialog = 1;
  EXPECT_EQ(Trigger(&dialog), static_cast<unsigned>(result::kTriggerAborted));
  rig_.engine.CancelWorkers();  // the unload's first step, taken while the worker is still held
  script_.gate.Release();
  rig_.engine.JoinWorkers();
  Commands commands = script_.Commands();
  ASSERT_EQ(commands, Join({kStatus, kArming, {"104GF\r"}}));
  std::uint64_t read_started = script_.CommandTimes().back();
  EXPECT_LT(rig_.clock.TickMs() - read_started, 1000u);
  EXPECT_TRUE(SpectraUntouched());
  EXPECT_STREQ(rig_.state.MeasurementStatus, "before");
  EXPECT_EQ(rig_.channel.GetHoldPortOpen(), rig_.settings.HoldPortOpen);
}

// A trigger without the wait dialog still pumps the calling thread's messages while it waits (a null
// dialog to the user interface) instead of blocking until the worker ends.
TEST_F(TriggerTest, TriggerWithoutTheDialogStillPumps) {
  // The worker is held in its first acknowledgement poll until the caller's pump step lets it go (a
  // caller that does not pump never does: the test then ends by the test program's time limit).
  Script(-1, "\r");
  bool released = false;
  rig_.ui.press_when = [this, &released] {
    if (script_.gate.Arrived() && !released) {
      released = true;
      rig_.devices.Deliver("<00>\r\n");
      script_.gate.Release();
    }
    return true;  // a press means nothing without a window
  };
  EXPECT_EQ(Trigger(nullptr), 0u);
  EXPECT_GT(rig_.ui.polls, 0);
  EXPECT_TRUE(rig_.ui.events.empty());
}

// Unlike a plain measurement, the trigger goes ahead when calibration is declined.
TEST_F(TriggerTest, UncalibratedInstrumentDeclinedStillTriggers) {
  Script(0);
  script_.Calibrated(false);
  rig_.ui.answers = {kIdNo};
  EXPECT_EQ(Trigger(nullptr), 0u);
  ASSERT_EQ(rig_.ui.boxes.size(), 1u);
  EXPECT_EQ(rig_.ui.boxes[0].text, "E-101 Instrument is not calibrated! Do you want to calibrate it?");
  EXPECT_EQ(rig_.ui.boxes[0].type, 0x24u);
  EXPECT_EQ(script_.Commands(), Join({kStatus, kArming, {"104GF\r"}, kStatus}));
  EXPECT_STREQ(text_, "XREILL");
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
}

TEST_F(TriggerTest, UncalibratedInstrumentCalibratedOnRequestThenTriggered) {
  Script(0);
  script_.Calibrated(false);
  rig_.ui.answers = {kIdYes, kIdOk, kIdOk};
  rig_.ui.on_box = [this](const testing::FakeUserInterface::Box& box) {
    if (box.text == text::kCalibrationInstructions) script_.Calibrated(true);
  };
  EXPECT_EQ(Trigger(nullptr), 0u);
  ASSERT_EQ(rig_.ui.boxes.size(), 3u);
  EXPECT_EQ(rig_.ui.boxes[2].text,
            "Calibration is complete!\n\nPlease place the spectrophotometer onto the specimen that you wish "
            "to measure.");
  EXPECT_EQ(rig_.ui.boxes[2].type, 0u);
  EXPECT_EQ(script_.Commands(),
            Join({kStatus, {"\r", "0601SM\r"}, kStatus, {"\r", "0101SM\r"}, kArming, {"104GF\r"}, kStatus}));
}

// A failed calibration does not stop the trigger either.
TEST_F(TriggerTest, CancelledCalibrationStillTriggers) {
  Script(0);
  script_.Calibrated(false);
  rig_.ui.answers = {kIdYes, kIdCancel, kIdOk};
  EXPECT_EQ(Trigger(nullptr), 0u);
  ASSERT_EQ(rig_.ui.boxes.size(), 3u);
  EXPECT_EQ(rig_.ui.boxes[2].text, text::kCalibrationCancelled);
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
}

TEST_F(TriggerTest, ExpiredCalibrationTriggersNothing) {
  rig_.validity.SetCountRule(1);
  rig_.validity.SetLimits(4, 0, 1);
  rig_.validity.CountMeasurement();
  EXPECT_EQ(Trigger(nullptr), 0u);
  EXPECT_TRUE(script_.Commands().empty());
  EXPECT_STREQ(text_, "XREILL");
  EXPECT_TRUE(SpectraUntouched());
}

}  // namespace
}  // namespace vk605
