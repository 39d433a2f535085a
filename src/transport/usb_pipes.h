#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vk605 {

// The FT8U100AX pipe library's device side. It reaches the bridge through the WinDriver kernel driver; a
// build without that driver finds no device: every open fails, transfers report -1 and the failure texts
// land in the library's error text.
class UsbPipes {
 public:
  // Size of the text buffer ProcessData fills, its terminating zero included.
  static constexpr std::size_t kTextSize = 8192;

  static int CountDevices(std::uint32_t vendor_id, std::uint32_t product_id);
  // True when a device was opened; without the kernel driver never.
  static bool Open(std::uint32_t unique_id, std::uint32_t configuration, std::uint32_t interface_number,
                   std::uint32_t alternate);
  static int Transfer();
  static int PurgeTransmitBuffer(bool has_device);
  static int GetDriverHandle(void* scan_record);
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
