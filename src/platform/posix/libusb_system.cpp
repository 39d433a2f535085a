#include <libusb.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/usb_bridge.h"

// The bridge through libusb-1.0 and the kernel's usbfs:
// - the "driver" is a libusb context; it is usable whenever libusb initialises;
// - a device's unique id is (bus number << 8) | device address, nonzero and unique while it stays plugged in;
// - product id 0 in a scan matches every product of the vendor; unique id 0 opens the first device of the
//   bridge's vendor;
// - a scan entry holds the device descriptor (18 bytes), bus and address, and ends with 0xFFFFFFFF when
//   the device's first configuration offers bulk endpoints 0x02 and 0x82;
// - the information block's words are vendor, product, bus, address, interface, bulk-out packet size,
//   configuration value and (word 7) the bulk-in packet size, the size of one IN transfer;
// - pipe 0x00 is the control endpoint (the setup packet as given), pipes 0x02 and 0x82 the bulk endpoints;
// - a kernel driver bound to the interface is detached while the interface is claimed;
// - a halt cannot cut a synchronous transfer short: it reports done and the transfer ends by its time-out;
// - device events are libusb hot-plug callbacks (on Linux libusb's udev or netlink monitor), delivered while
//   the event thread runs libusb's event loop in UsbEventWatch::Wait.

namespace vk605 {

namespace {

constexpr std::uint16_t kBridgeVendor = 0x0971;
constexpr std::uint32_t kUsableMark = 0xFFFFFFFF;

struct ContextDeleter {
  void operator()(libusb_context* context) const { libusb_exit(context); }
};
using Context = std::shared_ptr<libusb_context>;

struct DeviceListDeleter {
  void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*, DeviceListDeleter>;

UsbError ErrorOf(int code) {
  return UsbError{code, libusb_error_name(code), code == LIBUSB_ERROR_NO_DEVICE};
}

std::uint32_t UniqueIdOf(libusb_device* device) {
  return (std::uint32_t{libusb_get_bus_number(device)} << 8) | libusb_get_device_address(device);
}

void PutWord(std::uint8_t* bytes, std::size_t index, std::uint32_t value) {
  std::memcpy(bytes + index * sizeof value, &value, sizeof value);
}

// Packet sizes of the bridge's bulk endpoints in the first configuration; none when one is missing.
struct BulkEndpoints {
  std::uint16_t out_size = 0;
  std::uint16_t in_size = 0;
  std::uint8_t configuration = 0;
};

std::optional<BulkEndpoints> FindBulkEndpoints(libusb_device* device, std::uint32_t interface_number) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_config_descriptor(device, 0, &config) != 0 || config == nullptr) return std::nullopt;
  std::unique_ptr<libusb_config_descriptor, void (*)(libusb_config_descriptor*)> owned(
      config, libusb_free_config_descriptor);
  if (interface_number >= config->bNumInterfaces || config->interface[interface_number].num_altsetting < 1) {
    return std::nullopt;
  }
  const libusb_interface_descriptor& setting = config->interface[interface_number].altsetting[0];
  BulkEndpoints found;
  found.configuration = config->bConfigurationValue;
  for (int i = 0; i < setting.bNumEndpoints; ++i) {
    const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
    if ((endpoint.bmAttributes & 0x3) != LIBUSB_TRANSFER_TYPE_BULK) continue;
    if (endpoint.bEndpointAddress == 0x02) found.out_size = endpoint.wMaxPacketSize;
    if (endpoint.bEndpointAddress == 0x82) found.in_size = endpoint.wMaxPacketSize;
  }
  if (found.out_size == 0 || found.in_size == 0) return std::nullopt;
  return found;
}

class LibusbDeviceHandle final : public UsbDeviceHandle {
 public:
  LibusbDeviceHandle(Context context, libusb_device_handle* handle, int interface_number)
      : context_(std::move(context)), handle_(handle), interface_(interface_number) {}
  ~LibusbDeviceHandle() override {
    libusb_release_interface(handle_, interface_);
    libusb_close(handle_);
  }

