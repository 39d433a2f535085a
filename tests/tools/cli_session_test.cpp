// vk605 status, calibrate, config, log and the failure paths, against the simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "control_client.h"
#include "tool_runner.h"

namespace vk605::tooltest {
namespace {

using nlohmann::json;

constexpr int kNoInstrument = 3, kNotCalibrated = 4, kExpired = 5, kAborted = 6, kUsage = 2, kNotWritten = 8,
              kInterrupted = 130;

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

// Without a display the driver cannot show its panel: the program says so and fails.
TEST(CliPanel, WithoutADisplayThePanelIsUnavailable) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--non-interactive", "panel"});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_TRUE(Contains(run.err, "vk605: Unable to load instrument control panel. (It needs a display"))
      << run.err;
  EXPECT_TRUE(run.out.empty()) << run.out;
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
  EXPECT_TRUE(Contains(general.out, "  8  readings were taken but a file could not be written"));
  EXPECT_TRUE(Contains(general.out, "  130  Ctrl-C at a prompt"));
  for (const char* option : {"--port", "--simulate", "--driver", "--trace", "--json", "--non-interactive",
                             "--yes", "--no", "--answer"}) {
    EXPECT_TRUE(Contains(general.out, option)) << option;
  }
  for (const char* option :
       {"-n N", "--trigger", "--format", "-o FILE", "--plot", "--illuminant NAME", "--observer 2|10",
        "--reference FILE", "ti3 (Argyll's", "(Argyll's spectral file)"}) {
    EXPECT_TRUE(Contains(home.Run({"measure", "--help"}).out, option)) << option;
  }
}

// Files that cannot be written are refused before the instrument is touched.
TEST(CliMeasure, UnwritableOutputAndUnknownPlotFormFailBeforeMeasuring) {
  ToolHome home;
  std::filesystem::path blocker = home.Path() / "a-file";
  std::ofstream(blocker) << "x";
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"-o", (home.Path() / "missing" / "out.csv").string()},
        std::vector<std::string>{"-o", (blocker / "out.csv").string()},
        std::vector<std::string>{"-o", home.Path().string()},
        std::vector<std::string>{"--plot", (home.Path() / "plot.pdf").string()},
        std::vector<std::string>{"--plot", (home.Path() / "missing" / "plot.svg").string()}}) {
    std::vector<std::string> args{"--simulate", "--non-interactive", "measure"};
    args.insert(args.end(), options.begin(), options.end());
    ToolResult run = home.Run(args);
    EXPECT_EQ(run.exit_code, kUsage) << options[1] << "\n" << run.err;
    EXPECT_FALSE(Contains(run.err, "Attempting To Connect")) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

// The output directory disappears while the readings are taken: they are printed instead, exit code 8.
TEST(CliMeasure, ReadingsWhoseFileCannotBeWrittenArePrintedInstead) {
  ToolHome home;
  std::filesystem::path directory = home.Path() / "results";
  std::filesystem::create_directories(directory);
  std::filesystem::path file = directory / "out.json";
  ToolResult run = home.Run(
      {"--simulate", "--non-interactive", "measure", "-n", "2", "--format", "json", "-o", file.string()},
      [&](const std::string& err) {
        if (Contains(err, "reading 1 of 2")) std::filesystem::remove_all(directory);
        return false;
      });
  EXPECT_EQ(run.exit_code, kNotWritten) << run.err;
  EXPECT_TRUE(Contains(run.err, "vk605: cannot write " + file.string())) << run.err;
  EXPECT_TRUE(Contains(run.err, "the readings follow on stdout instead")) << run.err;
  json document = json::parse(run.out);
  EXPECT_EQ(document["readings"].size(), 2u);
  EXPECT_EQ(document["readings"][1]["spectrum"]["reflectance"][4].get<double>(), 0.5231);
}

// On a terminal the connect's progress line counts the seconds while the driver blocks in the connect.
TEST(CliTerminal, ConnectProgressShowsTheElapsedTimeAndTheUnloadIsAnnounced) {
  ToolHome home;
  RunOptions options;
  options.terminal = true;
  ToolResult run = home.Run({"--simulate", "--non-interactive", "status"}, options);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The connect blocks for 3.5 s in the driver's fixed waits: the line is redrawn meanwhile, so it shows
  // many different times, not just the one at the start and the one at the end.
  std::set<std::string> shown;
  std::regex waiting(R"(waiting (\d+\.\d) s)");
  for (auto it = std::sregex_iterator(run.err.begin(), run.err.end(), waiting); it != std::sregex_iterator();
       ++it)
    shown.insert((*it)[1]);
  EXPECT_GE(shown.size(), 5u) << run.err;
  EXPECT_TRUE(Contains(run.err, "vk605: resetting the instrument and unloading the driver (about 5 s)"))
      << run.err;
  EXPECT_TRUE(std::regex_search(run.err, std::regex(R"(unloaded after \d+\.\d s)"))) << run.err;
}

TEST(CliTerminal, UnloadIsAnnouncedInALogToo) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--non-interactive", "status"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::size_t announced =
      run.err.find("vk605: resetting the instrument and unloading the driver (about 5 s)\n");
  ASSERT_NE(announced, std::string::npos) << run.err;
  EXPECT_LT(run.err.find("done after"), announced);
}

