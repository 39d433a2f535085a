#include <gtest/gtest.h>

#include <string>

#include "instrument_model.h"
#include "sim_test_support.h"

namespace vk605::sim {
namespace {

using testing::CountLineEnds;

InstrumentModel WithFault(Fault fault, std::set<std::string> only = {}) {
  SimSettings settings;
  settings.fault = fault;
  settings.fault_only = std::move(only);
  return InstrumentModel(settings);
}

TEST(SimInstrumentFaultTest, CutSendsTheFirstHalfOfEachReply) {
  InstrumentModel model = WithFault(Fault::kCut);
  model.Receive("00SN\r", 0);
  EXPECT_EQ(model.TakeOutput(0), "12345\r");  // 13 bytes -> 6
  model.Receive("RM\r", 1);
  EXPECT_EQ(model.TakeOutput(1), "<00");
}

TEST(SimInstrumentFaultTest, TrickleSendsOneBytePerFiftyMilliseconds) {
  InstrumentModel model = WithFault(Fault::kTrickle);
  model.Receive("RM\r", 1000);
  EXPECT_EQ(model.TakeOutput(1000), "<");
  EXPECT_EQ(model.NextDueMs(), 1050u);
  EXPECT_EQ(model.TakeOutput(1049), "");
  EXPECT_EQ(model.TakeOutput(1100), "00");
  EXPECT_EQ(model.TakeOutput(1199), ">");
  EXPECT_EQ(model.TakeOutput(1200), "\r");
  EXPECT_EQ(model.TakeOutput(1250), "\n");
  EXPECT_FALSE(model.NextDueMs().has_value());
}

TEST(SimInstrumentFaultTest, NoisePrecedesTheReplyWithoutLineEndsOrNul) {
  InstrumentModel model = WithFault(Fault::kNoise);
  model.Receive("SV\r", 0);
  const std::string out = model.TakeOutput(0);
  const std::string reply = "VK605 V1.07\r\n<00>\r\n";
  ASSERT_GT(out.size(), reply.size());
  const std::string noise = out.substr(0, out.size() - reply.size());
  EXPECT_EQ(out.substr(noise.size()), reply);
  EXPECT_GE(noise.size(), 4u);
  EXPECT_LE(noise.size(), 16u);
  EXPECT_EQ(noise.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
  EXPECT_EQ(CountLineEnds(out), 2u);
}

TEST(SimInstrumentFaultTest, NoiseIsRepeatableForTheSameSeed) {
  InstrumentModel first = WithFault(Fault::kNoise);
  InstrumentModel second = WithFault(Fault::kNoise);
  first.Receive("RM\rRM\r", 0);
  second.Receive("RM\rRM\r", 0);
  EXPECT_EQ(first.TakeOutput(0), second.TakeOutput(0));
}

TEST(SimInstrumentFaultTest, StarPrecedesEachReply) {
  InstrumentModel model = WithFault(Fault::kStar);
  model.Receive("RM\r01XD\r", 0);
  EXPECT_EQ(model.TakeOutput(0), "*<00>\r\n*00\r\n<00>\r\n");
}

TEST(SimInstrumentFaultTest, OversizeReplyIsLongerThanTheDriverBuffer) {
  InstrumentModel model = WithFault(Fault::kOversize);
  model.Receive("RM\r", 0);
  EXPECT_EQ(model.TakeOutput(0), std::string(8192, '#') + "<00>\r\n");
}

TEST(SimInstrumentFaultTest, FaultOnlyHitsTheNamedReplies) {
  InstrumentModel model = WithFault(Fault::kStar, {"104GF", "TRIGGER"});
  model.Receive("RM\r", 0);
  EXPECT_EQ(model.TakeOutput(0), "<00>\r\n");
  model.Receive("104GF\r", 1);
  EXPECT_EQ(model.TakeOutput(1).substr(0, 8), "* 52.31 ");
  model.Receive("0101SM\r\r", 2);
  EXPECT_EQ(model.TakeOutput(2), "<00>\r\n>\r\n");
  EXPECT_EQ(model.TakeOutput(2002), "*<00>\r\n");
}

TEST(SimInstrumentFaultTest, FaultsCanBeSwitchedWhileRunning) {
  InstrumentModel model;
  EXPECT_EQ(model.ApplyOption("fault", "star"), std::nullopt);
  model.Receive("RM\r", 0);
  EXPECT_EQ(model.TakeOutput(0), "*<00>\r\n");
  EXPECT_EQ(model.ApplyOption("fault", "none"), std::nullopt);
  model.Receive("RM\r", 1);
  EXPECT_EQ(model.TakeOutput(1), "<00>\r\n");
}

TEST(SimInstrumentFaultTest, RunTimeOptionsRestartThePromptCountAndReset) {
  SimSettings startup;
  startup.calibrated = false;
  startup.calibrate_after = 2;
  InstrumentModel model(startup);
  model.Receive("0601SM\r", 0);
  EXPECT_EQ(model.ApplyOption("calibrate-after", "2"), std::nullopt);
  EXPECT_EQ(model.CalibrationPrompts(), 0u);
  model.Receive("0601SM\r", 1);
  EXPECT_FALSE(model.IsCalibrated());
  model.Receive("0601SM\r", 2);
  EXPECT_TRUE(model.IsCalibrated());
  EXPECT_EQ(model.ApplyOption("no-such-option", ""), "unknown option: no-such-option");
  model.Reset(startup);
  EXPECT_FALSE(model.IsCalibrated());
  EXPECT_TRUE(model.Commands().empty());
  EXPECT_EQ(model.TakeOutput(100000), "");
}

}  // namespace
}  // namespace vk605::sim
