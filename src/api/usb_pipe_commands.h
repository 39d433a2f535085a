#pragma once

#include <cstdint>

#include "platform/usb_bridge.h"
#include "transport/usb_pipes.h"
#include "vk605/vk605.h"

// The device record handed to hosts.
struct VK605UsbDevice {
  vk605::UsbPipeDevice pipes;
};

namespace vk605 {

// Bodies of the FT8U100AX pipe exports: the host's device and listen records on one side, the pipes of
// the transport layer on the other.
class UsbPipeCommands {
 public:
  explicit UsbPipeCommands(UsbSystem& system) : system_(system) {}

  int CountDevices(std::uint32_t vendor_id, std::uint32_t product_id);
  VK605UsbDevice* Open(std::uint32_t unique_id, std::uint32_t configuration, std::uint32_t interface_number,
                       std::uint32_t alternate);
  static void Close(VK605UsbDevice* device);
  static void GetDeviceInfo(VK605UsbDevice* device, void* info);
  // 1 with the handle stored in the record's first word; 0 with -1 stored.
  int GetDriverHandle(void* scan_record);
  // The transfer size of a listening pipe: word 7 of the device's information; 0 without a device.
  static unsigned TransferSize(VK605UsbDevice* device);
  static UsbPipeDevice* Pipes(VK605UsbDevice* device) { return device == nullptr ? nullptr : &device->pipes; }

  // Starts the listening thread on a record filled by the caller or by ListenPipe.
  static void* ListenToPipe(VK605ListenRecord* record);
  static unsigned long ListenHandler(VK605ListenRecord* record);
  static int CloseListening(VK605ListenRecord* record);

  // Registers the callback for the device events of the actions (kUsbDeviceArrived, kUsbDeviceLeft) and
  // ids (0: any product, any unique id) and starts the event thread; 1 with the registration stored in
  // the record, 0 when nothing was registered.
  int RegisterEvent(VK605UsbEventRegistration* record, std::uint32_t actions, std::uint32_t vendor_id,
                    std::uint32_t product_id, std::uint32_t unique_id, VK605UsbEventCallback callback);
  // Stops the registration's event thread, waits for it and frees the registration.
  static void UnregisterEvent(VK605UsbEventRegistration* record);

 private:
  UsbSystem& system_;
};

}  // namespace vk605
