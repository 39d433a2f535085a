#include "usb_bridges.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "serial_candidates.h"

namespace vk605::tool {

namespace fs = std::filesystem;

std::vector<UsbBridge> FindUsbBridges() {
  std::vector<UsbBridge> bridges;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator("/sys/bus/usb/devices", error)) {
    const fs::path& directory = entry.path();
    if (SysfsAttribute(directory, "idVendor") != "0971") continue;
    UsbBridge bridge;
    bridge.sysfs = directory.string();
    bridge.usb_id = "0971:" + SysfsAttribute(directory, "idProduct");
    std::string manufacturer = SysfsAttribute(directory, "manufacturer");
    std::string product = SysfsAttribute(directory, "product");
    bridge.description = manufacturer + (manufacturer.empty() || product.empty() ? "" : " ") + product;
    bridge.usb_serial = SysfsAttribute(directory, "serial");
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d",
                  std::atoi(SysfsAttribute(directory, "busnum").c_str()),
                  std::atoi(SysfsAttribute(directory, "devnum").c_str()));
    bridge.node = node;
    bridge.accessible = ::access(node, R_OK | W_OK) == 0;
    bridges.push_back(bridge);
  }
  std::sort(bridges.begin(), bridges.end(),
            [](const UsbBridge& a, const UsbBridge& b) { return a.sysfs < b.sysfs; });
  return bridges;
}

bool IsUsbPort(const std::string& port) {
  if (port.size() != 3) return false;
  std::string upper = port;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == "USB";
}

}  // namespace vk605::tool
