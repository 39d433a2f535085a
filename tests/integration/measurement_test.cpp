// Measurements and calibration through the exports, against vk605-sim.
#include <gtest/gtest.h>

#include "host_test.h"

namespace vk605::host {
namespace {

using Measurement = HostTest;

TEST_F(Measurement, SpectrumOfTheDefaultSample) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    sim.ClearRecord();
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(Joined(sim.Commands()),
                  "01XD\\r AT\\r, \\r 0101SM\\r RM\\r 104GF\\r 01XD\\r AT\\r, 01XD\\r AT\\r,");
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    HOST_CHECK_EQ(spectra[34], Percent(80.21f));
    for (int i = 0; i < 4; ++i) HOST_CHECK_EQ(spectra[i], spectra[4]);
    for (int i = 35; i < 40; ++i) HOST_CHECK_EQ(spectra[i], spectra[34]);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 0);
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// A measurement the instrument refuses is a failure, not an untouched spectrum reported as success.
TEST_F(Measurement, RefusedMeasurementFailsAndLeavesTheSpectrum) {
  SimProcess& sim = StartInstrument({"--refuse-measure"});
  int failures = RunHost([&](Driver& driver) {
    double spectra[40];
    for (double& v : spectra) v = -1.0;
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 1006);
    for (double v : spectra) HOST_CHECK_EQ(v, -1.0);
    sim.Set("accept-measure");
    sim.Set("malformed-spectrum");
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 1006);
    for (double v : spectra) HOST_CHECK_EQ(v, -1.0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(Measurement, UncalibratedInstrumentIsCalibratedOnRequest) {
  StartInstrument({"--uncalibrated", "--calibrate-after", "1"});
  int failures = RunHost([&](Driver& driver) {
    double spectra[40] = {};
    Script().answers = {7};  // No to the calibration question
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 101);
    HOST_CHECK_EQ(Script().boxes.at(0).text,
                  "E-101 Instrument is not calibrated! Do you want to calibrate it?");
    HOST_CHECK_EQ(Script().boxes.at(0).type, 0x24u);
    Script().boxes.clear();
    Script().answers = {6, 1, 1};  // Yes, OK once the operator has calibrated, OK to the completion message
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(Script().boxes.size(), 3u);
    HOST_CHECK_EQ(Script().boxes.at(2).text,
                  "Calibration is complete!\n\nPlease center the target window opening over the sample to be "
                  "measured.");
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    char status[16] = {};
    VK605_EXPORT(driver, GetCalibrationStatus)(status);
    HOST_CHECK_EQ(std::string(status), "CREILL");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
