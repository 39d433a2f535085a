#include "control_interpreter.h"

#include <gtest/gtest.h>

#include <vector>

namespace vk605::sim {
namespace {

TEST(SimControlInterpreterTest, ReportsStateAndTheEscapedRecord) {
  InstrumentModel model;
  ControlInterpreter control(model, SimSettings{});
  EXPECT_EQ(control.Handle("ping"), "OK\n");
  model.Receive("\rAT\r,0601SM\r", 0);
  EXPECT_EQ(control.Handle("state"), "OK calibrated=1 prompts=1 armed=0 commands=3\n");
  EXPECT_EQ(control.Handle("commands\r"), "OK 3\n\\r\nAT\\r,\n0601SM\\r\n");
  EXPECT_EQ(control.Handle("clear"), "OK\n");
  EXPECT_EQ(control.Handle("commands"), "OK 0\n");
}

TEST(SimControlInterpreterTest, SettingLinesChangeTheRunningInstrument) {
  InstrumentModel model;
  ControlInterpreter control(model, SimSettings{});
  EXPECT_EQ(control.Handle("firmware VK605 V3.10"), "OK\n");
  EXPECT_EQ(control.Handle("refuse-measure"), "OK\n");
  EXPECT_EQ(control.Handle("delay-ms x"), "ERROR not an unsigned number: x\n");
  EXPECT_EQ(control.Handle("launch"), "ERROR unknown option: launch\n");
  EXPECT_EQ(control.Handle("ping now"), "ERROR unknown option: ping\n");
  model.Receive("SV\rRM\r", 0);
  EXPECT_EQ(model.TakeOutput(0), "VK605 V3.10\r\n<00>\r\n<01>\r\n");
}

TEST(SimControlInterpreterTest, UnplugAndReplugGoToThePlugHandler) {
  InstrumentModel model;
  ControlInterpreter control(model, SimSettings{});
  EXPECT_EQ(control.Handle("unplug"), "ERROR no line to unplug\n");
  std::vector<bool> calls;
  control.SetPlugHandler([&calls](bool plugged) -> std::optional<std::string> {
    calls.push_back(plugged);
    if (calls.size() == 3) return "no pty left";
    return std::nullopt;
  });
  EXPECT_EQ(control.Handle("unplug"), "OK\n");
  EXPECT_EQ(control.Handle("replug"), "OK\n");
  EXPECT_EQ(control.Handle("replug"), "ERROR no pty left\n");
  EXPECT_EQ(control.Handle("unplug now"), "ERROR unknown option: unplug\n");
  EXPECT_EQ(calls, (std::vector<bool>{false, true, true}));
}

TEST(SimControlInterpreterTest, ResetReturnsToTheStartUpSettings) {
  SimSettings startup;
  startup.serial_number = "START";
  InstrumentModel model(startup);
  ControlInterpreter control(model, startup);
  EXPECT_EQ(control.Handle("serial OTHER"), "OK\n");
  model.Receive("00SN\r", 0);
  EXPECT_EQ(control.Handle("reset"), "OK\n");
  EXPECT_EQ(control.Handle("state"), "OK calibrated=1 prompts=0 armed=0 commands=0\n");
  EXPECT_EQ(model.TakeOutput(0), "");
  model.Receive("00SN\r", 1);
  EXPECT_EQ(model.TakeOutput(1), "START\r\n<00>\r\n");
}

}  // namespace
}  // namespace vk605::sim
