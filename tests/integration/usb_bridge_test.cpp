// The driver with PORT=USB on a machine without the instrument's USB bridge: the USB link is selected,
// its failures are results and trace lines, and the pipe exports report that no device is there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host_test.h"

namespace vk605::host {
namespace {

using UsbBridge = HostTest;

TEST_F(UsbBridge, PortUsbSelectsTheUsbLinkAndFailsToConnectWithoutABridge) {
  WriteSettings("usb");
  EnableTrace();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCommPortType)(), 2);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsUSBSupported)(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 111);
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCommunications)(), 0);
    // A serial name selects the serial link again.
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetPort)("/dev/ttyVK605none"), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCommPortType)(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsUSBSupported)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetPort)("USB"), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsUSBSupported)(), 1);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(Contains(TraceEntries(), "Failed to open USB connection"));
  // The stored port is the host's last word, spelled as given.
  EXPECT_EQ(IniSection(Path("VK605.INI"), "MAIN")["PORT"], "USB");
}

TEST_F(UsbBridge, PipeExportsFindNoDeviceAndTouchNoBuffer) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(0x0971, 0), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_Open)(0, 0, 0, 0), nullptr);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_PurgeTransmitBuffer)(nullptr), 1);
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_ReadPipe82)(nullptr, buffer, sizeof buffer), -1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_WritePipe02)(nullptr, buffer, sizeof buffer), -1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_ResetPipe)(nullptr, 0x82), -1);
    HOST_CHECK_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'x'));
    unsigned char info[644];
    std::memset(info, 0x5A, sizeof info);
    VK605_EXPORT(driver, FT8U100AX_GetDeviceInfo)(nullptr, info);
    HOST_CHECK(std::all_of(info, info + sizeof info, [](unsigned char c) { return c == 0x5A; }));
    VK605ListenRecord record{};
    HOST_CHECK(VK605_EXPORT(driver, FT8U100AX_ListenPipe)(nullptr, &record) != nullptr);
    // Without a device the first read fails and the thread ends; closing waits for it.
    HOST_CHECK_EQ(VK605_EXPORT(driver, CloseListening)(&record), 1);
    HOST_CHECK_EQ(record.reply, nullptr);
    HOST_CHECK_EQ(record.transfer_size, 0u);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
