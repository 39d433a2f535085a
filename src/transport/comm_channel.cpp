#include "transport/comm_channel.h"

namespace vk605 {

CommChannel::CommChannel(SerialDevices& devices, Clock& clock, DiagnosticsLog& log)
    : CommChannel(devices, NoUsb(), clock, log) {}

CommChannel::CommChannel(SerialDevices& devices, UsbSystem& usb, Clock& clock, DiagnosticsLog& log)
    : log_(log), serial_(devices, clock, matcher_), usb_(usb, clock, log, matcher_), mutex_("UniCommMutex") {
  // A reply of the bridge ends with the instrument's prompt until the engine sets its own rule.
  matcher_.SetTerminator(">");
  SetLinkType(static_cast<std::int32_t>(LinkType::kNone));
  SetTimeout(10000);
}

Link* CommChannel::ActiveLink() {
  switch (static_cast<LinkType>(link_type_)) {
    case LinkType::kSerial:
      return &serial_;
    case LinkType::kUsb:
      return &usb_;
    default:
      return nullptr;
  }
}

int CommChannel::Transact(const char* command, std::uint32_t timeout_ms, char* reply) {
  NamedMutexLock lock(mutex_);
  // Without the system-wide lock another process's exchange could meet this one on the instrument.
  if (!lock.Held() && static_cast<LinkType>(GetLinkType()) != LinkType::kNone) return 2;
  std::lock_guard<std::recursive_mutex> local(local_);
  SetTimeout(timeout_ms);
  bool read_only = command == nullptr || command[0] == '\0';
  Link* link = ActiveLink();
  if (link == nullptr) return 0;
  return ToInt(link->Exchange(command, read_only, hold_port_open_ != 0, reply));
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
  // Without a link type the serial port is read as it is, as the trigger always did.
  Link* link = ActiveLink();
  if (link == nullptr) link = &serial_;
  return ToInt(link->ReadUnasked(reply));
}

void CommChannel::SetHoldPortOpenLocked(int hold) {
  std::lock_guard<std::recursive_mutex> local(local_);
  SetHoldPortOpen(hold);
}

int CommChannel::GetDefaultLineSettings(LineSettings& out) {
  if (static_cast<LinkType>(link_type_) == LinkType::kUsb) return 1;
  return serial_.GetDefaultLineSettings(out);
}

int CommChannel::OpenPort(const std::string& name, std::uint32_t baud) {
  switch (static_cast<LinkType>(link_type_)) {
    case LinkType::kUsb:
      return usb_.Open() == LinkResult::kDone ? 0 : ToInt(LinkResult::kUnopenable);
    case LinkType::kNone:
    case LinkType::kSerial:
    default:
      return ToInt(serial_.OpenPort(name, baud));
  }
}

// Both links: after the port name changed between a serial device and USB, the link used before is the
// one still open.
int CommChannel::ClosePort() {
  static_cast<void>(usb_.Close());
  return ToInt(serial_.ClosePort());
}

}  // namespace vk605
