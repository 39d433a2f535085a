// A host over an emulated bridge that misbehaves: each fault gives its result, says why in the
// diagnostics trace and leaves the host's buffers as they were.
#include <gtest/gtest.h>

#include <string>

#include "usb_host_fixture.h"

namespace vk605::host {
namespace {

using sim::BridgeFault;
using sim::EmulatedBridge;

constexpr double kUntouchedReflectance = -12345.0;
// An exchange that failed on the link.
constexpr int kLinkFailure = 2;
// The instrument cannot be reached at connect.
constexpr int kNoInstrument = 111;
// The instrument's reply began with "*".
constexpr int kInstrumentError = 110;

// Measures into a spectrum the host filled; the result. The spectrum must stay as it was.
int MeasureExpectingNoSpectrum(Driver& driver) {
  double spectra[40];
  for (double& value : spectra) value = kUntouchedReflectance;
  const int result = VK605_EXPORT(driver, PerformMeasurement)(spectra);
  for (double value : spectra) HOST_CHECK_EQ(value, kUntouchedReflectance);
  return result;
}

// Connects, then measures with MeasureExpectingNoSpectrum.
int ConnectThenMeasure(Driver& driver) {
  HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
  return MeasureExpectingNoSpectrum(driver);
}

using UsbFault = UsbHostTest;

TEST_F(UsbFault, UnknownCommandReplyFailsTheConnect) {
  EmulatedBridge& bridge = Bridge();
  bridge.SetFault(BridgeFault::kUnknownCommand);
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), kLinkFailure);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(Contains(TraceEntries(), "USB: the instrument does not know the command"));
}

TEST_F(UsbFault, StarReplyIsAnInstrumentError) {
  sim::SimSettings settings;
  settings.fault = sim::Fault::kStar;
  settings.fault_only = {"RM"};
  Bridge(settings);
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(ConnectThenMeasure(driver), kInstrumentError);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(Contains(TraceEntries(), "USB: the instrument reports an error (its reply begins with \"*\")"));
}

TEST_F(UsbFault, FailedTransferFailsTheMeasurement) {
  EmulatedBridge& bridge = Bridge();
  bridge.SetFault(BridgeFault::kFailedTransfer, "RM");
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(ConnectThenMeasure(driver), kLinkFailure);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> trace = TraceEntries();
  EXPECT_TRUE(Contains(trace, "Failed to read data from ReadPipe82"));
  EXPECT_TRUE(Contains(trace, "USB: LIBUSB_ERROR_PIPE (-9)"));
}

TEST_F(UsbFault, NoAnswerTimesOut) {
  EmulatedBridge& bridge = Bridge();
  bridge.SetFault(BridgeFault::kNoAnswer);
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), kLinkFailure);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> trace = TraceEntries();
  EXPECT_TRUE(Contains(trace, "USB: LIBUSB_ERROR_TIMEOUT (-7)"));
  EXPECT_TRUE(Contains(trace, "No data is available from ReadPipe82"));
  EXPECT_EQ(bridge.InTransfers(), 0u);
}

TEST_F(UsbFault, UnplugDuringAReadFailsAndTheBridgeIsGone) {
  EmulatedBridge& bridge = Bridge();
  bridge.SetFault(BridgeFault::kUnplugDuringRead, "RM");
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(ConnectThenMeasure(driver), kLinkFailure);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(0x0971, 0), 0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> trace = TraceEntries();
  EXPECT_TRUE(Contains(trace, "Failed to read data from ReadPipe82"));
  EXPECT_TRUE(Contains(trace, "USB: LIBUSB_ERROR_NO_DEVICE (-4)"));
  // The read ended on the unplug, not by waiting for its time-out.
  EXPECT_FALSE(Contains(trace, "No data is available from ReadPipe82"));
}

TEST_F(UsbFault, BridgeClaimedByAnotherProcessCannotBeOpened) {
  EmulatedBridge& bridge = Bridge();
  bridge.SetFault(BridgeFault::kClaimedElsewhere);
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), kNoInstrument);
    HOST_CHECK_EQ(MeasureExpectingNoSpectrum(driver), kLinkFailure);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_Open)(0, 0, 0, 0), nullptr);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> trace = TraceEntries();
  EXPECT_TRUE(Contains(trace, "Failed to open USB connection"));
  EXPECT_TRUE(Contains(trace, "USB: LIBUSB_ERROR_BUSY (-6)"));
  EXPECT_EQ(Joined(bridge.Commands()), "");
}

TEST_F(UsbFault, BridgeWithoutPermissionCannotBeOpened) {
  EmulatedBridge& bridge = Bridge();
  bridge.SetFault(BridgeFault::kNoPermission);
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK(sim::DropFileCapabilities());
    // The bridge is listed (its descriptors come from sysfs) but cannot be opened.
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(0x0971, 0), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), kNoInstrument);
    HOST_CHECK_EQ(MeasureExpectingNoSpectrum(driver), kLinkFailure);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  const std::vector<std::string> trace = TraceEntries();
  EXPECT_TRUE(Contains(trace, "Failed to open USB connection"));
  EXPECT_TRUE(Contains(trace, "USB: LIBUSB_ERROR_ACCESS (-3)"));
  EXPECT_EQ(Joined(bridge.Commands()), "");
}

}  // namespace
}  // namespace vk605::host