  long Transfer(std::uint32_t pipe, bool read, void* buffer, std::size_t size, std::uint32_t timeout_ms,
                const std::uint8_t* setup) override {
    auto* data = static_cast<unsigned char*>(buffer);
    int length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    if (pipe == 0x00) {
      if (setup == nullptr || size > 0xFFFF) return Fail(LIBUSB_ERROR_INVALID_PARAM);
      int result = libusb_control_transfer(handle_, setup[0], setup[1],
                                           static_cast<std::uint16_t>(setup[2] | (setup[3] << 8)),
                                           static_cast<std::uint16_t>(setup[4] | (setup[5] << 8)), data,
                                           static_cast<std::uint16_t>(length), timeout_ms);
      return result < 0 ? Fail(result) : result;
    }
    unsigned char endpoint = read ? 0x82 : 0x02;
    if (pipe != endpoint) return Fail(LIBUSB_ERROR_INVALID_PARAM);
    int transferred = 0;
    int result = libusb_bulk_transfer(handle_, endpoint, data, length, &transferred, timeout_ms);
    return result != 0 ? Fail(result) : transferred;
  }

  int Halt(std::uint32_t) override { return 1; }

  bool ResetPipe(std::uint32_t pipe) override {
    if (pipe == 0x00) return true;
    int result = libusb_clear_halt(handle_, static_cast<unsigned char>(pipe));
    if (result != 0) Fail(result);
    return result == 0;
  }

  int ResetDevice() override {
    int result = libusb_reset_device(handle_);
    if (result != 0) Fail(result);
    return result == 0 ? 1 : 0;
  }

  UsbError LastError() const override { return error_; }

 private:
  long Fail(int code) {
    error_ = ErrorOf(code);
    return -1;
  }

  Context context_;
  libusb_device_handle* handle_;
  int interface_;
  UsbError error_;
};

// Hot-plug callbacks of one libusb context, queued for the thread that waits for them. libusb calls
// them from inside libusb_handle_events, which only Wait runs.
class LibusbEventWatch final : public UsbEventWatch {
 public:
  LibusbEventWatch(Context context, std::uint32_t unique_id)
      : context_(std::move(context)), unique_id_(unique_id) {}
  ~LibusbEventWatch() override {
    if (registered_) libusb_hotplug_deregister_callback(context_.get(), handle_);
  }

  bool Register(std::uint32_t actions, std::uint32_t vendor_id, std::uint32_t product_id) {
    int events = 0;
    if ((actions & kUsbDeviceArrived) != 0) events |= LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED;
    if ((actions & kUsbDeviceLeft) != 0) events |= LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
    if (events == 0 || libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0) return false;
    int vendor = vendor_id == 0 ? LIBUSB_HOTPLUG_MATCH_ANY : static_cast<int>(vendor_id & 0xFFFF);
    int product = product_id == 0 ? LIBUSB_HOTPLUG_MATCH_ANY : static_cast<int>(product_id & 0xFFFF);
    int result =
        libusb_hotplug_register_callback(context_.get(), events, 0, vendor, product, LIBUSB_HOTPLUG_MATCH_ANY,
                                         &LibusbEventWatch::OnHotplug, this, &handle_);
    registered_ = result == LIBUSB_SUCCESS;
    return registered_;
  }

  bool Wait(UsbDeviceEvent& event) override {
    for (;;) {
      if (stopped_.load()) return false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!events_.empty()) {
          event = events_.front();
          events_.pop_front();
          return true;
        }
      }
      // Blocks until libusb has an event or Stop interrupts it (libusb keeps an interrupt made before
      // the call pending; at worst the one-second time-out ends the wait).
      timeval timeout{1, 0};
      libusb_handle_events_timeout_completed(context_.get(), &timeout, nullptr);
    }
  }

  void Stop() override {
    stopped_.store(true);
    libusb_interrupt_event_handler(context_.get());
  }

 private:
  static int LIBUSB_CALL OnHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                                   void* user_data) {
    auto* self = static_cast<LibusbEventWatch*>(user_data);
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0) return 0;
    UsbDeviceEvent found;
    found.action = event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? kUsbDeviceArrived : kUsbDeviceLeft;
    found.vendor_id = descriptor.idVendor;
    found.product_id = descriptor.idProduct;
    found.unique_id = UniqueIdOf(device);
    if (self->unique_id_ != 0 && found.unique_id != self->unique_id_) return 0;
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->events_.push_back(found);
    return 0;
  }

  Context context_;
  std::uint32_t unique_id_;
  libusb_hotplug_callback_handle handle_ = 0;
  bool registered_ = false;
  std::mutex mutex_;
  std::deque<UsbDeviceEvent> events_;
  std::atomic<bool> stopped_{false};
};

class LibusbDriver final : public UsbDriver {
 public:
  explicit LibusbDriver(Context context) : context_(std::move(context)) {}

