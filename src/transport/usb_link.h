#pragma once

#include <cstdint>

#include "diagnostics/diagnostics_log.h"
#include "transport/serial_port.h"

namespace vk605 {

// The USB layer of the channel. Without the bridge's kernel driver no device is ever found: OpenUsb
// reports 31 and logs "Failed to open USB connection".
class UsbLink : public SerialPort {
 public:
  UsbLink(SerialDevices& devices, Clock& clock, DiagnosticsLog& log);

  int OpenUsb(std::uint32_t product_id);
  int CloseUsb();
  int WriteUsb(const char* text);
  int ReadUsb(char* buffer);

 protected:
  DiagnosticsLog& log_;

 private:
  std::uint32_t product_id_ = 0;
};

}  // namespace vk605
