#include "instrument_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_test_support.h"

namespace vk605::sim {
namespace {

using testing::CountLineEnds;

struct ReplyCase {
  std::string command;
  std::string reply;
  std::size_t lines;
};

class SimInstrumentReplyTest : public ::testing::TestWithParam<ReplyCase> {};

// Each command the driver sends gets exactly the reply lines the driver waits for; a wrong count would
// make the driver's exchange run into its time-out.
TEST_P(SimInstrumentReplyTest, RepliesWithExactBytesAndLineCount) {
  InstrumentModel model;
  model.Receive(GetParam().command, 0);
  const std::string reply = model.TakeOutput(0);
  EXPECT_EQ(reply, GetParam().reply);
  EXPECT_EQ(CountLineEnds(reply), GetParam().lines);
  EXPECT_EQ(model.TakeOutput(100000), "");
}

INSTANTIATE_TEST_SUITE_P(
    CommandTable, SimInstrumentReplyTest,
    ::testing::Values(ReplyCase{"\r", ">\r\n", 1}, ReplyCase{"0005CF\r", "<00>\r\n", 1},
                      ReplyCase{"000CCF\r", "<00>\r\n", 1}, ReplyCase{"0101SM\r", "<00>\r\n", 1},
                      ReplyCase{"BR\r", "9600\r\n<00>\r\n", 2}, ReplyCase{"0004CF\r", "<00>\r\n", 1},
                      ReplyCase{"000BCF\r", "<00>\r\n", 1}, ReplyCase{"1241CF\r", "<00>\r\n", 1},
                      ReplyCase{"0108CF\r", "<00>\r\n", 1}, ReplyCase{"00SN\r", "12345\r\n<00>\r\n", 2},
                      ReplyCase{"SV\r", "VK605 V1.07\r\n<00>\r\n", 2},
                      ReplyCase{"01XD\r", "00\r\n<00>\r\n", 2}, ReplyCase{"AT\r,", "LAV\r\n<00>\r\n", 2},
                      ReplyCase{"0601SM\r", "<00>\r\n", 1}, ReplyCase{"RM\r", "<00>\r\n", 1},
                      ReplyCase{"HELLO\r", "ERROR:  unknown command\r\n", 1}));

TEST(SimInstrumentModelTest, SpectralReplyHoldsThirtyOneFixedWidthFieldsOnThreeLines) {
  SimSettings settings;
  for (std::size_t i = 0; i < kSpectrumValues; ++i) settings.spectrum[i] = 50.0 + static_cast<double>(i);
  settings.spectrum[0] = 9.08;
  settings.spectrum[1] = 12.63;
  settings.spectrum[2] = 100.0;
  settings.spectrum[3] = 0.0;
  settings.spectrum[4] = -1.5;
  InstrumentModel model(settings);
  model.Receive("004GF\r104GF\r", 0);
  const std::string expected =
      "  9.08  12.63 100.00   0.00  -1.50  55.00  56.00  57.00  58.00  59.00  60.00\r\n"
      " 61.00  62.00  63.00  64.00  65.00  66.00  67.00  68.00  69.00  70.00\r\n"
      " 71.00  72.00  73.00  74.00  75.00  76.00  77.00  78.00  79.00  80.00\r\n";
  EXPECT_EQ(model.TakeOutput(0), expected + expected);
}

TEST(SimInstrumentModelTest, DefaultSpectrumIsTheCreamSample) {
  InstrumentModel model;
  model.Receive("104GF\r", 0);
  EXPECT_EQ(model.TakeOutput(0),
            " 52.31  56.04  59.87  63.12  65.80  67.94  69.61  70.95  72.03  72.92  73.66\r\n"
            " 74.30  74.87  75.39  75.86  76.30  76.71  77.09  77.45  77.79  78.11\r\n"
            " 78.41  78.69  78.95  79.19  79.41  79.61  79.79  79.95  80.09  80.21\r\n");
}

TEST(SimInstrumentModelTest, MalformedSpectraKeepThreeLinesButNotThirtyOneValues) {
  SimSettings settings;
  settings.spectrum_form = SpectrumForm::kShort;
  InstrumentModel shortened(settings);
  shortened.Receive("004GF\r", 0);
  EXPECT_EQ(shortened.TakeOutput(0),
            " 52.31  56.04  59.87  63.12  65.80  67.94  69.61  70.95  72.03  72.92  73.66\r\n"
            " 74.30  74.87  75.39  75.86  76.30  76.71  77.09  77.45  77.79\r\n"
            "\r\n");

  settings.spectrum_form = SpectrumForm::kGarbage;
  InstrumentModel garbage(settings);
  garbage.Receive("004GF\r", 0);
  const std::string reply = garbage.TakeOutput(0);
  EXPECT_EQ(CountLineEnds(reply), 3u);
  EXPECT_EQ(reply.substr(0, 14), "  -.--   -.-- ");
  EXPECT_EQ(reply.find_first_of("0123456789"), std::string::npos);
}

TEST(SimInstrumentModelTest, IdentityRepliesFollowSettings) {
  SimSettings settings;
  settings.serial_number = "A0042";
  settings.firmware_version = "VK605 V2.00 beta";
  settings.calibrated = false;
  settings.refuse_measure = true;
  InstrumentModel model(settings);
  model.Receive("00SN\rSV\r01XD\rRM\r", 0);
  EXPECT_EQ(model.TakeOutput(0), "A0042\r\n<00>\r\nVK605 V2.00 beta\r\n<00>\r\n01\r\n<00>\r\n<01>\r\n");
}

// The record keeps the exact texts, including the comma that follows the CR of the aperture query.
TEST(SimInstrumentModelTest, RecordsEveryCommandWithItsTrailingComma) {
  InstrumentModel model;
  model.Receive("\r0005CF\r01XD\rAT\r,RM\r", 0);
  EXPECT_EQ(model.Commands(), (std::vector<std::string>{"\r", "0005CF\r", "01XD\r", "AT\r,", "RM\r"}));
  EXPECT_EQ(model.TakeOutput(0), ">\r\n<00>\r\n00\r\n<00>\r\nLAV\r\n<00>\r\n<00>\r\n");
}

TEST(SimInstrumentModelTest, CommandsArrivingInPiecesAreJoined) {
  InstrumentModel model;
  model.Receive("00", 0);
  model.Receive("S", 1);
  EXPECT_EQ(model.TakeOutput(1), "");
  EXPECT_TRUE(model.Commands().empty());
  model.Receive("N\rA", 2);
  EXPECT_EQ(model.TakeOutput(2), "12345\r\n<00>\r\n");
  model.Receive("T\r", 3);
  // The reply goes out at the CR; the comma arriving later still joins the recorded command.
  EXPECT_EQ(model.TakeOutput(3), "LAV\r\n<00>\r\n");
  const std::uint64_t generation = model.RecordGeneration();
  model.Receive(",", 4);
  EXPECT_NE(model.RecordGeneration(), generation);
  model.Receive("RM\r", 5);
  EXPECT_EQ(model.Commands(), (std::vector<std::string>{"00SN\r", "AT\r,", "RM\r"}));
}

TEST(SimInstrumentModelTest, CommaNotDirectlyAfterCrStartsTheNextCommand) {
  InstrumentModel model;
  model.Receive("RM\r\n,SV\r", 0);
  EXPECT_EQ(model.Commands(), (std::vector<std::string>{"RM\r", "\n,SV\r"}));
  EXPECT_EQ(model.TakeOutput(0), "<00>\r\nERROR:  unknown command\r\n");
}

TEST(SimInstrumentModelTest, ClearingTheRecordKeepsCountingAfterwards) {
  InstrumentModel model;
  model.Receive("RM\r", 0);
  model.ClearCommands();
  EXPECT_TRUE(model.Commands().empty());
  model.Receive("SV\r", 1);
  EXPECT_EQ(model.Commands(), std::vector<std::string>{"SV\r"});
}

TEST(SimInstrumentModelTest, OverlongCommandIsHandedOnWhenTheBufferIsFull) {
  InstrumentModel model;
  model.Receive(std::string(300, 'A') + "\r", 0);
  ASSERT_EQ(model.Commands().size(), 2u);
  EXPECT_EQ(model.Commands()[0], std::string(256, 'A'));
  EXPECT_EQ(model.Commands()[1], std::string(44, 'A') + "\r");
  EXPECT_EQ(model.TakeOutput(0), "ERROR:  unknown command\r\nERROR:  unknown command\r\n");
}

// An uncalibrated instrument that becomes calibrated on the third calibration prompt, as an operator who
// needs three tries would make it.
TEST(SimInstrumentModelTest, BecomesCalibratedAfterTheNthCalibrationPrompt) {
  SimSettings settings;
  settings.calibrated = false;
  settings.calibrate_after = 3;
  InstrumentModel model(settings);
  for (unsigned prompt = 1; prompt <= 3; ++prompt) {
    model.Receive("01XD\r", prompt * 10);
    EXPECT_EQ(model.TakeOutput(prompt * 10), "01\r\n<00>\r\n") << "before prompt " << prompt;
    model.Receive("0601SM\r", prompt * 10 + 1);
    EXPECT_EQ(model.TakeOutput(prompt * 10 + 1), "<00>\r\n");
  }
  EXPECT_EQ(model.CalibrationPrompts(), 3u);
  model.Receive("01XD\r", 100);
  EXPECT_EQ(model.TakeOutput(100), "00\r\n<00>\r\n");
}

TEST(SimInstrumentModelTest, CalibrationPromptsChangeNothingWithoutCalibrateAfter) {
  SimSettings settings;
  settings.calibrated = false;
  InstrumentModel model(settings);
  model.Receive("0601SM\r0601SM\r0601SM\r01XD\r", 0);
  EXPECT_EQ(model.TakeOutput(0), "<00>\r\n<00>\r\n<00>\r\n01\r\n<00>\r\n");
}

TEST(SimInstrumentModelTest, SilentCommandsGetNoReplyButAreRecorded) {
  SimSettings settings;
  settings.silent = {"RM", ""};
  InstrumentModel model(settings);
  model.Receive("\rRM\rSV\r", 0);
  EXPECT_EQ(model.TakeOutput(1000000), "VK605 V1.07\r\n<00>\r\n");
  EXPECT_EQ(model.Commands(), (std::vector<std::string>{"\r", "RM\r", "SV\r"}));
  EXPECT_FALSE(model.NextDueMs().has_value());
}

TEST(SimInstrumentModelTest, RepliesWaitForTheirDelayAndKeepTheirOrder) {
  SimSettings settings;
  settings.reply_delay_ms = 100;
  settings.command_delay_ms["RM"] = 3000;
  settings.command_delay_ms["SV"] = 0;
  InstrumentModel model(settings);
  model.Receive("0005CF\r", 1000);
  EXPECT_EQ(model.NextDueMs(), 1100u);
  EXPECT_EQ(model.TakeOutput(1099), "");
  EXPECT_EQ(model.TakeOutput(1100), "<00>\r\n");
  model.Receive("RM\r", 2000);
  model.Receive("SV\r", 2001);
  // The version reply has no delay of its own but cannot overtake the measurement reply on the line.
  EXPECT_EQ(model.NextDueMs(), 5000u);
  EXPECT_EQ(model.TakeOutput(4999), "");
  EXPECT_EQ(model.TakeOutput(5000), "<00>\r\nVK605 V1.07\r\n<00>\r\n");
}

}  // namespace
}  // namespace vk605::sim
