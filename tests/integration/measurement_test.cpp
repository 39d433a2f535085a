// Measurements and calibration through the exports, against vk605-sim.
#include <gtest/gtest.h>

#include "host_harness.h"
#include "sim_process.h"

namespace vk605::host {
namespace {

using IntFn = int();
using MeasureFn = int(double*);

TEST(Measurement, SpectrumOfTheDefaultSample) {
  TempDir dir;
  SimProcess sim(dir);
  WriteDriverIni(dir.Path(), sim.Device());
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(driver.Fn<IntFn>("InitializeDriver")(), 0);
    sim.ClearRecord();
    double spectra[40] = {};
    HOST_CHECK_EQ(driver.Fn<MeasureFn>("PerformMeasurement")(spectra), 0);
    HOST_CHECK_EQ(Joined(sim.Commands()),
                  "01XD\\r AT\\r, \\r 0101SM\\r RM\\r 104GF\\r 01XD\\r AT\\r, 01XD\\r AT\\r,");
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    HOST_CHECK_EQ(spectra[34], Percent(80.21f));
    for (int i = 0; i < 4; ++i) HOST_CHECK_EQ(spectra[i], spectra[4]);
    for (int i = 35; i < 40; ++i) HOST_CHECK_EQ(spectra[i], spectra[34]);
    HOST_CHECK_EQ(driver.Fn<IntFn>("IsProfiled")(), 0);
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// A measurement the instrument refuses is a failure, not an untouched spectrum reported as success.
TEST(Measurement, RefusedMeasurementFailsAndLeavesTheSpectrum) {
  TempDir dir;
  SimProcess sim(dir, {"--refuse-measure"});
  WriteDriverIni(dir.Path(), sim.Device());
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    double spectra[40];
    for (double& v : spectra) v = -1.0;
    HOST_CHECK_EQ(driver.Fn<MeasureFn>("PerformMeasurement")(spectra), 1006);
    for (double v : spectra) HOST_CHECK_EQ(v, -1.0);
    sim.Set("accept-measure");
    sim.Set("malformed-spectrum");
    HOST_CHECK_EQ(driver.Fn<MeasureFn>("PerformMeasurement")(spectra), 1006);
    for (double v : spectra) HOST_CHECK_EQ(v, -1.0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST(Measurement, UncalibratedInstrumentIsCalibratedOnRequest) {
  TempDir dir;
  SimProcess sim(dir, {"--uncalibrated", "--calibrate-after", "1"});
  WriteDriverIni(dir.Path(), sim.Device());
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    double spectra[40] = {};
    Script().answers = {7};  // No to the calibration question
    HOST_CHECK_EQ(driver.Fn<MeasureFn>("PerformMeasurement")(spectra), 101);
    HOST_CHECK_EQ(Script().boxes.at(0).text,
                  "E-101 Instrument is not calibrated! Do you want to calibrate it?");
    HOST_CHECK_EQ(Script().boxes.at(0).type, 0x24u);
    Script().boxes.clear();
    Script().answers = {6, 1, 1};  // Yes, OK once the operator has calibrated, OK to the completion message
    HOST_CHECK_EQ(driver.Fn<MeasureFn>("PerformMeasurement")(spectra), 0);
    HOST_CHECK_EQ(Script().boxes.size(), 3u);
    HOST_CHECK_EQ(Script().boxes.at(2).text,
                  "Calibration is complete!\n\nPlease center the target window opening over the sample to be "
                  "measured.");
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    char status[16] = {};
    driver.Fn<int(char*)>("GetCalibrationStatus")(status);
    HOST_CHECK_EQ(std::string(status), "CREILL");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
