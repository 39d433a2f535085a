#include "platform/windriver_usb.h"

#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vk605 {
namespace {

using namespace windriver;

// The driver's device as a script: each request is recorded with its handle (and a 48-byte record's
// words as sent), and answered from the fields below. Requests may come from several threads.
class FakeWinDriver final : public WinDriverDevice {
 public:
  struct Request {
    std::uintptr_t handle;
    std::uint32_t code;
    std::uint32_t size;
    std::array<std::uint32_t, 12> sent;
  };

  void* Open() override {
    std::lock_guard<std::mutex> lock(mutex);
    if (!present) return nullptr;
    ++opened;
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(opened));
  }
  void Close(void*) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++closed;
  }
  bool Control(void* handle, std::uint32_t code, void* record, std::uint32_t size) override {
    std::unique_lock<std::mutex> lock(mutex);
    Request request{reinterpret_cast<std::uintptr_t>(handle), code, size, {}};
    if (size == 48) std::memcpy(request.sent.data(), record, 48);
    requests.push_back(request);
    changed.notify_all();
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
      case kEventRegister:
        static_cast<EventRecord*>(record)->handle = event_handle;
        return true;
      case kInterruptEnable:
        static_cast<InterruptRecord*>(record)->enabled = interrupt_enabled;
        return true;
      case kInterruptDisable:
        disabled = true;
        changed.notify_all();
        return true;
      case kInterruptWait: {
        // With the script used up the wait blocks until the interrupt is disabled.
        if (wait_statuses.empty()) {
          changed.wait(lock, [&] { return disabled; });
          static_cast<InterruptRecord*>(record)->status = kInterruptStopped;
          return true;
        }
        static_cast<InterruptRecord*>(record)->status = wait_statuses.front();
        wait_statuses.pop_front();
        return true;
      }
      case kEventPull:
        if (pending.empty()) return false;
        *static_cast<EventRecord*>(record) = pending.front();
        pending.pop_front();
        return true;
      default:
        return true;
    }
  }
  // The requests with this code, in order.
  std::vector<Request> RequestsOf(std::uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Request> found;
    for (const Request& request : requests)
      if (request.code == code) found.push_back(request);
    return found;
  }
  long LastError() override { return 31; }

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
  std::uint32_t event_handle = 0x51;
  std::uint32_t interrupt_enabled = 1;
  std::deque<std::uint32_t> wait_statuses;
  std::deque<EventRecord> pending;
  bool disabled = false;
  std::vector<Request> requests;
  std::mutex mutex;
  std::condition_variable changed;
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

std::unique_ptr<UsbDriver> OpenFakeDriver(UsbSystem& system) {
  std::unique_ptr<UsbDriver> driver;
  EXPECT_EQ(system.OpenDriver(driver), UsbDriverStatus::kOpen);
  return driver;
}

EventRecord PendingEvent(std::uint32_t action, std::uint32_t options) {
  EventRecord event{};
  event.handle = 0x51;
  event.action = action;
  event.status = 3;
  event.event_id = 9;
  event.bus_type = kUsbBus;
  event.options = options;
  event.vendor_id = 0x0971;
  event.product_id = 0x2007;
  event.unique_id = 0x0305;
  event.version = 7;
  event.match_tables = 2;
  return event;
}

// The bridge's kernel driver as a fake, opened.
class WinDriverEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    driver = OpenFakeDriver(*system);
    ASSERT_NE(driver, nullptr);
  }

  FakeWinDriver fake;
  std::unique_ptr<UsbSystem> system = MakeWinDriverUsb(fake);
  std::unique_ptr<UsbDriver> driver;
};

TEST_F(WinDriverEvents, RegistersTheEventRecordThenEnablesItsInterrupt) {
  std::unique_ptr<UsbEventWatch> watch = driver->WatchEvents(3, 0x0971, 0x2007, 0x0305);
  ASSERT_NE(watch, nullptr);
  ASSERT_EQ(fake.requests.size(), 3u);
  EXPECT_EQ(fake.requests[1].code, 0x95382587u);
  EXPECT_EQ(fake.requests[1].size, 48u);
  EXPECT_EQ(fake.requests[1].handle, 1u);
  EXPECT_EQ(fake.requests[1].sent,
            (std::array<std::uint32_t, 12>{0, 3, 0, 0, 0xFFFFFFFE, 0, 0, 0x0971, 0x2007, 0x0305, 0, 0}));
  EXPECT_EQ(fake.requests[2].code, 0x9538247Bu);
  EXPECT_EQ(fake.requests[2].size, 48u);
  EXPECT_EQ(fake.requests[2].handle, 1u);
  EXPECT_EQ(fake.requests[2].sent[0], 0x51u);
  // The watch keeps the driver's handle: closing the driver leaves it open.
  driver.reset();
  EXPECT_EQ(fake.closed, 0);
}

