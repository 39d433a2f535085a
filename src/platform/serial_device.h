#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vk605 {

// Line settings of a serial port, in the Win32 DCB terms the driver was designed around.
struct LineSettings {
  std::uint32_t baud_rate = 9600;
  std::uint8_t byte_size = 8;
  std::uint8_t parity = 0;     // 0 none, 1 odd, 2 even
  std::uint8_t stop_bits = 0;  // 0 one, 1 one and a half, 2 two
  std::uint32_t flags = 0;     // DCB flag word
  std::uint16_t xon_limit = 0;
  std::uint16_t xoff_limit = 0;
};

struct PortTimeouts {
  std::uint32_t read_interval = 5;
  std::uint32_t read_total_multiplier = 5;
  std::uint32_t read_total_constant = 0;
  std::uint32_t write_total_multiplier = 50;
  std::uint32_t write_total_constant = 0;
};

// Purge flags (Win32 values).
inline constexpr std::uint32_t kPurgeTxAbort = 0x1;
inline constexpr std::uint32_t kPurgeRxAbort = 0x2;
inline constexpr std::uint32_t kPurgeTxClear = 0x4;
inline constexpr std::uint32_t kPurgeRxClear = 0x8;

// One open serial device. Move-only ownership through unique_ptr; closing happens in the destructor.
class SerialHandle {
 public:
  virtual ~SerialHandle() = default;
  virtual bool GetLineSettings(LineSettings& out) = 0;
  virtual bool SetLineSettings(const LineSettings& settings) = 0;
  virtual bool SetTimeouts(const PortTimeouts& timeouts) = 0;
  virtual bool SetQueueSizes(std::uint32_t input, std::uint32_t output) = 0;
  virtual bool SetEventMaskCharReceived(bool on) = 0;
  virtual bool Purge(std::uint32_t flags) = 0;
  virtual bool ClearDtr() = 0;
  // Reads and clears the line's error state; reports the bytes waiting in the input queue and whether
  // the output queue is empty. False when the query fails (the device is gone).
  virtual bool ClearErrors(std::size_t& input_waiting, bool& output_empty) = 0;
  // Synchronous write of all bytes; false on failure.
  virtual bool Write(const char* data, std::size_t length) = 0;
  // Returns at once with what has arrived, at most capacity bytes; -1 on failure. With null stripping on
  // in the line settings, received NUL bytes are discarded and not counted.
  virtual long Read(char* buffer, std::size_t capacity) = 0;
  // Blocks until input arrives or timeout_ms passes, without using the processor. False on a failure
  // of the device (hang-up).
  virtual bool WaitForInput(std::uint32_t timeout_ms) = 0;
};

class SerialDevices {
 public:
  virtual ~SerialDevices() = default;
  // Opens the named device exclusively for reading and writing; null when it cannot be opened. On POSIX,
  // "COMn:" and "COMn" name /dev/ttyS<n-1>; other names are device paths.
  virtual std::unique_ptr<SerialHandle> Open(const std::string& name) = 0;
};

SerialDevices& SystemSerialDevices();

}  // namespace vk605
