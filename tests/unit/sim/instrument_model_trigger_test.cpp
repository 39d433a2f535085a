#include <gtest/gtest.h>

#include <string>

#include "instrument_model.h"

namespace vk605::sim {
namespace {

SimSettings TriggerAfter(std::optional<std::uint32_t> delay_ms) {
  SimSettings settings;
  settings.trigger_after_ms = delay_ms;
  return settings;
}

// The driver's trigger worker: wake-up, measuring mode, then the second arming CR.
void Arm(InstrumentModel& model, std::uint64_t now_ms) {
  model.Receive("\r", now_ms);
  model.Receive("0101SM\r", now_ms);
  model.Receive("\r", now_ms);
}

TEST(SimInstrumentTriggerTest, AcknowledgesOnItsOwnAfterTheDelay) {
  InstrumentModel model(TriggerAfter(1500));
  Arm(model, 10000);
  EXPECT_TRUE(model.IsTriggerArmed());
  EXPECT_EQ(model.TakeOutput(10000), ">\r\n<00>\r\n>\r\n");
  EXPECT_EQ(model.NextDueMs(), 11500u);
  EXPECT_EQ(model.TakeOutput(11499), "");
  EXPECT_EQ(model.TakeOutput(11500), "<00>\r\n");
  EXPECT_FALSE(model.IsTriggerArmed());
  EXPECT_FALSE(model.NextDueMs().has_value());
  // The worker then reads the spectrum.
  model.Receive("104GF\r", 11800);
  EXPECT_EQ(model.TakeOutput(11800).size(), 3u * 2 + 31u * 6 + 28u);
}

TEST(SimInstrumentTriggerTest, TriggerNeverLeavesTheInstrumentArmedAndQuiet) {
  InstrumentModel model(TriggerAfter(std::nullopt));
  Arm(model, 0);
  EXPECT_EQ(model.TakeOutput(0), ">\r\n<00>\r\n>\r\n");
  EXPECT_TRUE(model.IsTriggerArmed());
  EXPECT_FALSE(model.NextDueMs().has_value());
  EXPECT_EQ(model.TakeOutput(10000000), "");
}

// A wake-up that follows some other command (a reset step, a measurement) does not arm the instrument.
TEST(SimInstrumentTriggerTest, OnlyMeasuringModeFollowedByBareCrArms) {
  InstrumentModel model(TriggerAfter(0));
  model.Receive("0005CF\r\r0101SM\rRM\r\r", 0);
  EXPECT_FALSE(model.IsTriggerArmed());
  EXPECT_EQ(model.TakeOutput(100000), "<00>\r\n>\r\n<00>\r\n<00>\r\n>\r\n");
}

TEST(SimInstrumentTriggerTest, AnyCommandBeforeTheTriggerDisarmsIt) {
  InstrumentModel model(TriggerAfter(2000));
  Arm(model, 0);
  model.TakeOutput(0);
  model.Receive("0101SM\r", 1000);
  EXPECT_FALSE(model.IsTriggerArmed());
  EXPECT_EQ(model.TakeOutput(100000), "<00>\r\n");
}

TEST(SimInstrumentTriggerTest, TriggerDueBeforeLaterBytesIsSentFirst) {
  InstrumentModel model(TriggerAfter(500));
  Arm(model, 0);
  EXPECT_EQ(model.TakeOutput(0), ">\r\n<00>\r\n>\r\n");
  // Nobody polled the model between 500 and 900 ms; the trigger still went out before the new command.
  model.Receive("SV\r", 900);
  EXPECT_EQ(model.TakeOutput(900), "<00>\r\nVK605 V1.07\r\n<00>\r\n");
}

}  // namespace
}  // namespace vk605::sim
