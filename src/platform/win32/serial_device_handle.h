#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/serial_device.h"
#include "platform/win32/unique_handle.h"

namespace vk605 {

// An open COM port, opened for synchronous I/O without sharing.
class Win32SerialHandle final : public SerialHandle {
 public:
  explicit Win32SerialHandle(UniqueHandle handle);
  Win32SerialHandle(const Win32SerialHandle&) = delete;
  Win32SerialHandle& operator=(const Win32SerialHandle&) = delete;

  bool GetLineSettings(LineSettings& out) override;
  bool SetLineSettings(const LineSettings& settings) override;
  bool SetTimeouts(const PortTimeouts& timeouts) override;
  bool SetQueueSizes(std::uint32_t input, std::uint32_t output) override;
  bool SetEventMaskCharReceived(bool on) override;
  bool Purge(std::uint32_t flags) override;
  bool ClearDtr() override;
  bool ClearErrors(std::size_t& input_waiting, bool& output_empty) override;
  bool Write(const char* data, std::size_t length) override;
  long Read(char* buffer, std::size_t capacity) override;
  bool WaitForInput(std::uint32_t timeout_ms) override;

 private:
  UniqueHandle handle_;
};

}  // namespace vk605
