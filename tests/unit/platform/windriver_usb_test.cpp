#include "platform/windriver_usb.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vk605 {
namespace {

using namespace windriver;

// The driver's device as a script: each request is recorded with its handle, and answered from the
// fields below.
class FakeWinDriver final : public WinDriverDevice {
 public:
  void* Open() override {
    if (!present) return nullptr;
    ++opened;
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(opened));
  }
  void Close(void*) override { ++closed; }
  bool Control(void* handle, std::uint32_t code, void* record, std::uint32_t size) override {
    requests.push_back({reinterpret_cast<std::uintptr_t>(handle), code, size});
    if (refuse_code == code) return false;
    switch (code) {
      case kVersion:
        static_cast<std::uint32_t*>(record)[0] = version;
        return true;
      case kScan: {
        auto* scan = static_cast<ScanRecord*>(record);
        scanned_vendor = scan->vendor_id;
        scan->count = scan_count;
        for (std::uint32_t i = 0; i < scan_count && i < kScanEntries; ++i) {
          scan->entries[i].unique_id = 100 + i;
          std::memset(scan->entries[i].info + 60, 0xFF, 4);
        }
        return true;
      }
      case kOpen: {
        auto* open = static_cast<OpenRecord*>(record);
        opened_id = open->unique_id;
        open->device_handle = device_handle;
        open->info[28] = 64;
        return true;
      }
      case kTransfer: {
        auto* transfer = static_cast<TransferRecord*>(record);
        last_transfer = *transfer;
        transfer->transferred = transfer->size;
        transfer->success = transfer_succeeds ? 1 : 0;
        return true;
      }
      default:
        return true;
    }
  }
  long LastError() override { return 31; }

  struct Request {
    std::uintptr_t handle;
    std::uint32_t code;
    std::uint32_t size;
  };
  bool present = true;
  std::uint32_t version = 522;
  std::uint32_t scan_count = 2;
  std::uint32_t device_handle = 77;
  bool transfer_succeeds = true;
  std::uint32_t refuse_code = 0;
  int opened = 0;
  int closed = 0;
  std::uint32_t scanned_vendor = 0;
  std::uint32_t opened_id = 0;
  TransferRecord last_transfer{};
  std::vector<Request> requests;
};

TEST(WinDriverUsb, MissingDriverCannotBeOpened) {
  FakeWinDriver fake;
  fake.present = false;
  auto system = MakeWinDriverUsb(fake);
  std::unique_ptr<UsbDriver> driver;
  EXPECT_EQ(system->OpenDriver(driver), UsbDriverStatus::kCannotOpen);
  EXPECT_EQ(driver, nullptr);
}

TEST(WinDriverUsb, Version521IsTooOldAnd522Usable) {
  FakeWinDriver fake;
  fake.version = 521;
  auto system = MakeWinDriverUsb(fake);
  std::unique_ptr<UsbDriver> driver;
  EXPECT_EQ(system->OpenDriver(driver), UsbDriverStatus::kWrongVersion);
  EXPECT_EQ(fake.closed, 1);
  ASSERT_EQ(fake.requests.size(), 1u);
  EXPECT_EQ(fake.requests[0].code, 0x95382443u);
  EXPECT_EQ(fake.requests[0].size, 104u);
  fake.version = 522;
  EXPECT_EQ(system->OpenDriver(driver), UsbDriverStatus::kOpen);
  EXPECT_NE(driver, nullptr);
}

TEST(WinDriverUsb, ScanOpenTransferAndCloseUseTheirRequests) {
  FakeWinDriver fake;
  auto system = MakeWinDriverUsb(fake);
  std::unique_ptr<UsbDriver> driver;
  ASSERT_EQ(system->OpenDriver(driver), UsbDriverStatus::kOpen);
  std::vector<UsbScanEntry> entries = driver->Scan(0x0971, 0);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(fake.scanned_vendor, 0x0971u);
  EXPECT_EQ(entries[1].unique_id, 101u);
  EXPECT_EQ(entries[1].info[63], 0xFF);
  EXPECT_EQ(fake.requests.back().size, 2056u);

  UsbDeviceInfo info{};
  std::unique_ptr<UsbDeviceHandle> device = driver->OpenDevice(101, 0, 0, 0, info);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(fake.opened_id, 101u);
  EXPECT_EQ(info[28], 64);
  EXPECT_EQ(fake.requests.back().code, 0x953825A3u);
  EXPECT_EQ(fake.requests.back().size, 804u);

  // A transfer opens a handle of its own and closes it again.
  int closed_before = fake.closed;
  char data[5] = "BR\r";
  EXPECT_EQ(device->Transfer(0x02, false, data, 3, 30000, nullptr), 3);
  EXPECT_EQ(fake.requests.back().code, 0x9538259Fu);
  EXPECT_EQ(fake.requests.back().size, 48u);
  EXPECT_NE(fake.requests.back().handle, 1u);
  EXPECT_EQ(fake.closed, closed_before + 1);
  EXPECT_EQ(fake.last_transfer.device_handle, 77u);
  EXPECT_EQ(fake.last_transfer.pipe, 0x02u);
  EXPECT_EQ(fake.last_transfer.read, 0u);
  EXPECT_EQ(fake.last_transfer.timeout_ms, 30000u);
  const std::uint8_t setup[8] = {0x40, 0x03, 0x07, 0, 0, 0, 0, 0};
  EXPECT_EQ(device->Transfer(0x00, false, nullptr, 0, 1000, setup), 0);
  EXPECT_EQ(std::memcmp(fake.last_transfer.setup, setup, 8), 0);
  fake.transfer_succeeds = false;
  EXPECT_EQ(device->Transfer(0x82, true, data, 4, 1000, nullptr), -1);
  EXPECT_EQ(device->LastError().code, 31);
  EXPECT_EQ(device->Halt(0x82), 1);
  EXPECT_EQ(fake.last_transfer.options, 1u);
  EXPECT_EQ(fake.last_transfer.read, 0u);
  EXPECT_EQ(fake.last_transfer.buffer, 0u);

  EXPECT_TRUE(device->ResetPipe(0x82));
  EXPECT_EQ(fake.requests.back().code, 0x953825C7u);
  EXPECT_EQ(fake.requests.back().size, 12u);
  EXPECT_EQ(fake.requests.back().handle, 1u);  // the device's own driver handle
  fake.refuse_code = kPipeReset;
  EXPECT_FALSE(device->ResetPipe(0x02));
  EXPECT_EQ(device->ResetDevice(), 1);
  EXPECT_EQ(fake.requests.back().code, 0x953824FFu);
  EXPECT_EQ(fake.requests.back().size, 4u);

  device.reset();
  EXPECT_EQ(fake.requests.back().code, 0x953825C3u);
  EXPECT_EQ(fake.requests.back().size, 804u);
}

TEST(WinDriverUsb, DeviceWithoutHandleIsNotOpened) {
  FakeWinDriver fake;
  fake.device_handle = 0;
  auto system = MakeWinDriverUsb(fake);
  std::unique_ptr<UsbDriver> driver;
  ASSERT_EQ(system->OpenDriver(driver), UsbDriverStatus::kOpen);
  UsbDeviceInfo info{};
  EXPECT_EQ(driver->OpenDevice(0, 0, 0, 0, info), nullptr);
}

}  // namespace
}  // namespace vk605