  std::vector<UsbScanEntry> Scan(std::uint32_t vendor_id, std::uint32_t product_id) override {
    std::vector<UsbScanEntry> entries;
    DeviceList list = Devices();
    if (list == nullptr) return entries;
    for (libusb_device** at = list.get(); *at != nullptr; ++at) {
      libusb_device_descriptor descriptor{};
      if (libusb_get_device_descriptor(*at, &descriptor) != 0) continue;
      if (descriptor.idVendor != vendor_id || (product_id != 0 && descriptor.idProduct != product_id))
        continue;
      UsbScanEntry entry;
      entry.unique_id = UniqueIdOf(*at);
      std::memcpy(entry.info.data(), &descriptor, sizeof descriptor < 18 ? sizeof descriptor : 18);
      entry.info[18] = libusb_get_bus_number(*at);
      entry.info[19] = libusb_get_device_address(*at);
      if (FindBulkEndpoints(*at, 0)) PutWord(entry.info.data(), kUsbScanInfoSize / 4 - 1, kUsableMark);
      entries.push_back(entry);
    }
    return entries;
  }

  std::unique_ptr<UsbDeviceHandle> OpenDevice(std::uint32_t unique_id, std::uint32_t,
                                              std::uint32_t interface_number, std::uint32_t alternate,
                                              UsbDeviceInfo& info) override {
    DeviceList list = Devices();
    if (list == nullptr) return nullptr;
    libusb_device* chosen = nullptr;
    libusb_device_descriptor descriptor{};
    for (libusb_device** at = list.get(); *at != nullptr && chosen == nullptr; ++at) {
      if (libusb_get_device_descriptor(*at, &descriptor) != 0) continue;
      if (unique_id != 0 ? UniqueIdOf(*at) == unique_id : descriptor.idVendor == kBridgeVendor) chosen = *at;
    }
    if (chosen == nullptr) {
      error_ = ErrorOf(LIBUSB_ERROR_NOT_FOUND);
      return nullptr;
    }
    std::optional<BulkEndpoints> endpoints = FindBulkEndpoints(chosen, interface_number);
    libusb_device_handle* handle = nullptr;
    int result = libusb_open(chosen, &handle);
    if (result != 0) {
      error_ = ErrorOf(result);
      return nullptr;
    }
    // Not every system lets a kernel driver be detached; claiming then tells whether the interface is free.
    static_cast<void>(libusb_set_auto_detach_kernel_driver(handle, 1));
    int interface = static_cast<int>(interface_number);
    result = libusb_claim_interface(handle, interface);
    if (result == 0 && alternate != 0) {
      result = libusb_set_interface_alt_setting(handle, interface, static_cast<int>(alternate));
      if (result != 0) libusb_release_interface(handle, interface);
    }
    if (result != 0) {
      error_ = ErrorOf(result);
      libusb_close(handle);
      return nullptr;
    }
    info.fill(0);
    PutWord(info.data(), 0, descriptor.idVendor);
    PutWord(info.data(), 1, descriptor.idProduct);
    PutWord(info.data(), 2, libusb_get_bus_number(chosen));
    PutWord(info.data(), 3, libusb_get_device_address(chosen));
    PutWord(info.data(), 4, interface_number);
    PutWord(info.data(), 5, endpoints ? endpoints->out_size : 0);
    PutWord(info.data(), 6, endpoints ? endpoints->configuration : 0);
    PutWord(info.data(), 7, endpoints ? endpoints->in_size : 0);
    return std::make_unique<LibusbDeviceHandle>(context_, handle, interface);
  }

  UsbError LastError() const override { return error_; }

  std::unique_ptr<UsbEventWatch> WatchEvents(std::uint32_t actions, std::uint32_t vendor_id,
                                             std::uint32_t product_id, std::uint32_t unique_id) override {
    auto watch = std::make_unique<LibusbEventWatch>(context_, unique_id);
    if (!watch->Register(actions, vendor_id, product_id)) return nullptr;
    return watch;
  }

 private:
  DeviceList Devices() {
    libusb_device** list = nullptr;
    ssize_t count = libusb_get_device_list(context_.get(), &list);
    if (count < 0) {
      error_ = ErrorOf(static_cast<int>(count));
      return nullptr;
    }
    return DeviceList(list);
  }

  Context context_;
  UsbError error_;
};

class LibusbSystem final : public UsbSystem {
 public:
  UsbDriverStatus OpenDriver(std::unique_ptr<UsbDriver>& driver) override {
    driver.reset();
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0 || context == nullptr) return UsbDriverStatus::kCannotOpen;
    driver = std::make_unique<LibusbDriver>(Context(context, ContextDeleter{}));
    return UsbDriverStatus::kOpen;
  }
};

}  // namespace

UsbSystem& SystemUsb() {
  static LibusbSystem system;
  return system;
}

}  // namespace vk605
