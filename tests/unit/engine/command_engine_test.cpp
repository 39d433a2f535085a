#include "engine/command_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/result_code.h"
#include "instrument_script.h"

namespace vk605 {
namespace {

using testing::EngineRig;
using testing::InstrumentScript;
using testing::LogCapture;
using Lines = std::vector<std::string>;

struct CodeLine {
  unsigned code;
  const char* line;  // null: the command writes no line
};

class CommandLogLine : public ::testing::TestWithParam<CodeLine> {};

// On a connected instrument each command writes exactly its own name to the trace as it starts.
TEST_P(CommandLogLine, IsTheCommandsName) {
  EngineRig rig;
  InstrumentScript script(rig);
  script.Connect();
  LogCapture log(rig.log);
  char text[kTextBufferSize] = "CRE1LL";
  rig.engine.ReadHead(GetParam().code, nullptr, nullptr, text);
  EXPECT_EQ(log.Lines(), GetParam().line == nullptr ? Lines{} : Lines{GetParam().line});
}

INSTANTIATE_TEST_SUITE_P(
    CommandEngine, CommandLogLine,
    ::testing::Values(CodeLine{0, "COMM_INIT"}, CodeLine{1, "COMM_RESET"}, CodeLine{2, "COMM_STATUS"},
                      CodeLine{3, nullptr}, CodeLine{4, "COMM_REFLECT"}, CodeLine{5, "COMM_REFLECT"},
                      CodeLine{20, "COMM_REFLECT"}, CodeLine{88, "COMM_REFLECT"}, CodeLine{10, nullptr},
                      CodeLine{26, "COMM_UVCHECK"}, CodeLine{29, "COMM_COLDRESET"},
                      CodeLine{32, "COMM_HEADSYNC"}, CodeLine{49, nullptr}, CodeLine{50, nullptr},
                      CodeLine{86, "COMM_PREMEASCHECK"}, CodeLine{89, "COMM_INSTRSTATUS"},
                      CodeLine{117, "COMM_SET_APERTURE_SIZE"}, CodeLine{119, "COMM_SET_LENS_SIZE"},
                      CodeLine{9, "UNSUPPORTED_COMMAND"}, CodeLine{22, "UNSUPPORTED_COMMAND"},
                      CodeLine{36, "UNSUPPORTED_COMMAND"}, CodeLine{38, "UNSUPPORTED_COMMAND"},
                      CodeLine{67, "UNSUPPORTED_COMMAND"}, CodeLine{68, "UNSUPPORTED_COMMAND"},
                      CodeLine{126, "UNSUPPORTED_COMMAND"}, CodeLine{127, "UNSUPPORTED_COMMAND"},
                      CodeLine{128, "UNSUPPORTED_COMMAND"}, CodeLine{4000, "UNSUPPORTED_COMMAND"}));

// An instrument that cannot be reached, and the user declines emulation: each command connects on
// demand first; the bodies without a result of their own pass the connect's 111 on.
class UnreachableInstrument : public ::testing::Test {
 protected:
  UnreachableInstrument() {
    rig_.devices.FailOpen();
    rig_.ui.default_answer = kIdNo;
  }
  unsigned Run(unsigned command_code) { return rig_.engine.ReadHead(command_code, nullptr, nullptr, text_); }

  EngineRig rig_;
  char text_[kTextBufferSize] = {};
};

TEST_F(UnreachableInstrument, BodiesWithoutResultPassTheConnectResultOn) {
  for (unsigned command_code : {2u, 4u, 5u, 6u, 7u, 20u, 32u, 86u, 88u, 89u, 123u}) {
    EXPECT_EQ(Run(command_code), static_cast<unsigned>(result::kCannotOpenPort)) << command_code;
  }
}

TEST_F(UnreachableInstrument, FixedResultCodesIgnoreTheConnectResult) {
  for (unsigned command_code : {117u, 119u, 22u, 38u, 127u, 200u}) {
    EXPECT_EQ(Run(command_code), 0u) << command_code;
  }
}

TEST_F(UnreachableInstrument, EveryCommandTriesToConnectAgainAndOffersEmulation) {
  Run(4);
  int per_connect = rig_.devices.open_attempts();
  EXPECT_GT(per_connect, 0);
  Run(4);
  EXPECT_EQ(rig_.devices.open_attempts(), 2 * per_connect);
  ASSERT_EQ(rig_.ui.boxes.size(), 2u);
  EXPECT_EQ(rig_.ui.boxes[1].text,
            "Unable to communicate with spectrophotometer.  Do you want to enable emulation mode?");
  EXPECT_EQ(rig_.state.Connected, 0);
}

// Codes 0, 10 and 19 never connect on demand.
TEST_F(UnreachableInstrument, InitReopenAndCloseDoNotConnectOnDemand) {
  EXPECT_EQ(rig_.engine.ReadHead(code::kInit, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(Run(code::kReopenPort), 0u);
  EXPECT_EQ(rig_.devices.open_attempts(), 0);
  EXPECT_TRUE(rig_.ui.boxes.empty());
}

// Code 8 with an expired calibration returns the connect result; the measurement itself never starts.
TEST_F(UnreachableInstrument, ExpiredMeasurementReturnsTheConnectResult) {
  rig_.validity.SetCountRule(1);
  rig_.validity.SetLimits(4, 0, 0);
  double spectra[kSpectrumPoints] = {};
  EXPECT_EQ(rig_.engine.ReadHead(code::kMeasure, spectra, nullptr, text_),
            static_cast<unsigned>(result::kCannotOpenPort));
  EXPECT_STREQ(text_, "XREILL");
}

TEST(CommandEngine, CloseWaitsTwoSecondsAfterTheReset) {
  EngineRig rig;
  InstrumentScript script(rig);
  script.Connect();
  EXPECT_EQ(rig.engine.ReadHead(code::kClose, nullptr, nullptr, nullptr), 0u);
  std::vector<std::uint64_t> times = script.CommandTimes();
  ASSERT_FALSE(times.empty());
  // The reset's own waits come first; the close's two seconds follow its last command.
  EXPECT_EQ(rig.clock.TickMs() - times.back(), 2000u);
}

}  // namespace
}  // namespace vk605
