#pragma once

#include <string>
#include <vector>

namespace vk605::tool {

// A USB bridge of the instrument's vendor (0971), which the driver uses when the port is USB.
struct UsbBridge {
  std::string node;         // /dev/bus/usb/BBB/DDD, the node libusb opens
  std::string usb_id;       // vendor:product
  std::string description;  // manufacturer and product
  std::string usb_serial;
  std::string sysfs;        // the device's directory under /sys/bus/usb/devices
  bool accessible = false;  // this user may open the node for reading and writing
};

// The bridges the kernel lists, in the order of their sysfs names.
std::vector<UsbBridge> FindUsbBridges();
// True for the port name that selects the USB bridge ("USB" in any case).
bool IsUsbPort(const std::string& port);

}  // namespace vk605::tool
