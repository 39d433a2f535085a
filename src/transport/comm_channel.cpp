#include "transport/comm_channel.h"

#include <cstring>
#include <vector>

namespace vk605 {

namespace {

// The bridge's product id; nothing in the driver changes it.
constexpr std::uint32_t kUsbProductId = 0;
constexpr int kUsbAttempts = 3;

// One attempt. A read that times out after a good write still reports the write's 0: the reply is handed
// back as far as it arrived, and the caller's reply check reads a partial reply as not accepted.
int SerialExchange(CommChannel& channel, const char* command, bool read_only, char* reply) {
  int result = 2;
  if (channel.OpenPort(channel.GetPortName(), channel.GetLineBaudRate()) == 0) {
    if (read_only) {
      result = channel.ReadPort(reply);
    } else {
      result = channel.WritePort(command);
      if (result == 0) static_cast<void>(channel.ReadPort(reply));
    }
  }
  // A held port whose line failed (the instrument unplugged, the device gone) would fail every later
  // exchange; closed, the next exchange opens the device again.
  if (channel.GetHoldPortOpen() == 0 || channel.HasLineFailed()) static_cast<void>(channel.ClosePort());
  return result;
}

int UsbExchange(CommChannel& channel, const char* command, bool read_only, char* usb_reply) {
  int result = 2;
  if (channel.OpenUsb(kUsbProductId) == 0) {
    int attempts = read_only ? 1 : kUsbAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
      result = read_only ? 0 : channel.WriteUsb(command);
      if (result == 0) result = channel.ReadUsb(usb_reply);
      if (result == 0) break;
    }
  }
  if (channel.GetHoldPortOpen() == 0) static_cast<void>(channel.CloseUsb());
  return result;
}

}  // namespace

CommChannel::CommChannel(SerialDevices& devices, Clock& clock, DiagnosticsLog& log)
    : UsbLink(devices, clock, log), mutex_("UniCommMutex") {
  SetLinkType(static_cast<std::int32_t>(LinkType::kNone));
  SetTimeout(10000);
}

int CommChannel::Transact(const char* command, std::uint32_t timeout_ms, char* reply) {
  NamedMutexLock lock(mutex_);
  // Without the system-wide lock another process's exchange could meet this one on the instrument.
  if (!lock.Held() && static_cast<LinkType>(GetLinkType()) != LinkType::kNone) return 2;
  std::lock_guard<std::recursive_mutex> local(local_);
  std::vector<char> usb_reply(kReplyBufferSize, '\0');
  SetTimeout(timeout_ms);
  bool read_only = command == nullptr || command[0] == '\0';

  int result = 0;
  switch (static_cast<LinkType>(GetLinkType())) {
    case LinkType::kSerial:
      result = SerialExchange(*this, command, read_only, reply);
      break;
    case LinkType::kUsb:
      result = UsbExchange(*this, command, read_only, usb_reply.data());
      break;
    default:
      break;
  }

  // Only the USB path fills this buffer; a reply beginning "*" is the instrument reporting an error.
  if (usb_reply[0] == '*') return 110;
  if (usb_reply[0] != '\0') {
    std::size_t length = ::strnlen(usb_reply.data(), kReplyBufferSize - 1);
    std::memcpy(reply, usb_reply.data(), length);
    reply[length] = '\0';
  }
  return result;
}

int CommChannel::Transact(const char* command, std::uint32_t timeout_ms, std::uint32_t reply_lines,
                          char* reply) {
  NamedMutexLock lock(mutex_);
  std::lock_guard<std::recursive_mutex> local(local_);
  SetRequiredCount(reply_lines);
  return Transact(command, timeout_ms, reply);
}

int CommChannel::TestOpenPort(const std::string& name, std::uint32_t baud) {
  NamedMutexLock lock(mutex_);
  if (!lock.Held()) {
    log_.LogLine("No private directory for the instrument's lock file: the port is not opened.");
    return 111;
  }
  std::lock_guard<std::recursive_mutex> local(local_);
  int result = OpenPort(name, baud);
  if (result == 0 && GetHoldPortOpen() == 0) static_cast<void>(ClosePort());
  return result;
}

int CommChannel::ReadUnasked(std::uint32_t timeout_ms, std::uint32_t reply_lines, char* reply) {
  std::lock_guard<std::recursive_mutex> local(local_);
  SetTimeout(timeout_ms);
  SetRequiredCount(reply_lines);
  return ReadPort(reply);
}

void CommChannel::SetHoldPortOpenLocked(int hold) {
  std::lock_guard<std::recursive_mutex> local(local_);
  SetHoldPortOpen(hold);
}

}  // namespace vk605
