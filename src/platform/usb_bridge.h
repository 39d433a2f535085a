#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vk605 {

// The error the operating system or the USB library reported for the last failed request, kept for the
// diagnostics log: its number (errno, GetLastError, a libusb code) and its name.
struct UsbError {
  long code = 0;
  std::string name;
  bool gone = false;  // the device is no longer there (unplugged): no later request on it can succeed
};

inline constexpr std::size_t kUsbDeviceInfoSize = 644;
inline constexpr std::size_t kUsbScanInfoSize = 64;
using UsbDeviceInfo = std::array<std::uint8_t, kUsbDeviceInfoSize>;

// One device a scan lists: its unique id (nonzero, stable while it stays plugged in) and its information
// entry, whose last 32-bit word is 0xFFFFFFFF when the device can be used.
struct UsbScanEntry {
  std::uint32_t unique_id = 0;
  std::array<std::uint8_t, kUsbScanInfoSize> info{};
};

// One opened bridge. Pipes: 0x00 control, 0x02 bulk out, 0x82 bulk in.
class UsbDeviceHandle {
 public:
  virtual ~UsbDeviceHandle() = default;
  // One transfer on the pipe; setup (8 bytes) only for the control pipe. The bytes transferred, or -1.
  virtual long Transfer(std::uint32_t pipe, bool read, void* buffer, std::size_t size,
                        std::uint32_t timeout_ms, const std::uint8_t* setup) = 0;
  // Ends the pipe's current transfer. The driver's result (nonzero = done).
  virtual int Halt(std::uint32_t pipe) = 0;
  // False when the driver rejects the request.
  virtual bool ResetPipe(std::uint32_t pipe) = 0;
  // The driver's result (nonzero = done).
  virtual int ResetDevice() = 0;
  virtual UsbError LastError() const = 0;
};

// Device-event actions (a mask when registering).
inline constexpr std::uint32_t kUsbDeviceArrived = 0x1;
inline constexpr std::uint32_t kUsbDeviceLeft = 0x2;

// The words of a device event as the host receives it: handle, action, status, event id, bus type,
// reserved, options, vendor id, product id, unique id, version, match tables.
inline constexpr std::size_t kUsbEventWords = 12;
using UsbEventRecord = std::array<std::uint32_t, kUsbEventWords>;

// One device event: the action and the device it concerns. A driver that reports events as whole
// records hands its record on as well (has_record); the host then receives that record as it is.
struct UsbDeviceEvent {
  std::uint32_t action = 0;
  std::uint32_t vendor_id = 0;
  std::uint32_t product_id = 0;
  std::uint32_t unique_id = 0;
  bool has_record = false;
  UsbEventRecord record{};
};

// A registration for device events, read by one thread.
class UsbEventWatch {
 public:
  virtual ~UsbEventWatch() = default;
  // Blocks until the next event; false once Stop was called (from any thread).
  virtual bool Wait(UsbDeviceEvent& event) = 0;
  // Called on the waiting thread once the event from Wait was reported to the host, with the record as
  // the host's callback left it: a driver that wants some events back gets them here.
  virtual void Reported(const UsbDeviceEvent& event) { static_cast<void>(event); }
  virtual void Stop() = 0;
};

// One open handle to the bridge's driver.
class UsbDriver {
 public:
  virtual ~UsbDriver() = default;
  // The devices with these ids, in the driver's order; empty when there are none or the scan failed.
  virtual std::vector<UsbScanEntry> Scan(std::uint32_t vendor_id, std::uint32_t product_id) = 0;
  // Opens and claims the device; fills its information block (word 7: the bulk-in transfer size). Null
  // when it cannot be opened (LastError tells why).
  virtual std::unique_ptr<UsbDeviceHandle> OpenDevice(std::uint32_t unique_id, std::uint32_t configuration,
                                                      std::uint32_t interface_number, std::uint32_t alternate,
                                                      UsbDeviceInfo& info) = 0;
  virtual UsbError LastError() const = 0;
  // Registers for the actions (kUsbDeviceArrived, kUsbDeviceLeft) of devices with these ids (0: any
  // product, any unique id); null when the driver delivers no device events. The watch keeps what it
  // needs of the driver: it may outlive this handle.
  virtual std::unique_ptr<UsbEventWatch> WatchEvents(std::uint32_t actions, std::uint32_t vendor_id,
                                                     std::uint32_t product_id, std::uint32_t unique_id) {
    static_cast<void>(actions);
    static_cast<void>(vendor_id);
    static_cast<void>(product_id);
    static_cast<void>(unique_id);
    return nullptr;
  }
};

enum class UsbDriverStatus { kOpen, kCannotOpen, kWrongVersion };

class UsbSystem {
 public:
  virtual ~UsbSystem() = default;
  // Opens the driver and checks its version; driver is set only when the result is kOpen.
  virtual UsbDriverStatus OpenDriver(std::unique_ptr<UsbDriver>& driver) = 0;
};

// The system's USB access: libusb on POSIX, the bridge's kernel driver on Windows.
UsbSystem& SystemUsb();
// A system without the bridge's driver: every OpenDriver reports kCannotOpen.
UsbSystem& NoUsb();

}  // namespace vk605
