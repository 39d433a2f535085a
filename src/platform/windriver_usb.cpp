#include "platform/windriver_usb.h"

#include <atomic>
#include <cstring>
#include <string>

namespace vk605 {

namespace {

using namespace windriver;

UsbError ErrorOf(WinDriverDevice& device) {
  long code = device.LastError();
  return UsbError{code, "system error " + std::to_string(code), false};
}

// A handle to the driver, closed when it goes.
class DriverHandle {
 public:
  explicit DriverHandle(WinDriverDevice& device) : device_(device), handle_(device.Open()) {}
  ~DriverHandle() {
    if (handle_ != nullptr) device_.Close(handle_);
  }
  DriverHandle(const DriverHandle&) = delete;
  DriverHandle& operator=(const DriverHandle&) = delete;
  void* Get() const { return handle_; }

 private:
  WinDriverDevice& device_;
  void* handle_;
};

class WinDriverDeviceHandle final : public UsbDeviceHandle {
 public:
  WinDriverDeviceHandle(WinDriverDevice& device, std::shared_ptr<DriverHandle> driver, std::uint32_t handle)
      : device_(device), driver_(std::move(driver)), handle_(handle) {}
  ~WinDriverDeviceHandle() override {
    OpenRecord record{};
    record.device_handle = handle_;
    static_cast<void>(device_.Control(driver_->Get(), kClose, &record, kOpenSize));
  }

  // Each transfer has a driver handle of its own, so transfers of different threads never share one.
  long Transfer(std::uint32_t pipe, bool read, void* buffer, std::size_t size, std::uint32_t timeout_ms,
                const std::uint8_t* setup) override {
    TransferRecord record{};
    record.device_handle = handle_;
    record.pipe = pipe;
    record.read = read ? 1 : 0;
    record.buffer = reinterpret_cast<std::uintptr_t>(buffer);
    record.size = static_cast<std::uint32_t>(size);
    record.timeout_ms = timeout_ms;
    if (setup != nullptr) std::memcpy(record.setup, setup, sizeof record.setup);
    DriverHandle own(device_);
    if (own.Get() == nullptr || !device_.Control(own.Get(), kTransfer, &record, kTransferSize) ||
        record.success == 0) {
      error_ = ErrorOf(device_);
      return -1;
    }
    return static_cast<long>(record.transferred);
  }

  int Halt(std::uint32_t pipe) override {
    TransferRecord record{};
    record.device_handle = handle_;
    record.pipe = pipe;
    record.options = 1;
    DriverHandle own(device_);
    return own.Get() != nullptr && device_.Control(own.Get(), kTransfer, &record, kTransferSize) ? 1 : 0;
  }

  bool ResetPipe(std::uint32_t pipe) override {
    std::uint32_t record[3] = {handle_, pipe, 0};
    if (device_.Control(driver_->Get(), kPipeReset, record, kPipeResetSize)) return true;
    error_ = ErrorOf(device_);
    return false;
  }

  int ResetDevice() override {
    std::uint32_t record = handle_;
    return device_.Control(driver_->Get(), kDeviceReset, &record, kDeviceResetSize) ? 1 : 0;
  }

  UsbError LastError() const override { return error_; }

 private:
  WinDriverDevice& device_;
  std::shared_ptr<DriverHandle> driver_;
  std::uint32_t handle_;
  UsbError error_;
};

UsbDeviceEvent EventOf(const EventRecord& record) {
  UsbDeviceEvent event;
  event.action = record.action;
  event.vendor_id = record.vendor_id;
  event.product_id = record.product_id;
  event.unique_id = record.unique_id;
  event.has_record = true;
  std::memcpy(event.record.data(), &record, sizeof record);
  return event;
}

// A registered device event and its interrupt. The interrupt's wait blocks until the driver has an
// event or the interrupt is disabled, so it goes through a driver handle of its own: requests on one
// handle may be served one after the other, and Stop's disable must not queue behind the wait.
class WinDriverEventWatch final : public UsbEventWatch {
 public:
  WinDriverEventWatch(WinDriverDevice& device, std::shared_ptr<DriverHandle> driver, const EventRecord& event)
      : device_(device), driver_(std::move(driver)), event_(event) {}
  ~WinDriverEventWatch() override {
    if (enabled_) Stop();
    EventRecord record = event_;
    static_cast<void>(device_.Control(driver_->Get(), kEventUnregister, &record, kEventSize));
  }

  // The interrupt-enable request; false when the driver does not confirm it.
  bool Enable() {
    InterruptRecord record{};
    record.handle = event_.handle;
    if (!device_.Control(driver_->Get(), kInterruptEnable, &record, kInterruptSize) || record.enabled == 0) {
      return false;
    }
    interrupt_ = record;
    enabled_ = true;
    return true;
  }

  bool Wait(UsbDeviceEvent& event) override {
    while (!stopped_.load()) {
      InterruptRecord wait = interrupt_;
      DriverHandle own(device_);
      // A wait the driver refuses would be refused again at once: it ends the watch.
      if (own.Get() == nullptr || !device_.Control(own.Get(), kInterruptWait, &wait, kInterruptSize))
        return false;
      if (wait.status == kInterruptStopped) return false;
      if (wait.status == kInterruptNoEvent) continue;
      EventRecord pulled{};
      pulled.handle = event_.handle;
      if (!device_.Control(driver_->Get(), kEventPull, &pulled, kEventSize)) continue;
      event = EventOf(pulled);
      return true;
    }
    return false;
  }

