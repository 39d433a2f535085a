// The bridge library's exports against emulated bridges: the device count, opening by unique id, the
// information block, the pipes, and the listening thread, directly as a host calls them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "usb_host_fixture.h"

namespace vk605::host {
namespace {

using sim::BridgeFault;
using sim::EmulatedBridge;

constexpr unsigned kVendor = 0x0971;
constexpr unsigned kBulkIn = 0x82;
constexpr unsigned kBulkOut = 0x02;
// The reply that ends a listening thread's reply: the only one of the instrument ending in ">".
constexpr char kListenedReply[] = "ERROR:  unknown command\n>";

std::uint32_t InfoWord(const unsigned char* info, int index) {
  std::uint32_t word = 0;
  std::memcpy(&word, info + index * 4, sizeof word);
  return word;
}

// Reads pipe 0x82 until the text (status bytes dropped) ends with ending; every transfer must start with
// the bridge's two status bytes.
std::string ReadReply(Driver& driver, VK605UsbDevice* device, const std::string& ending) {
  std::string text;
  for (int transfers = 0; transfers < 2000; ++transfers) {
    unsigned char buffer[64];
    const int count = VK605_EXPORT(driver, FT8U100AX_ReadPipe82)(device, buffer, sizeof buffer);
    HOST_CHECK(count >= 2);
    if (count < 2) break;
    HOST_CHECK_EQ(static_cast<int>(buffer[0]), 0x31);
    HOST_CHECK_EQ(static_cast<int>(buffer[1]), 0x60);
    text.append(reinterpret_cast<const char*>(buffer) + 2, static_cast<std::size_t>(count) - 2);
    if (text.size() >= ending.size() &&
        text.compare(text.size() - ending.size(), ending.size(), ending) == 0) {
      break;
    }
  }
  return text;
}

int Write(Driver& driver, VK605UsbDevice* device, const std::string& text) {
  return VK605_EXPORT(driver, FT8U100AX_WritePipe02)(device, text.data(), static_cast<unsigned>(text.size()));
}

bool WaitForStop(VK605ListenRecord& record) {
  std::atomic_ref<int> stop(record.stop);
  for (int i = 0; i < 2000 && stop.load() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return stop.load() != 0;
}

// The device events a host's callback saw, on the event thread.
std::mutex g_seen_mutex;
std::vector<VK605UsbEvent> g_seen_events;
std::vector<void*> g_seen_contexts;

void VK605_CALL RecordDeviceEvent(VK605UsbEvent* event, void* context) {
  std::lock_guard<std::mutex> lock(g_seen_mutex);
  g_seen_events.push_back(*event);
  g_seen_contexts.push_back(context);
}

std::size_t SeenEvents() {
  std::lock_guard<std::mutex> lock(g_seen_mutex);
  return g_seen_events.size();
}

using UsbPipeExports = UsbHostTest;

TEST_F(UsbPipeExports, CountDevicesCountsTheEmulatedBridges) {
  Bridge().AddDevice();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(kVendor, 0), 2);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(kVendor, EmulatedBridge::kProductId), 2);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(kVendor, EmulatedBridge::kProductId + 1), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(0x0403, 0), 0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(UsbPipeExports, OpenByUniqueIdDescribesThatBridgeAndItsPipesCarryTheInstrumentsBytes) {
  EmulatedBridge& bridge = Bridge();
  bridge.AddDevice();
  const std::uint32_t second = bridge.UniqueId(1);
  int failures = RunHost([&](Driver& driver) {
    VK605UsbDevice* device = VK605_EXPORT(driver, FT8U100AX_Open)(second, 0, 0, 0);
    HOST_CHECK(device != nullptr);
    if (device == nullptr) EndHostWithoutUnload();
    unsigned char info[644];
    std::memset(info, 0x5A, sizeof info);
    VK605_EXPORT(driver, FT8U100AX_GetDeviceInfo)(device, info);
    HOST_CHECK_EQ(InfoWord(info, 0), kVendor);
    HOST_CHECK_EQ(InfoWord(info, 1), EmulatedBridge::kProductId);
    HOST_CHECK_EQ(InfoWord(info, 2), 3u);
    HOST_CHECK_EQ(InfoWord(info, 3), 6u);  // the second bridge's address
    HOST_CHECK_EQ(InfoWord(info, 5), 64u);
    HOST_CHECK_EQ(InfoWord(info, 6), 1u);
    HOST_CHECK_EQ(InfoWord(info, 7), 64u);
    HOST_CHECK_EQ(InfoWord(info, 160), 0u);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_ResetDevice)(device), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_ResetPipe)(device, 0x00), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_ResetPipe)(device, kBulkOut), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_ResetPipe)(device, kBulkIn), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_PurgeTransmitBuffer)(device), 0);
    // A control read: the bridge's status bytes.
    const unsigned char status_request[8] = {0xC0, 0x05, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
    unsigned char status[2] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_ReadPipe00)(device, status, sizeof status, status_request),
                  2);
    HOST_CHECK_EQ(static_cast<int>(status[0]), 0x31);
    HOST_CHECK_EQ(Write(driver, device, "SV\r"), 3);
    HOST_CHECK_EQ(ReadReply(driver, device, "<00>\r\n"), "VK605 V1.07\r\n<00>\r\n");
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_StopTransferPipe82)(device), 1);
    VK605_EXPORT(driver, FT8U100AX_Close)(device);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Joined(bridge.Commands(1)), "SV\\r");
  EXPECT_EQ(Joined(bridge.Commands(0)), "");
  // The device reset, then the purge: a vendor request without a data stage, then the status read.
  const std::vector<sim::ControlRequest> control = bridge.ControlRequests(1);
  ASSERT_EQ(control.size(), 2u);
  EXPECT_EQ(control[0].request_type, 0x40);
  EXPECT_EQ(control[0].value, 2);
  EXPECT_EQ(control[1].request_type, 0xC0);
  EXPECT_EQ(control[1].length, 2);
}

