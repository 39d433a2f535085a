#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/named_mutex.h"
#include "platform/serial_device.h"
#include "platform/usb_bridge.h"
#include "transport/link.h"
#include "transport/reply_matcher.h"
#include "transport/serial_port.h"
#include "transport/usb_link.h"

namespace vk605 {

// The one channel to the instrument. It owns the reply matcher that decides when a reply is complete and
// the links to the instrument; the link type picks the one that carries an exchange. Transact sends one
// command and collects its reply under "UniCommMutex", opening and closing the link around the exchange
// unless it is held open.
class CommChannel {
 public:
  // Without a USB system: a USB link never finds a bridge.
  CommChannel(SerialDevices& devices, Clock& clock, DiagnosticsLog& log);
  CommChannel(SerialDevices& devices, UsbSystem& usb, Clock& clock, DiagnosticsLog& log);

  // reply holds kReplyBufferSize bytes. An empty command only reads. Results: 0, 2, 110.
  [[nodiscard]] int Transact(const char* command, std::uint32_t timeout_ms, char* reply);
  // Transact with the reply's line count set under the same lock, so threads sharing the channel (a
  // trigger's worker and the next measurement) never complete a reply by another exchange's count.
  [[nodiscard]] int Transact(const char* command, std::uint32_t timeout_ms, std::uint32_t reply_lines,
                             char* reply);
  // The configuration step's test open (closed again unless the port is held open), under the channel's
  // lock like every exchange: with the port shared between processes, another one's exchange may have it
  // open. 0, or 111 when the device cannot be opened or the system-wide lock cannot be had (traced).
  int TestOpenPort(const std::string& name, std::uint32_t baud);
  // One read of what the instrument sends unasked, on the active link as it is. It keeps this process's
  // other exchanges out (it can neither take the reply of another thread's exchange nor use the link
  // while that one closes it) but not other processes': "UniCommMutex" is not held while it waits.
  int ReadUnasked(std::uint32_t timeout_ms, std::uint32_t reply_lines, char* reply);
  // Hold-port-open changed under the channel's lock, for threads other than the exchanging one.
  void SetHoldPortOpenLocked(int hold);

  // The completion rule and the time-out of every read.
  void SetTerminator(const char* text) { matcher_.SetTerminator(text); }
  const char* GetTerminator() const { return matcher_.GetTerminator(); }
  void SetExpectedLength(std::uint32_t length) { matcher_.SetExpectedLength(length); }
  void SetRequiredCount(std::uint32_t count) { matcher_.SetRequiredCount(count); }
  void SetCountedText(const char* text) { matcher_.SetCountedText(text); }
  void SetTimeout(std::uint32_t ms) { matcher_.SetTimeout(ms); }
  std::uint32_t GetTimeout() const { return matcher_.GetTimeout(); }

  void SetLinkType(std::int32_t type) { link_type_ = type; }
  std::int32_t GetLinkType() const { return link_type_; }
  void SetHoldPortOpen(std::int32_t hold) { hold_port_open_ = hold; }
  std::int32_t GetHoldPortOpen() const { return hold_port_open_; }

  // Serial line settings; the USB bridge has its own fixed ones.
  void SetPortName(const std::string& name) { serial_.SetPortName(name); }
  const std::string& GetPortName() const { return serial_.GetPortName(); }
  void SetLineBaudRate(std::uint32_t baud) { serial_.SetLineBaudRate(baud); }
  std::uint32_t GetLineBaudRate() const { return serial_.GetLineBaudRate(); }
  void SetLineSettings(const LineSettings& settings) { serial_.SetLineSettings(settings); }
  int SetPortTimeouts(std::uint32_t read_interval, std::uint32_t read_total_multiplier,
                      std::uint32_t read_total_constant, std::uint32_t write_total_multiplier,
                      std::uint32_t write_total_constant) {
    return serial_.SetPortTimeouts(read_interval, read_total_multiplier, read_total_constant,
                                   write_total_multiplier, write_total_constant);
  }
  // 1 on the USB link, which has no serial device to ask.
  int GetDefaultLineSettings(LineSettings& out);

  // The configuration step's open of the active link: the named serial device (0 or 111), or the USB
  // bridge (0, or 111 when none can be opened). No link: 0.
  int OpenPort(const std::string& name, std::uint32_t baud);
  // Closes the links; 0.
  int ClosePort();
  bool IsPortOpen() const { return serial_.IsPortOpen(); }
  bool HasLineFailed() const { return serial_.HasLineFailed(); }

  // The USB link's operations, for tests and the configuration of its message boxes.
  UsbLink& Usb() { return usb_; }
  int OpenUsb(std::uint32_t product_id) { return ToInt(usb_.OpenUsb(product_id)); }
  int CloseUsb() { return ToInt(usb_.CloseUsb()); }
  int WriteUsb(const char* text) { return ToInt(usb_.WriteUsb(text)); }
  int ReadUsb(char* buffer) { return ToInt(usb_.ReadUsb(buffer)); }
  int ReadPort(char* buffer) { return ToInt(serial_.ReadPort(buffer)); }

 private:
  // The link of the link type; null for none or an unknown type.
  Link* ActiveLink();

  DiagnosticsLog& log_;
  ReplyMatcher matcher_;
  SerialPort serial_;
  UsbLink usb_;
  std::int32_t link_type_ = 0;
  std::int32_t hold_port_open_ = 0;
  NamedMutex mutex_;
  // This process's exchanges and unasked reads; taken inside mutex_ by Transact.
  std::recursive_mutex local_;
};

}  // namespace vk605