  void Reported(const UsbDeviceEvent& event) override {
    if (!event.has_record || (event.record[6] & kEventSendBack) == 0) return;
    EventRecord record{};
    std::memcpy(&record, event.record.data(), sizeof record);
    static_cast<void>(device_.Control(driver_->Get(), kEventSend, &record, kEventSize));
  }

  void Stop() override {
    if (stopped_.exchange(true)) return;
    InterruptRecord record = interrupt_;
    static_cast<void>(device_.Control(driver_->Get(), kInterruptDisable, &record, kInterruptSize));
  }

 private:
  WinDriverDevice& device_;
  std::shared_ptr<DriverHandle> driver_;
  const EventRecord event_;
  InterruptRecord interrupt_{};
  bool enabled_ = false;
  std::atomic<bool> stopped_{false};
};

class WinDriverDriver final : public UsbDriver {
 public:
  WinDriverDriver(WinDriverDevice& device, std::shared_ptr<DriverHandle> driver)
      : device_(device), driver_(std::move(driver)) {}

  std::vector<UsbScanEntry> Scan(std::uint32_t vendor_id, std::uint32_t product_id) override {
    auto record = std::make_unique<ScanRecord>();
    std::memset(record.get(), 0, sizeof(ScanRecord));
    record->vendor_id = vendor_id;
    record->product_id = product_id;
    std::vector<UsbScanEntry> entries;
    if (!device_.Control(driver_->Get(), kScan, record.get(), kScanSize)) {
      error_ = ErrorOf(device_);
      return entries;
    }
    std::size_t count = record->count < kScanEntries ? record->count : kScanEntries;
    for (std::size_t i = 0; i < count; ++i) {
      UsbScanEntry entry;
      entry.unique_id = record->entries[i].unique_id;
      std::memcpy(entry.info.data(), record->entries[i].info, entry.info.size());
      entries.push_back(entry);
    }
    return entries;
  }

  std::unique_ptr<UsbDeviceHandle> OpenDevice(std::uint32_t unique_id, std::uint32_t configuration,
                                              std::uint32_t interface_number, std::uint32_t alternate,
                                              UsbDeviceInfo& info) override {
    auto record = std::make_unique<OpenRecord>();
    std::memset(record.get(), 0, sizeof(OpenRecord));
    record->unique_id = unique_id;
    record->configuration = configuration;
    record->interface_number = interface_number;
    record->alternate = alternate;
    if (!device_.Control(driver_->Get(), kOpen, record.get(), kOpenSize) || record->device_handle == 0) {
      error_ = ErrorOf(device_);
      return nullptr;
    }
    std::memcpy(info.data(), record->info, info.size());
    return std::make_unique<WinDriverDeviceHandle>(device_, driver_, record->device_handle);
  }

  UsbError LastError() const override { return error_; }

  std::unique_ptr<UsbEventWatch> WatchEvents(std::uint32_t actions, std::uint32_t vendor_id,
                                             std::uint32_t product_id, std::uint32_t unique_id) override {
    EventRecord event{};
    event.action = actions;
    event.bus_type = kUsbBus;
    event.vendor_id = vendor_id;
    event.product_id = product_id;
    event.unique_id = unique_id;
    if (!device_.Control(driver_->Get(), kEventRegister, &event, kEventSize) || event.handle == 0) {
      error_ = ErrorOf(device_);
      return nullptr;
    }
    // From here on the watch unregisters the event when it goes, also when the interrupt cannot be
    // enabled.
    auto watch = std::make_unique<WinDriverEventWatch>(device_, driver_, event);
    if (!watch->Enable()) {
      error_ = ErrorOf(device_);
      return nullptr;
    }
    return watch;
  }

 private:
  WinDriverDevice& device_;
  std::shared_ptr<DriverHandle> driver_;
  UsbError error_;
};

class WinDriverSystem final : public UsbSystem {
 public:
  explicit WinDriverSystem(WinDriverDevice& device) : device_(device) {}

  UsbDriverStatus OpenDriver(std::unique_ptr<UsbDriver>& driver) override {
    driver.reset();
    auto handle = std::make_shared<DriverHandle>(device_);
    if (handle->Get() == nullptr) return UsbDriverStatus::kCannotOpen;
    std::uint32_t version[kVersionSize / 4] = {};
    if (!device_.Control(handle->Get(), kVersion, version, kVersionSize) || version[0] <= kTooOldVersion) {
      return UsbDriverStatus::kWrongVersion;
    }
    driver = std::make_unique<WinDriverDriver>(device_, std::move(handle));
    return UsbDriverStatus::kOpen;
  }

 private:
  WinDriverDevice& device_;
};

}  // namespace

std::unique_ptr<UsbSystem> MakeWinDriverUsb(WinDriverDevice& device) {
  return std::make_unique<WinDriverSystem>(device);
}

}  // namespace vk605
