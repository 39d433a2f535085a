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

// Pressing "Abort Measurement" returns at once even while the worker waits for a 25-second exchange,
// and the next measurement is not disturbed by the old worker.
TEST_F(Trigger, AbortReturnsAtOnceAndTheNextMeasurementWorks) {
  SimProcess& sim = StartInstrument({"--trigger-never"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    Script().dialog_events.clear();
    Script().press_after_polls = 50;
    double spectra[40];
    for (double& v : spectra) v = -1.0;
    auto start = std::chrono::steady_clock::now();
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformTriggerMeasurement)(spectra, 1), 122);
    auto elapsed = std::chrono::steady_clock::now() - start;
    HOST_CHECK(elapsed < std::chrono::seconds(10));
    HOST_CHECK_EQ(spectra[4], -1.0);
    HOST_CHECK(!Script().dialog_events.empty());
    HOST_CHECK_EQ(Script().dialog_events.front(),
                  "open:VK605|Please lower the unit to the target window and hold it firmly in place while "
                  "measuring.  Release the unit when the measurement is complete.  (i.e., the "
                  "spectrophotometer will momentarily display \"Reading Complete\" and then data will appear "
                  "on its display). |Abort Measurement");
    Script().press_after_polls = 0;
    sim.Set("trigger-after-ms 300");
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// No acknowledgement within 30 s: the worker gives up and the caller receives 122. Options pointing to 0
// show no dialog, as no options do.
TEST_F(Trigger, UnacknowledgedTriggerEndsAfterThirtySeconds) {
  StartInstrument({"--trigger-never"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    Script().dialog_events.clear();
    double spectra[40];
    for (double& v : spectra) v = -1.0;
    auto start = std::chrono::steady_clock::now();
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformTriggerMeasurement)(spectra, 0), 122);
    HOST_CHECK(std::chrono::steady_clock::now() - start >= std::chrono::seconds(30));
    HOST_CHECK_EQ(spectra[4], -1.0);
    HOST_CHECK(Script().dialog_events.empty());
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

// The trigger's lines in the diagnostics log, in their order.
TEST_F(Trigger, TraceHoldsTheTriggerLinesInOrder) {
  StartInstrument({"--trigger-after-ms", "100"});
  const std::filesystem::path log = EnableTrace();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformTriggerMeasurement)(spectra, 1), 0);
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  const std::string trace = ReadFile(log);
  const std::vector<std::string> entries = TraceEntries();
  const std::vector<std::string> expected{
      "Start of Trigger Measurement",    "Trigger command sent to spectrophotometer",
      "Create CMsgDlg object.",          "Created CMsgDlg dialog and setting captions & text.",
      "About to create trigger thread.", "Trigger thread created."};
  auto first = std::find(entries.begin(), entries.end(), expected.front());
  ASSERT_NE(first, entries.end()) << trace;
  ASSERT_GE(static_cast<std::size_t>(entries.end() - first), expected.size()) << trace;
  EXPECT_EQ(std::vector<std::string>(first, first + static_cast<std::ptrdiff_t>(expected.size())), expected)
      << trace;
}

}  // namespace
}  // namespace vk605::host
