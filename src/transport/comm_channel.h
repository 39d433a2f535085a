#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/named_mutex.h"
#include "transport/usb_link.h"

namespace vk605 {

// The one channel to the instrument. Transact sends one command and collects its reply under
// "UniCommMutex", opening and closing the port around the exchange unless it is held open.
class CommChannel : public UsbLink {
 public:
  CommChannel(SerialDevices& devices, Clock& clock, DiagnosticsLog& log);

  // reply holds kReplyBufferSize bytes. An empty command only reads. Results: 0, 2, 110.
  int Transact(const char* command, std::uint32_t timeout_ms, char* reply);
  // Transact with the reply's line count set under the same lock, so threads sharing the channel (a
  // trigger's worker and the next measurement) never complete a reply by another exchange's count.
  int Transact(const char* command, std::uint32_t timeout_ms, std::uint32_t reply_lines, char* reply);
  // The configuration step's test open (closed again unless the port is held open), under the channel's
  // lock like every exchange: with the port shared between processes, another one's exchange may have it
  // open. 0, or 111 when the device cannot be opened or the system-wide lock cannot be had (traced).
  int TestOpenPort(const std::string& name, std::uint32_t baud);
  // One read of what the instrument sends unasked, on the serial port as it is. It keeps this process's
  // other exchanges out (it can neither take the reply of another thread's exchange nor use the port
  // while that one closes it) but not other processes': "UniCommMutex" is not held while it waits.
  int ReadUnasked(std::uint32_t timeout_ms, std::uint32_t reply_lines, char* reply);
  // Hold-port-open changed under the channel's lock, for threads other than the exchanging one.
  void SetHoldPortOpenLocked(int hold);

 private:
  NamedMutex mutex_;
  // This process's exchanges and unasked reads; taken inside mutex_ by Transact.
  std::recursive_mutex local_;
};

}  // namespace vk605
