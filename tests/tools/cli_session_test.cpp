// vk605 status, calibrate, config, log and the failure paths, against the simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tool_runner.h"

namespace vk605::tooltest {
namespace {

using nlohmann::json;

constexpr int kNoInstrument = 3, kNotCalibrated = 4, kExpired = 5, kAborted = 6, kUsage = 2;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CliStatus, JsonLineNamesTheInstrumentLikeColourManagementDoes) {
  ToolHome home;
  ToolResult run =
      home.Run({"--simulate", "--json", "--non-interactive", "--sim-arg", "--serial=A7788", "status"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  json status = json::parse(run.out);
  EXPECT_EQ(status["kind"], "status");
  EXPECT_EQ(status["model"], "VK605");
  EXPECT_EQ(status["serial"], "A7788");
  EXPECT_EQ(status["state"], "idle");
  EXPECT_EQ(status["mode"], "reflectance");
  EXPECT_EQ(status["firmware"], "VK605 V1.07");
  EXPECT_EQ(status["driver_version"], "1.0.0");
  EXPECT_EQ(status["instrument_status"], "CREILL");
  EXPECT_EQ(status["calibrated"], true);
  EXPECT_EQ(status["emulation"], false);
}

// Cancel while the instrument stays uncalibrated: the driver's cancel message, and the program must not
// report success (the export itself returns 0 in that case).
TEST(CliCalibrate, RefusedCalibrationPrintsTheDriverMessageAndFails) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--sim-arg", "--uncalibrated", "--answer", "cancel", "calibrate"});
  EXPECT_EQ(run.exit_code, kNotCalibrated) << run.err;
  EXPECT_TRUE(Contains(run.err, "VK605: The spectrophotometer has been placed in calibration mode for you."));
  EXPECT_TRUE(Contains(run.err,
                       "VK605: You have cancelled calibration.  You will not be able to take measurements "
                       "until you calibrate the spectrophotometer."))
      << run.err;
  EXPECT_TRUE(Contains(run.err, "vk605: not calibrated: You have cancelled calibration."));
}

TEST(CliCalibrate, AnsweredAutomaticallyUntilTheInstrumentIsCalibrated) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--sim-arg", "--calibrate-after", "--sim-arg", "2", "--answer",
                             "ok", "--json", "calibrate"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  json result = json::parse(run.out);
  EXPECT_EQ(result["calibrated"], true);
  EXPECT_EQ(result["status"].get<std::string>().substr(0, 1), "C");
}

// An instrument that never reports calibrated must not keep a script answering OK for ever.
TEST(CliCalibrate, RepeatedAutomaticOkTurnsIntoCancel) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--sim-arg", "--uncalibrated", "--answer", "ok", "calibrate"});
  EXPECT_EQ(run.exit_code, kNotCalibrated);
  EXPECT_TRUE(Contains(run.err, "-> Cancel (the same question 10 times)")) << run.err;
}

TEST(CliMeasure, DeclinedCalibrationBeforeMeasuringFails) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--sim-arg", "--uncalibrated", "--non-interactive", "measure"});
  EXPECT_EQ(run.exit_code, kNotCalibrated);
  EXPECT_TRUE(Contains(run.err, "VK605: E-101 Instrument is not calibrated! Do you want to calibrate it?"));
  EXPECT_TRUE(Contains(run.err, "The spectrophotometer is not calibrated. (driver result 101)")) << run.err;
  EXPECT_TRUE(run.out.empty());
}

// The count rule with a limit of 0 refuses every measurement: the driver's expiry message, exit code 5.
TEST(CliMeasure, ExpiredCalibrationPrintsTheDriverMessageAndFails) {
  ToolHome home;
  ToolResult set_limit = home.Run({"--simulate", "config", "set", "measurements", "0"});
  ASSERT_EQ(set_limit.exit_code, 0) << set_limit.err;
  EXPECT_EQ(set_limit.out, "measurements = 0\n");
  ToolResult set_rule = home.Run({"--simulate", "config", "set", "count-rule", "on", "--serial", "12345"});
  ASSERT_EQ(set_rule.exit_code, 0) << set_rule.err;
  EXPECT_EQ(set_rule.out, "count-rule = on\n");
  ToolResult run = home.Run({"--simulate", "--non-interactive", "measure", "--format", "json"});
  EXPECT_EQ(run.exit_code, kExpired);
  EXPECT_TRUE(Contains(run.err,
                       "VK605: The calibration has expired. The instrument must be recalibrated before "
                       "taking measurements."))
      << run.err;
  EXPECT_TRUE(run.out.empty());
}

