#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/serial_device.h"
#include "transport/link.h"
#include "transport/reply_matcher.h"

namespace vk605 {

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
  const std::atomic<bool>* cancel_;
};

// The serial-port link: open with the stored line settings and time-outs, purge, write, and read until
// the matcher says the reply is complete or the time-out passes.
class SerialPort final : public Link {
 public:
  SerialPort(SerialDevices& devices, Clock& clock, const ReplyMatcher& matcher);

  LinkResult Open() override { return OpenPort(port_name_, baud_rate_); }
  LinkResult Close() override { return ClosePort(); }
  bool IsOpen() const override { return IsPortOpen(); }
  // One attempt. A read that times out after a good write still reports the write's kDone: the reply is
  // handed back as far as it arrived. Read-only: the read's result.
  LinkResult Exchange(const char* command, bool read_only, bool hold_open, char* reply) override;
  LinkResult ReadUnasked(char* reply) override { return ReadPort(reply); }

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

  // kDone, or kUnopenable when the device cannot be opened.
  LinkResult OpenPort(const std::string& name, std::uint32_t baud);
  LinkResult ClosePort();
  bool IsPortOpen() const { return handle_ != nullptr; }
  // True once the open line failed (hung up, vanished, or its state unreadable) until ClosePort: such a
  // port is closed after the exchange even when it is held open, so the next exchange opens it afresh.
  bool HasLineFailed() const { return line_failed_; }
  // kDone, or kFailed when the line state cannot be read.
  LinkResult WritePort(const char* text);
  // buffer holds kReplyBufferSize bytes. kDone complete; kFailed timed out, line failure or overflow;
  // kNoDevice no port.
  LinkResult ReadPort(char* buffer);

 private:
  Clock& clock_;
  SerialDevices& devices_;
  const ReplyMatcher& matcher_;
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
