// Triggered measurements through the exports, against vk605-sim.
#include <gtest/gtest.h>

#include <chrono>

#include "host_harness.h"
#include "sim_process.h"

namespace vk605::host {
namespace {

using IntFn = int();
double Percent(float value) {
  return static_cast<double>(value) * 0.01;
}

void PointDriverAt(const TempDir& dir, const SimProcess& sim) {
  WriteFile(dir / "VK605.INI", "[MAIN]\r\nPORT=" + sim.Device() + "\r\n");
}

TEST(Trigger, AcknowledgedTriggerDeliversTheSpectrumAndOneStatus) {
  TempDir dir;
  SimProcess sim(dir, {"--trigger-after-ms", "2000"});
  PointDriverAt(dir, sim);
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(driver.Fn<IntFn>("InitializeDriver")(), 0);
    Script().dialog_events.clear();
    double spectra[40] = {};
    HOST_CHECK_EQ(driver.Fn<int(double*)>("PerformRemoteMeasurement")(spectra), 0);
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    HOST_CHECK(Script().dialog_events.empty());  // no wait dialog without options
    char measurement[16] = {};
    char instrument[16] = {};
    driver.Fn<int(char*)>("GetMeasurementStatus")(measurement);
    driver.Fn<int(char*)>("GetInstrumentStatus")(instrument);
    HOST_CHECK_EQ(std::string(measurement), "CREILL");
    HOST_CHECK_EQ(std::string(instrument), "CREILL");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Pressing "Abort Measurement" returns at once even while the worker waits for a 25-second exchange,
// and the next measurement is not disturbed by the old worker.
TEST(Trigger, AbortReturnsAtOnceAndTheNextMeasurementWorks) {
  TempDir dir;
  SimProcess sim(dir, {"--trigger-never"});
  PointDriverAt(dir, sim);
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(driver.Fn<IntFn>("InitializeDriver")(), 0);
    Script().dialog_events.clear();
    Script().press_after_polls = 50;
    double spectra[40];
    for (double& v : spectra) v = -1.0;
    auto start = std::chrono::steady_clock::now();
    HOST_CHECK_EQ(driver.Fn<int(double*, int)>("PerformTriggerMeasurement")(spectra, 1), 122);
    auto elapsed = std::chrono::steady_clock::now() - start;
    HOST_CHECK(elapsed < std::chrono::seconds(10));
    HOST_CHECK_EQ(spectra[4], -1.0);
    HOST_CHECK(!Script().dialog_events.empty());
    HOST_CHECK_EQ(Script().dialog_events.front().substr(0, 11), "open:VK605|");
    Script().press_after_polls = 0;
    sim.Set("trigger-after-ms 300");
    HOST_CHECK_EQ(driver.Fn<int(double*)>("PerformMeasurement")(spectra), 0);
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