TEST(CliStatus, MissingPortPrintsTheDriverMessageAndFails) {
  ToolHome home;
  std::string driver = home.DriverCopy();
  ToolResult run = home.Run({"--driver", driver, "--port", "/dev/vk605-none", "--non-interactive", "status"});
  EXPECT_EQ(run.exit_code, kNoInstrument);
  EXPECT_TRUE(Contains(run.err,
                       "VK605: Unable to communicate with spectrophotometer.  Do you want to enable "
                       "emulation mode?"))
      << run.err;
  EXPECT_TRUE(Contains(run.err, "-> No (no one to ask)"));
  EXPECT_TRUE(Contains(run.err, "Unable to open communication port. (driver result 111) /dev/vk605-none"));
  // --port is for the run only: the driver's configured port is put back.
  std::ifstream settings(std::filesystem::path(driver).parent_path() / "VK605.INI");
  std::string text((std::istreambuf_iterator<char>(settings)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(Contains(text, "vk605-none")) << text;
}

// An instrument that never sends its serial number is no instrument: status used to report it
// "answering" with an empty serial number and doctor found every check ok.
TEST(CliStatus, SilentInstrumentFailsWithNoInstrument) {
  ToolHome home;
  ToolResult run =
      home.Run({"--simulate", "--sim-arg", "--silent", "--sim-arg", "00SN", "--non-interactive", "status"});
  EXPECT_EQ(run.exit_code, kNoInstrument) << run.err;
  EXPECT_TRUE(
      Contains(run.err, "Unable to communicate with the spectrophotometer. (driver result 2) on port"))
      << run.err;
  EXPECT_FALSE(Contains(run.out, "answering")) << run.out;
}

TEST(CliDoctor, SilentInstrumentIsReportedAsNotAnswering) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--sim-arg", "--silent", "--sim-arg", "00SN", "doctor"});
  EXPECT_EQ(run.exit_code, kNoInstrument) << run.out << run.err;
  EXPECT_TRUE(
      Contains(run.out, "[FAIL] no instrument answers: Unable to communicate with the spectrophotometer."))
      << run.out;
  EXPECT_FALSE(Contains(run.out, "an instrument answers")) << run.out;
}

TEST(CliMeasure, CtrlCDuringATriggerPressesAbortMeasurement) {
  ToolHome home;
  ToolResult run =
      home.Run({"--simulate", "--sim-arg", "--trigger-never", "measure", "--trigger"},
               [](const std::string& err) { return Contains(err, "(Ctrl-C: Abort Measurement)"); });
  EXPECT_EQ(run.exit_code, kAborted) << run.err;
  EXPECT_TRUE(Contains(run.err, "VK605: Please lower the unit to the target window")) << run.err;
  EXPECT_TRUE(Contains(run.err, "aborted after"));
}

TEST(CliMeasure, TriggeredMeasurementReturnsTheSpectrum) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--sim-arg", "--trigger-after-ms=300", "--non-interactive",
                             "measure", "--trigger", "--format", "json"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(json::parse(run.out)["readings"][0]["spectrum"]["reflectance"][4].get<double>(), 0.5231);
}

TEST(CliLog, TraceWritesTheDriverLogAndLogShowsIt) {
  ToolHome home;
  std::string trace = (home.Path() / "trace.log").string();
  ToolResult run = home.Run({"--simulate", "--non-interactive", "--trace", trace, "status"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  ToolResult log = home.Run({"log", "--file", trace, "-n", "100"});
  ASSERT_EQ(log.exit_code, 0);
  EXPECT_TRUE(Contains(log.out, "Diagnostics log: " + trace));
  EXPECT_TRUE(Contains(log.out, "EXPORT: InitializeDriver")) << log.out;
  EXPECT_TRUE(Contains(log.out, "COMM_INIT"));
  // The trace was for that run only: the user's registry stand-in names no log file.
  ToolResult off = home.Run({"log"});
  EXPECT_TRUE(Contains(off.out, "The diagnostics log is off")) << off.out;
}

TEST(CliUsage, BadCommandLinesExitWithTheUsageCode) {
  ToolHome home;
  EXPECT_EQ(home.Run({"frobnicate"}).exit_code, kUsage);
  EXPECT_EQ(home.Run({"measure", "--format", "xml"}).exit_code, kUsage);
  EXPECT_EQ(home.Run({"measure", "-n", "0"}).exit_code, kUsage);
  EXPECT_EQ(home.Run({"config", "set", "colour", "red"}).exit_code, kUsage);
  EXPECT_EQ(home.Run({"--port", "/dev/ttyS0", "--simulate", "status"}).exit_code, kUsage);
  EXPECT_EQ(home.Run({}).exit_code, kUsage);
  ToolResult json_error = home.Run({"--json", "measure", "--bogus"});
  EXPECT_EQ(json_error.exit_code, kUsage);
  EXPECT_EQ(json::parse(json_error.out)["exit"], kUsage);
}

TEST(CliUsage, EveryCommandHasItsHelp) {
  ToolHome home;
  ToolResult general = home.Run({"--help"});
  EXPECT_EQ(general.exit_code, 0);
  for (const char* command : {"status", "calibrate", "measure", "config", "ports", "doctor", "log"}) {
    EXPECT_TRUE(Contains(general.out, std::string("  ") + command + " ")) << command;
    ToolResult help = home.Run({command, "--help"});
    EXPECT_EQ(help.exit_code, 0) << command;
    EXPECT_TRUE(Contains(help.out, std::string("Usage: vk605 [OPTIONS] ") + command)) << help.out;
  }
  for (const char* option : {"--port", "--simulate", "--driver", "--trace", "--json", "--non-interactive",
                             "--yes", "--no", "--answer"}) {
    EXPECT_TRUE(Contains(general.out, option)) << option;
  }
  for (const char* option : {"-n N", "--trigger", "--format", "-o FILE", "--plot"}) {
    EXPECT_TRUE(Contains(home.Run({"measure", "--help"}).out, option)) << option;
  }
}

}  // namespace
}  // namespace vk605::tooltest
