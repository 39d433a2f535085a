#pragma once

#include <cstdint>
#include <memory>

#include "platform/usb_bridge.h"

namespace vk605 {

// The bridge maker's kernel driver, reached by control requests on handles to its device ("\\.\WINDRVR").
class WinDriverDevice {
 public:
  virtual ~WinDriverDevice() = default;
  // A new handle to the driver's device; null when it cannot be opened.
  virtual void* Open() = 0;
  virtual void Close(void* handle) = 0;
  // One control request: the record is sent and filled in place. False when the driver refuses it.
  virtual bool Control(void* handle, std::uint32_t code, void* record, std::uint32_t size) = 0;
  // The system's error of the last failed call.
  virtual long LastError() = 0;
};

// Control codes and record sizes of the driver's requests.
namespace windriver {
inline constexpr std::uint32_t kVersion = 0x95382443;
inline constexpr std::uint32_t kScan = 0x953825A7;
inline constexpr std::uint32_t kOpen = 0x953825A3;
inline constexpr std::uint32_t kClose = 0x953825C3;
inline constexpr std::uint32_t kPipeReset = 0x953825C7;
inline constexpr std::uint32_t kDeviceReset = 0x953824FF;
inline constexpr std::uint32_t kTransfer = 0x9538259F;
inline constexpr std::uint32_t kEventRegister = 0x95382587;
inline constexpr std::uint32_t kEventUnregister = 0x9538258B;
inline constexpr std::uint32_t kInterruptEnable = 0x9538247B;
inline constexpr std::uint32_t kInterruptDisable = 0x9538247F;
inline constexpr std::uint32_t kInterruptWait = 0x9538252F;
inline constexpr std::uint32_t kEventPull = 0x9538258F;
inline constexpr std::uint32_t kEventSend = 0x953825EB;
inline constexpr std::uint32_t kVersionSize = 104;
inline constexpr std::uint32_t kScanSize = 2056;
inline constexpr std::uint32_t kOpenSize = 804;
inline constexpr std::uint32_t kPipeResetSize = 12;
inline constexpr std::uint32_t kDeviceResetSize = 4;
inline constexpr std::uint32_t kTransferSize = 48;
inline constexpr std::uint32_t kEventSize = 48;
inline constexpr std::uint32_t kInterruptSize = 48;
// The bus type of USB devices in event records.
inline constexpr std::uint32_t kUsbBus = 0xFFFFFFFE;
// Interrupt-wait results (the interrupt record's status word).
inline constexpr std::uint32_t kInterruptStopped = 1;  // disabled: no more events come
inline constexpr std::uint32_t kInterruptNoEvent = 2;  // woken without a pending event
// Event options: bit 0 asks for the pulled event to be sent back to the driver.
inline constexpr std::uint32_t kEventSendBack = 0x1;
// The oldest driver version that is not usable.
inline constexpr std::uint32_t kTooOldVersion = 521;
inline constexpr std::size_t kScanEntries = 30;

// Records, 32-bit words in the driver's order.
struct ScanRecord {
  std::uint32_t vendor_id;
  std::uint32_t product_id;
  std::uint32_t count;
  struct Entry {
    std::uint32_t unique_id;
    std::uint8_t info[64];
  } entries[kScanEntries];
  std::uint32_t reserved;
};
struct OpenRecord {
  std::uint32_t unique_id;
  std::uint32_t configuration;
  std::uint32_t interface_number;
  std::uint32_t alternate;
  std::uint32_t device_handle;
  std::uint8_t info[644];
  std::uint8_t reserved[140];
};
struct TransferRecord {
  std::uint32_t device_handle;
  std::uint32_t pipe;
  std::uint32_t read;
  std::uint32_t options;  // 1: halt the pipe's current transfer
  std::uint64_t buffer;
  std::uint32_t size;
  std::uint32_t timeout_ms;
  std::uint32_t transferred;
  std::uint8_t setup[8];
  std::uint32_t success;
};
// A device event, word for word what the host's callback receives.
struct EventRecord {
  std::uint32_t handle;  // the event's handle, filled in by the register request
  std::uint32_t action;
  std::uint32_t status;
  std::uint32_t event_id;
  std::uint32_t bus_type;
  std::uint32_t reserved;
  std::uint32_t options;
  std::uint32_t vendor_id;
  std::uint32_t product_id;
  std::uint32_t unique_id;
  std::uint32_t version;
  std::uint32_t match_tables;
};
// The interrupt that signals a registered event's pending events.
struct InterruptRecord {
  std::uint32_t handle;  // the event's handle
  std::uint32_t options;
  std::uint64_t commands;
  std::uint32_t command_count;
  std::uint32_t reserved[3];
  std::uint32_t enabled;  // set by the enable request when the interrupt is on
  std::uint32_t counter;
  std::uint32_t lost;
  std::uint32_t status;  // set by the wait request: kInterruptStopped, kInterruptNoEvent, else an event
};
static_assert(sizeof(ScanRecord) == kScanSize);
static_assert(sizeof(EventRecord) == kEventSize);
static_assert(sizeof(EventRecord) == sizeof(UsbEventRecord));
static_assert(sizeof(InterruptRecord) == kInterruptSize);
static_assert(sizeof(OpenRecord) == kOpenSize);
static_assert(sizeof(TransferRecord) == kTransferSize);
}  // namespace windriver

// The USB system over that driver.
std::unique_ptr<UsbSystem> MakeWinDriverUsb(WinDriverDevice& device);

}  // namespace vk605
