#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/serial_device.h"
#include "transport/reply_matcher.h"

namespace vk605 {

// Size of every reply buffer, terminator included.
inline constexpr std::size_t kReplyBufferSize = 8192;

enum class LinkType : std::int32_t { kNone = 0, kSerial = 1, kUsb = 2 };

// For its lifetime, the reads of the constructing thread give up with result 2 as soon as cancel is true
// (they then wait for input in short steps): a worker whose result no one will take abandons its
// exchange instead of waiting out the time-out. Other threads' reads are not affected.
class ScopedReadCancel {
 public:
  explicit ScopedReadCancel(const std::atomic<bool>& cancel);
  ~ScopedReadCancel();
  ScopedReadCancel(const ScopedReadCancel&) = delete;
  ScopedReadCancel& operator=(const ScopedReadCancel&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

// The serial-port layer: open with the stored line settings and time-outs, purge, write, and read until
// the matcher says the reply is complete or the time-out passes.
class SerialPort : public ReplyMatcher {
 public:
  SerialPort(SerialDevices& devices, Clock& clock);

  void SetLinkType(std::int32_t type) { link_type_ = type; }
  std::int32_t GetLinkType() const { return link_type_; }
  void SetPortName(const std::string& name) { port_name_ = name; }
  const std::string& GetPortName() const { return port_name_; }
  void SetLineBaudRate(std::uint32_t baud) { baud_rate_ = baud; }
  std::uint32_t GetLineBaudRate() const { return baud_rate_; }
  void SetHoldPortOpen(std::int32_t hold) { hold_port_open_ = hold; }
  std::int32_t GetHoldPortOpen() const { return hold_port_open_; }
  void SetLineSettings(const LineSettings& settings);
  int SetPortTimeouts(std::uint32_t read_interval, std::uint32_t read_total_multiplier,
                      std::uint32_t read_total_constant, std::uint32_t write_total_multiplier,
                      std::uint32_t write_total_constant);
  int GetDefaultLineSettings(LineSettings& out);

  // 0, or 111 when the device cannot be opened.
  int OpenPort(const std::string& name, std::uint32_t baud);
  int ClosePort();
  bool IsPortOpen() const { return handle_ != nullptr; }
  // True once the open line failed (hung up, vanished, or its state unreadable) until ClosePort: such a
  // port is closed after the exchange even when it is held open, so the next exchange opens it afresh.
  bool HasLineFailed() const { return line_failed_; }
  // 0, or 2 when the line state cannot be read.
  int WritePort(const char* text);
  // buffer holds kReplyBufferSize bytes. 0 complete; 2 timed out, line failure or overflow; 31 no port.
  int ReadPort(char* buffer);

 protected:
  Clock& clock_;

 private:
  SerialDevices& devices_;
  std::int32_t link_type_ = 0;
  std::uint32_t baud_rate_ = 38400;
  std::string port_name_ = "COM1:";
  std::unique_ptr<SerialHandle> handle_;
  std::int32_t hold_port_open_ = 0;
  LineSettings line_settings_;
  bool line_settings_set_ = false;
  PortTimeouts timeouts_;
  bool line_failed_ = false;
};

}  // namespace vk605