// Ctrl-C at the driver's question cancels it (No), the driver is unloaded, which resets the instrument
// (the simulator receives the exit sequence after the question), and the program exits with 130.
TEST(CliTerminal, CtrlCAtAPromptCancelsItResetsTheInstrumentAndExits130) {
  ToolHome home;
  std::filesystem::path record = home.Path() / "commands.rec";
  std::size_t commands_at_prompt = 0;
  auto count_commands = [&] {
    std::ifstream in(record);
    std::size_t lines = 0;
    std::string line;
    while (std::getline(in, line)) ++lines;
    return lines;
  };
  RunOptions options;
  options.terminal = true;
  options.on_output = [&](const std::string&, const std::string& err) {
    if (!Contains(err, "Yes or No? [y/n]")) return false;
    commands_at_prompt = count_commands();
    return true;
  };
  ToolResult run = home.Run(
      {"--simulate", "--sim-arg", "--uncalibrated", "--sim-arg", "--record=" + record.string(), "measure"},
      options);
  EXPECT_FALSE(run.signalled) << run.err;
  EXPECT_EQ(run.exit_code, kInterrupted) << run.err;
  EXPECT_TRUE(Contains(run.err, "E-101 Instrument is not calibrated! Do you want to calibrate it?"))
      << run.err;
  EXPECT_TRUE(Contains(run.err, "-> No (cancelled with Ctrl-C)")) << run.err;
  EXPECT_TRUE(Contains(run.err, "vk605: resetting the instrument and unloading the driver")) << run.err;
  EXPECT_TRUE(
      Contains(run.err, "vk605: cancelled with Ctrl-C; the instrument was reset and the driver unloaded"))
      << run.err;
  EXPECT_GT(commands_at_prompt, 0u);
  EXPECT_GT(count_commands(), commands_at_prompt);
  EXPECT_TRUE(run.out.empty());
}

// The instrument refuses the second of three readings: the first is still written, with the refusal's
// exit code.
TEST(CliMeasure, ReadingsTakenBeforeAFailureAreStillWritten) {
  ToolHome home;
  std::filesystem::path socket = home.Path() / "sim.sock";
  std::filesystem::path file = home.Path() / "out.json";
  bool refused = false;
  ToolResult run = home.Run({"--simulate", "--sim-arg", "--control=" + socket.string(), "--non-interactive",
                             "measure", "-n", "3", "--format", "json", "-o", file.string()},
                            [&](const std::string& err) {
                              if (!refused && Contains(err, "reading 2 of 3")) {
                                vk605::sim::ControlClient control;
                                refused =
                                    control.Connect(socket.string()) &&
                                    control.Request("refuse-measure") == std::optional<std::string>("OK");
                              }
                              return false;
                            });
  ASSERT_TRUE(refused);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_TRUE(Contains(run.err, "after 1 of 3 readings; the readings taken are in the output")) << run.err;
  std::ifstream in(file);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  json document = json::parse(text);
  ASSERT_EQ(document["readings"].size(), 1u);
  EXPECT_EQ(document["readings"][0]["spectrum"]["reflectance"][4].get<double>(), 0.5231);
}

}  // namespace
}  // namespace vk605::tooltest
