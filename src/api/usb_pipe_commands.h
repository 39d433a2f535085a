#pragma once

#include <cstdint>

#include "vk605/vk605.h"

namespace vk605 {

// Bodies of the FT8U100AX pipe exports: the host's device and listen records on one side, the pipes of
// the transport layer on the other.
class UsbPipeCommands {
 public:
  static int CountDevices(std::uint32_t vendor_id, std::uint32_t product_id);
  static VK605UsbDevice* Open(std::uint32_t unique_id, std::uint32_t configuration,
                              std::uint32_t interface_number, std::uint32_t alternate);
  static void Close(VK605UsbDevice* device);
  static int Transfer(VK605UsbDevice* device);
  static int PurgeTransmitBuffer(VK605UsbDevice* device);
  static int GetDriverHandle(void* scan_record);
  // Starts the listening thread on a record filled by the caller or by ListenPipe.
  static void* ListenToPipe(VK605ListenRecord* record);
  static unsigned long ListenHandler(VK605ListenRecord* record);
  static int CloseListening(VK605ListenRecord* record);
  static int ProcessData(const void* data, unsigned count, char* text);
};

}  // namespace vk605