TEST_F(WinDriverEvents, NoEventWithoutHandleOrWithoutConfirmedInterrupt) {
  fake.event_handle = 0;
  EXPECT_EQ(driver->WatchEvents(1, 0x0971, 0, 0), nullptr);
  EXPECT_EQ(fake.requests.back().code, kEventRegister);
  fake.event_handle = 0x51;
  fake.refuse_code = kEventRegister;
  EXPECT_EQ(driver->WatchEvents(1, 0x0971, 0, 0), nullptr);
  EXPECT_EQ(fake.requests.back().code, kEventRegister);
  EXPECT_EQ(driver->LastError().code, 31);
  EXPECT_TRUE(fake.RequestsOf(kInterruptEnable).empty());
  EXPECT_TRUE(fake.RequestsOf(kEventUnregister).empty());

  // An interrupt the driver does not confirm, or a refused enable: the event is unregistered again.
  fake.refuse_code = 0;
  fake.interrupt_enabled = 0;
  EXPECT_EQ(driver->WatchEvents(1, 0x0971, 0, 0), nullptr);
  fake.interrupt_enabled = 1;
  fake.refuse_code = kInterruptEnable;
  EXPECT_EQ(driver->WatchEvents(1, 0x0971, 0, 0), nullptr);
  std::vector<FakeWinDriver::Request> unregistered = fake.RequestsOf(0x9538258B);
  ASSERT_EQ(unregistered.size(), 2u);
  EXPECT_EQ(unregistered[0].size, 48u);
  EXPECT_EQ(unregistered[0].handle, 1u);
  EXPECT_EQ(unregistered[0].sent[0], 0x51u);
  EXPECT_EQ(unregistered[0].sent[4], 0xFFFFFFFEu);
  EXPECT_EQ(fake.requests.back().code, kEventUnregister);
  EXPECT_TRUE(fake.RequestsOf(kInterruptDisable).empty());
}

