#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vk605::tool {

// A serial device that could reach the instrument, with what the system knows of it.
struct SerialCandidate {
  std::string path;         // /dev/ttyUSB0
  std::string by_id;        // /dev/serial/by-id/... link to it, if any
  std::string bus;          // "usb" or "platform"
  std::string usb_id;       // vendor:product, USB devices only
  std::string description;  // manufacturer and product, USB devices only
  std::string usb_serial;
  std::string kernel_driver;
  std::string group;        // group owning the device node
  bool accessible = false;  // this user may open it for reading and writing
};

// /dev/serial/by-id/*, ttyUSB*, ttyACM* and the ttyS* ports that have a UART behind them.
std::vector<SerialCandidate> FindSerialCandidates();
// The device the driver opens for a PORT value: "COMn" or "COMn:" is /dev/ttyS<n-1> on this platform,
// anything else is a path already.
std::string DeviceForPort(const std::string& port);

// The same facts for one device path.
SerialCandidate DescribeSerialDevice(const std::string& path);

// One attribute file of a sysfs device directory, without surrounding white space; empty when unreadable.
std::string SysfsAttribute(const std::filesystem::path& directory, const char* name);

}  // namespace vk605::tool
