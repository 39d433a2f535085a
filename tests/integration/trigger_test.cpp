// Triggered measurements through the exports, against vk605-sim.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "host_test.h"

namespace vk605::host {
namespace {

using Trigger = HostTest;

TEST_F(Trigger, AcknowledgedTriggerDeliversTheSpectrumAndOneStatus) {
  StartInstrument({"--trigger-after-ms", "2000"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    Script().dialog_events.clear();
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformRemoteMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    HOST_CHECK(Script().dialog_events.empty());  // no wait dialog without options
    char measurement[16] = {};
    char instrument[16] = {};
    VK605_EXPORT(driver, GetMeasurementStatus)(measurement);
    VK605_EXPORT(driver, GetInstrumentStatus)(instrument);
    HOST_CHECK_EQ(std::string(measurement), "CREILL");
    HOST_CHECK_EQ(std::string(instrument), "CREILL");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The button pressed while the worker waits for the spectral reply (a 25-second exchange): the caller
// returns 122 without waiting for it, and the next measurement gets its own reply, not the old one.
TEST_F(Trigger, AbortDuringTheSpectralReadLeavesTheNextMeasurementItsOwnReply) {
  SimProcess& sim = StartInstrument({"--trigger-after-ms", "100", "--command-delay", "104GF=8000"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    sim.ClearRecord();
    // Wake-up 1 s, acknowledgement read 0.5 s, 0.2 s pause: the spectral read starts after about 2 s.
    Script().press_after_ms = 4000;
    double spectra[40];
    for (double& v : spectra) v = -1.0;
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformTriggerMeasurement)(spectra, 1), 122);
    HOST_CHECK_EQ(spectra[4], -1.0);
    std::vector<std::string> commands = sim.Commands();
    HOST_CHECK(!commands.empty() && commands.back() == "104GF\\r");  // the worker is inside that read
    Script().press_after_polls = 0;
    sim.Set(
        "spectrum 10.00,11.00,12.00,13.00,14.00,15.00,16.00,17.00,18.00,19.00,20.00,21.00,22.00,23.00,"
        "24.00,25.00,26.00,27.00,28.00,29.00,30.00,31.00,32.00,33.00,34.00,35.00,36.00,37.00,38.00,"
        "39.00,40.00");
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], Percent(10.00f));
    HOST_CHECK_EQ(spectra[34], Percent(40.00f));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
