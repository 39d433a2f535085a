// Calibration prompts, the calibration-expiry rules and the traces of a measurement, through the exports
// against vk605-sim.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <regex>

#include "host_test.h"

namespace vk605::host {
namespace {

using Calibration = HostTest;
using CalibrationExpiry = HostTest;
using Measurement = HostTest;

const char* const kPrompt =
    "The spectrophotometer has been placed in calibration mode for you.  Please follow the directions on the "
    "spectrophotometer's display in order to proceed with calibration.\nIf you are uncertain as to how to "
    "calibrate your spectrophotometer, please refer to your spectrophotometer owner's manual.\n\nDo NOT "
    "click "
    "the OK button on this window until calibration is complete.";
const char* const kExpired =
    "The calibration has expired. The instrument must be recalibrated before taking measurements.";

// The local time in the calibration file's written form, offset by the given seconds from now.
std::string LocalTimeText(int offset_seconds) {
  std::time_t t = std::time(nullptr) + offset_seconds;
  std::tm local = *std::localtime(&t);
  char text[32];
  std::strftime(text, sizeof text, "%m/%d/%Y %H:%M:%S", &local);
  return text;
}

void WriteCalibrationFile(const TempDir& dir, const std::string& keys) {
  WriteFile(dir / "VK60512345.INI", "[CALIBRATION]\r\n" + keys);
}

// The texts of the message boxes shown so far, one per line of the result.
std::string BoxTexts() {
  std::string texts;
  for (const UiScript::Box& box : Script().boxes) texts += box.text + "|\n";
  return texts;
}

std::string Boxes(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += text + "|\n";
  return joined;
}

TEST_F(Calibration, OkThreeTimesBeforeTheInstrumentReportsCalibrated) {
  SimProcess& sim = StartInstrument({"--calibrate-after", "3"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    sim.ClearRecord();
    Script().answers = {1, 1, 1};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformCalibration)(), 0);
    HOST_CHECK_EQ(
        Joined(sim.Commands()),
        "\\r 0601SM\\r 01XD\\r AT\\r, 0601SM\\r 01XD\\r AT\\r, 0601SM\\r 01XD\\r AT\\r, \\r 0101SM\\r");
    HOST_CHECK_EQ(BoxTexts(), (Boxes({kPrompt, kPrompt, kPrompt})));
    HOST_CHECK_EQ(Script().boxes.at(0).caption, "VK605");
    char status[64] = {};
    VK605_EXPORT(driver, GetCalibrationStatus)(status);
    HOST_CHECK_EQ(status[0], 'C');
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(CalibrationExpiry, CountRuleAllowsTheLimitThenRefusesWithTheMessage) {
  SimProcess& sim = StartInstrument();
  WriteCalibrationFile(Dir(), "MEASUREMENTS=3\r\nbMEASUREMENTS=1\r\nMEASUREMENT_COUNT=0\r\n");
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    double spectra[40] = {};
    for (int i = 0; i < 3; ++i) HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK(Script().boxes.empty());
    sim.ClearRecord();
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 123);
    HOST_CHECK(sim.Commands().empty());  // refused before the instrument is contacted
    HOST_CHECK_EQ(BoxTexts(), (Boxes({kExpired})));
    HOST_CHECK_EQ(Script().boxes.at(0).caption, "VK605");
    HOST_CHECK_EQ(Script().boxes.at(0).type, 0x30u);  // OK, exclamation
    HOST_CHECK_EQ(IniSection(Path("VK60512345.INI"), "CALIBRATION")["CALIBRATION_DATE"], "");
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 123);  // every further one too
    // A calibration restarts the count.
    Script().answers = {1};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformCalibration)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    driver.Unload();  // Save writes the record back
  });
  ASSERT_EQ(failures, 0);
  auto record = IniSection(Path("VK60512345.INI"), "CALIBRATION");
  EXPECT_EQ(record["MEASUREMENT_COUNT"], "1");
  EXPECT_TRUE(std::regex_match(record["CALIBRATION_DATE"],
                               std::regex("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")));
}

TEST_F(CalibrationExpiry, LimitZeroRefusesEvenAfterACalibration) {
  StartInstrument();
  WriteCalibrationFile(Dir(), "MEASUREMENTS=0\r\nbMEASUREMENTS=1\r\n");
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    Script().answers = {1};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformCalibration)(), 0);
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 123);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformTriggerMeasurement)(spectra, 0), 123);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(CalibrationExpiry, TimeRuleRefusesOnceTheExpirationHasPassed) {
  StartInstrument();
  WriteCalibrationFile(Dir(), "bTIME=1\r\nEXPIRATION=" + LocalTimeText(3600) + "\r\n");
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);

  WriteCalibrationFile(Dir(), "bTIME=1\r\nEXPIRATION=" + LocalTimeText(-1) +
                                  "\r\nCALIBRATION_DATE=" + LocalTimeText(-3600) + "\r\n");
  failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 123);
    HOST_CHECK_EQ(BoxTexts(), (Boxes({kExpired})));
    // IsConfiguredToProfile switches both rules off.
    int configured = 0;
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsConfiguredToProfile)(&configured, 0), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(IniSection(Path("VK60512345.INI"), "CALIBRATION")["CALIBRATION_DATE"], "");
}

TEST_F(CalibrationExpiry, LoadCompletesTheCalibrationFile) {
  StartInstrument();
  WriteFile(Path("VK60512345.INI"), "[OTHER]\r\nKEEP=1\r\n");
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  std::map<std::string, std::string> expected{
      {"HOURS", "4"},           {"MINUTES", "0"}, {"MEASUREMENTS", "250"}, {"EXPIRATION", ""},
      {"CALIBRATION_DATE", ""}, {"BTIME", "0"},   {"BMEASUREMENTS", "0"},  {"MEASUREMENT_COUNT", "0"}};
  EXPECT_EQ(IniSection(Path("VK60512345.INI"), "CALIBRATION"), expected);
  EXPECT_EQ(IniSection(Path("VK60512345.INI"), "OTHER")["KEEP"], "1");
}

TEST_F(Measurement, DriverVersionAndTheTracesOfAMeasurement) {
  StartInstrument({"--spectrum",
                   "9.08,100.00,0.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,"
                   "50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,50.00,"
                   "50.00,12.34"});
  const std::filesystem::path log = EnableTrace();
  int failures = RunHost([&](Driver& driver) {
    char version[128] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetDriverVersion)(version), 0);
    HOST_CHECK(
        std::regex_match(std::string(version), std::regex("Product Version: [0-9]+\\.[0-9]+\\.[0-9]+.*")));
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], static_cast<double>(9.08f) * 0.01);
    HOST_CHECK_EQ(spectra[5], 1.0);
    HOST_CHECK_EQ(spectra[6], 0.001 * 0.01);  // 0.00 is clamped
    HOST_CHECK_EQ(spectra[0], spectra[4]);
    HOST_CHECK_EQ(spectra[39], static_cast<double>(12.34f) * 0.01);
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  std::string text = ReadFile(log);
  std::size_t measure = text.find("COMM_MEASURE\r\n\r\n");
  ASSERT_NE(measure, std::string::npos) << text;
  std::size_t trace = text.find("Spectral Data", measure);
  ASSERT_NE(trace, std::string::npos) << text;
  EXPECT_NE(text.find("0.0908, 0.0908, 0.0908, 0.0908, 0.0908, 1.0000, 0.0000, 0.5000, ", trace),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace vk605::host
