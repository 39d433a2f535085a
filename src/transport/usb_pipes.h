#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/usb_bridge.h"

namespace vk605 {

// One opened bridge: the driver handle it was opened through, the device and its information block.
struct UsbPipeDevice {
  std::unique_ptr<UsbDriver> driver;
  std::unique_ptr<UsbDeviceHandle> handle;
  UsbDeviceInfo info{};
};

// The bridge's pipes.
inline constexpr std::uint32_t kControlPipe = 0x00;
inline constexpr std::uint32_t kBulkOutPipe = 0x02;
inline constexpr std::uint32_t kBulkInPipe = 0x82;
inline constexpr std::uint32_t kBridgeVendorId = 0x0971;

// The FT8U100AX pipe library over the system's USB access. Transfers return the bytes transferred or -1;
// the failure texts of counting and opening land in the library's error text.
class UsbPipes {
 public:
  // Size of the text buffer ProcessData fills, its terminating zero included.
  static constexpr std::size_t kTextSize = 8192;
  static constexpr std::uint32_t kReadPipe00TimeoutMs = 300000;
  static constexpr std::uint32_t kWritePipe00TimeoutMs = 1000;
  static constexpr std::uint32_t kReadPipe82TimeoutMs = 1000;
  static constexpr std::uint32_t kWritePipe02TimeoutMs = 30000;

  static int CountDevices(UsbSystem& system, std::uint32_t vendor_id, std::uint32_t product_id);
  // Null when the device cannot be opened; then why (when given) receives the driver's reason.
  static std::unique_ptr<UsbPipeDevice> Open(UsbSystem& system, std::uint32_t unique_id,
                                             std::uint32_t configuration, std::uint32_t interface_number,
                                             std::uint32_t alternate, UsbError* why = nullptr);
  // Opens the driver and checks its version; on failure prints why to the standard output and leaves
  // driver empty. The status either way.
  static UsbDriverStatus OpenDriver(UsbSystem& system, std::unique_ptr<UsbDriver>& driver);

  static int ReadPipe00(UsbPipeDevice* device, void* buffer, std::size_t size, const std::uint8_t* setup);
  static int WritePipe00(UsbPipeDevice* device, void* buffer, std::size_t size, const std::uint8_t* setup);
  static int ReadPipe82(UsbPipeDevice* device, void* buffer, std::size_t size);
  static int WritePipe02(UsbPipeDevice* device, const void* buffer, std::size_t size);
  static int StopTransfer(UsbPipeDevice* device, std::uint32_t pipe);
  // 1, or -1 when the driver rejects the request (or there is no device).
  static int ResetPipe(UsbPipeDevice* device, std::uint32_t pipe);
  static int ResetDevice(UsbPipeDevice* device);
  // 0 after sending the purge request; 1 without a device.
  static int PurgeTransmitBuffer(UsbPipeDevice* device);
  // The error of the device's last failed request, for the diagnostics log.
  static UsbError LastError(const UsbPipeDevice* device);

  // Copies the bytes of one transfer up to the first zero into text (kTextSize bytes at most).
  static int ProcessData(const void* data, unsigned count, char* text);
  static std::string ErrorText();
};

// The reply a listening pipe collects: the text of every transfer after the bridge's status bytes,
// complete once it ends with '>'.
class PipeReply {
 public:
  void AddTransfer(const char* text);
  [[nodiscard]] bool IsComplete() const { return !text_.empty() && text_.back() == '>'; }
  [[nodiscard]] const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace vk605