TEST_F(WinDriverEvents, WaitPullsThePendingEventAndSendsBackWhatAsksForIt) {
  std::unique_ptr<UsbEventWatch> watch = driver->WatchEvents(3, 0x0971, 0, 0);
  ASSERT_NE(watch, nullptr);
  // A wake-up without an event pulls nothing; the next one pulls the event.
  fake.wait_statuses = {2, 0, 0, 1};
  fake.pending = {PendingEvent(kUsbDeviceArrived, 0), PendingEvent(0, 1)};
  int closed_before = fake.closed;
  UsbDeviceEvent event;
  ASSERT_TRUE(watch->Wait(event));
  std::vector<FakeWinDriver::Request> waits = fake.RequestsOf(0x9538252F);
  ASSERT_EQ(waits.size(), 2u);
  EXPECT_EQ(waits[0].size, 48u);
  EXPECT_EQ(waits[0].sent[0], 0x51u);
  EXPECT_NE(waits[0].handle, 1u);  // a handle of its own, closed after each wait
  EXPECT_EQ(fake.closed, closed_before + 2);
  std::vector<FakeWinDriver::Request> pulls = fake.RequestsOf(0x9538258F);
  ASSERT_EQ(pulls.size(), 1u);
  EXPECT_EQ(pulls[0].size, 48u);
  EXPECT_EQ(pulls[0].handle, 1u);
  EXPECT_EQ(pulls[0].sent, (std::array<std::uint32_t, 12>{0x51, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(event.action, kUsbDeviceArrived);
  EXPECT_EQ(event.vendor_id, 0x0971u);
  EXPECT_EQ(event.product_id, 0x2007u);
  EXPECT_EQ(event.unique_id, 0x0305u);
  ASSERT_TRUE(event.has_record);
  EXPECT_EQ(event.record, (UsbEventRecord{0x51, 1, 3, 9, 0xFFFFFFFE, 0, 0, 0x0971, 0x2007, 0x0305, 7, 2}));
  // Options bit 0 clear: nothing goes back.
  watch->Reported(event);
  EXPECT_TRUE(fake.RequestsOf(kEventSend).empty());

  // An event without action still comes out; it asks to be sent back, and goes as the host left it.
  ASSERT_TRUE(watch->Wait(event));
  EXPECT_EQ(event.action, 0u);
  EXPECT_EQ(event.record[6], 1u);
  event.record[5] = 0xABCD;
  watch->Reported(event);
  std::vector<FakeWinDriver::Request> sent = fake.RequestsOf(0x953825EB);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].size, 48u);
  EXPECT_EQ(sent[0].handle, 1u);
  EXPECT_EQ(sent[0].sent, (std::array<std::uint32_t, 12>{0x51, 0, 3, 9, 0xFFFFFFFE, 0xABCD, 1, 0x0971, 0x2007,
                                                         0x0305, 7, 2}));
  // A record from another source is never sent.
  UsbDeviceEvent other;
  other.record[6] = 1;
  watch->Reported(other);
  EXPECT_EQ(fake.RequestsOf(kEventSend).size(), 1u);

  // Status 1: the interrupt stopped, the watch ends without pulling.
  EXPECT_FALSE(watch->Wait(event));
  EXPECT_EQ(fake.RequestsOf(kEventPull).size(), 2u);
}

TEST_F(WinDriverEvents, RefusedWaitEndsTheWatch) {
  std::unique_ptr<UsbEventWatch> watch = driver->WatchEvents(1, 0x0971, 0, 0);
  ASSERT_NE(watch, nullptr);
  fake.refuse_code = kInterruptWait;
  UsbDeviceEvent event;
  EXPECT_FALSE(watch->Wait(event));
  EXPECT_TRUE(fake.RequestsOf(kEventPull).empty());
}

TEST_F(WinDriverEvents, StopDisablesTheInterruptUnderABlockedWaitThenTheEventIsUnregistered) {
  std::unique_ptr<UsbEventWatch> watch = driver->WatchEvents(1, 0x0971, 0, 0);
  ASSERT_NE(watch, nullptr);
  driver.reset();
  bool waited = true;
  std::thread waiter([&] {
    UsbDeviceEvent event;
    waited = watch->Wait(event);
  });
  {
    std::unique_lock<std::mutex> lock(fake.mutex);
    fake.changed.wait(lock, [&] { return fake.requests.back().code == kInterruptWait; });
  }
  watch->Stop();
  waiter.join();
  EXPECT_FALSE(waited);
  std::vector<FakeWinDriver::Request> disabled = fake.RequestsOf(0x9538247F);
  ASSERT_EQ(disabled.size(), 1u);
  EXPECT_EQ(disabled[0].size, 48u);
  EXPECT_EQ(disabled[0].handle, 1u);
  EXPECT_EQ(disabled[0].sent[0], 0x51u);
  EXPECT_EQ(disabled[0].sent[8], 1u);  // the record the enable request confirmed
  EXPECT_TRUE(fake.RequestsOf(kEventUnregister).empty());
  // Stopped once; a later wait asks the driver nothing.
  watch->Stop();
  UsbDeviceEvent event;
  EXPECT_FALSE(watch->Wait(event));
  EXPECT_EQ(fake.RequestsOf(kInterruptDisable).size(), 1u);
  EXPECT_EQ(fake.RequestsOf(kInterruptWait).size(), 1u);
  int closed_before = fake.closed;
  watch.reset();
  ASSERT_EQ(fake.requests.back().code, 0x9538258Bu);
  EXPECT_EQ(fake.requests.back().size, 48u);
  EXPECT_EQ(fake.requests.back().sent[0], 0x51u);
  EXPECT_EQ(fake.requests.back().sent[7], 0x0971u);
  EXPECT_EQ(fake.RequestsOf(kInterruptDisable).size(), 1u);
  EXPECT_EQ(fake.closed, closed_before + 1);  // the driver's handle goes with the watch
}

}  // namespace
}  // namespace vk605