// The listening thread collects the transfers (status bytes dropped) until the reply ends with ">",
// stores it, stops and halts the pipe; CloseListening then waits for it. Started again without a reply
// coming, CloseListening stops it.
TEST_F(UsbPipeExports, ListeningThreadDeliversAReplyEndingInThePrompt) {
  EmulatedBridge& bridge = Bridge();
  bridge.SetTransferSize(8);
  bridge.SetFault(BridgeFault::kUnknownCommand, "XX");
  int failures = RunHost([&](Driver& driver) {
    VK605UsbDevice* device = VK605_EXPORT(driver, FT8U100AX_Open)(0, 0, 0, 0);
    HOST_CHECK(device != nullptr);
    if (device == nullptr) EndHostWithoutUnload();
    VK605ListenRecord record;
    std::memset(&record, 0x5A, sizeof record);
    void* thread = VK605_EXPORT(driver, FT8U100AX_ListenPipe)(device, &record);
    HOST_CHECK(thread != nullptr);
    HOST_CHECK_EQ(record.thread, thread);
    HOST_CHECK_EQ(record.device, device);
    HOST_CHECK_EQ(record.transfer_size, 64u);
    HOST_CHECK(record.process_function != nullptr);
    HOST_CHECK_EQ(record.reply, nullptr);
    HOST_CHECK_EQ(Write(driver, device, "XX\r"), 3);
    HOST_CHECK(WaitForStop(record));
    HOST_CHECK_EQ(VK605_EXPORT(driver, CloseListening)(&record), 1);
    HOST_CHECK_EQ(record.thread, nullptr);
    HOST_CHECK(record.reply != nullptr);
    if (record.reply != nullptr) HOST_CHECK_EQ(std::string(record.reply), kListenedReply);

    // No reply: the thread keeps reading status-only transfers until it is closed.
    VK605ListenRecord idle;
    HOST_CHECK(VK605_EXPORT(driver, FT8U100AX_ListenPipe)(device, &idle) != nullptr);
    HOST_CHECK_EQ(VK605_EXPORT(driver, CloseListening)(&idle), 1);
    HOST_CHECK_EQ(idle.reply, nullptr);
    HOST_CHECK_EQ(VK605_EXPORT(driver, CloseListening)(&idle), 0);

    // ListenToPipe and PipeListenHandler on a record the host filled itself.
    VK605ListenRecord own{};
    own.read_function = reinterpret_cast<void*>(VK605_EXPORT(driver, FT8U100AX_ReadPipe82));
    own.halt_function = reinterpret_cast<void*>(VK605_EXPORT(driver, FT8U100AX_StopTransferPipe82));
    own.process_function = reinterpret_cast<void*>(VK605_EXPORT(driver, FT8U100AX_ProcessData));
    own.device = device;
    own.transfer_size = 16;
    HOST_CHECK_EQ(Write(driver, device, "XX\r"), 3);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PipeListenHandler)(&own), 0ul);
    HOST_CHECK(own.reply != nullptr);
    if (own.reply != nullptr) HOST_CHECK_EQ(std::string(own.reply), kListenedReply);
    VK605ListenRecord started{};
    started.read_function = own.read_function;
    started.halt_function = own.halt_function;
    started.process_function = own.process_function;
    started.device = device;
    started.transfer_size = 64;
    started.stop = 1;
    HOST_CHECK(VK605_EXPORT(driver, ListenToPipe)(&started) != nullptr);
    HOST_CHECK_EQ(Write(driver, device, "XX\r"), 3);
    HOST_CHECK(WaitForStop(started));
    HOST_CHECK_EQ(VK605_EXPORT(driver, CloseListening)(&started), 1);
    HOST_CHECK(started.reply != nullptr);
    VK605_EXPORT(driver, FT8U100AX_Close)(device);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Device events through libusb's hot-plug monitor: a second bridge plugged in and unplugged while a host
// is registered. The host asks for each step by creating a file; this process's helper thread plugs and
// unplugs the emulated bridge.
TEST_F(UsbPipeExports, RegisteredHostSeesABridgeArriveAndLeave) {
  EmulatedBridge& bridge = Bridge();
  const std::filesystem::path plug = Path("plug");
  const std::filesystem::path unplug = Path("unplug");
  std::thread plugger([&] {
    if (!WaitFor([&] { return std::filesystem::exists(plug); })) return;
    bridge.AnnounceDevice(bridge.AddDevice());
    if (!WaitFor([&] { return std::filesystem::exists(unplug); })) return;
    bridge.RemoveDevice(1);
  });
  std::uint32_t second = bridge.UniqueId(0) + 1;
  int failures = RunHost([&](Driver& driver) {
    int handle[2] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, USB_Get_WD_handle)(handle), 1);
    VK605UsbEventRegistration registration{handle[0], nullptr};
    VK605UsbEventRegistration refused{handle[0], nullptr};
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_RegisterEvent)(&refused, 0x3, kVendor, 0, 0, nullptr), 0);
    HOST_CHECK_EQ(refused.event, nullptr);
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_RegisterEvent)(&registration, 0x3, kVendor, 0, 0,
                                                                reinterpret_cast<void*>(&RecordDeviceEvent)),
                  1);
    HOST_CHECK(registration.event != nullptr);
    WriteFile(plug, "");
    HOST_CHECK(WaitFor([] { return SeenEvents() >= 1; }));
    WriteFile(unplug, "");
    HOST_CHECK(WaitFor([] { return SeenEvents() >= 2; }));
    VK605_EXPORT(driver, FT8U100AX_UnregisterEvent)(&registration);
    HOST_CHECK_EQ(registration.event, nullptr);
    std::lock_guard<std::mutex> lock(g_seen_mutex);
    HOST_CHECK_EQ(g_seen_events.size(), 2u);
    if (g_seen_events.size() == 2) {
      HOST_CHECK_EQ(g_seen_events[0].action, 1u);
      HOST_CHECK_EQ(g_seen_events[1].action, 2u);
      for (const VK605UsbEvent& event : g_seen_events) {
        HOST_CHECK_EQ(event.vendor_id, kVendor);
        HOST_CHECK_EQ(event.product_id, EmulatedBridge::kProductId);
        HOST_CHECK_EQ(event.unique_id, second);
        HOST_CHECK_EQ(event.bus_type, 0xFFFFFFFEu);
        HOST_CHECK(event.handle != 0);
      }
      HOST_CHECK_EQ(g_seen_contexts[0], static_cast<void*>(&registration));
    }
    EndHostWithoutUnload();
  });
  plugger.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
