#pragma once

#include <cstdint>

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

 private:
  NamedMutex mutex_;
};

}  // namespace vk605
