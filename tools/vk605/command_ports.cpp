// vk605 ports: serial devices and USB bridges that could reach the instrument.
#include <string>

#include "commands.h"
#include "output.h"
#include "serial_candidates.h"
#include "usb_bridges.h"

namespace vk605::tool {

ExitCode RunPorts(const Invocation& invocation) {
  CommandArgs args("ports", invocation.args, {}, {});
  Output out(invocation.global.json);
  std::vector<SerialCandidate> candidates = FindSerialCandidates();
  if (candidates.empty())
    out.Text("No serial devices found (USB adapters appear as /dev/ttyUSB* or /dev/ttyACM*).\n");
  for (const SerialCandidate& c : candidates) {
    out.Object(JsonObject()
                   .Add("kind", "port")
                   .Add("path", c.path)
                   .Add("by_id", c.by_id)
                   .Add("bus", c.bus)
                   .Add("usb_id", c.usb_id)
                   .Add("description", c.description)
                   .Add("usb_serial", c.usb_serial)
                   .Add("driver", c.kernel_driver)
                   .Add("group", c.group)
                   .Add("accessible", c.accessible));
    std::string line = c.path + "  " + (c.bus.empty() ? "unknown bus" : c.bus);
    if (!c.usb_id.empty()) line += " " + c.usb_id;
    if (!c.description.empty()) line += " \"" + c.description + "\"";
    if (!c.usb_serial.empty()) line += " serial " + c.usb_serial;
    if (!c.kernel_driver.empty()) line += ", driver " + c.kernel_driver;
    line += ", group " + c.group + (c.accessible ? ", you may open it" : ", NOT accessible to you");
    if (!c.by_id.empty()) line += "\n    " + c.by_id;
    out.Text(line + "\n");
  }
  // The instrument's own USB bridge is reached with the port name USB, not through a serial device.
  for (const UsbBridge& b : FindUsbBridges()) {
    out.Object(JsonObject()
                   .Add("kind", "usb_bridge")
                   .Add("path", b.node)
                   .Add("port", "USB")
                   .Add("usb_id", b.usb_id)
                   .Add("description", b.description)
                   .Add("usb_serial", b.usb_serial)
                   .Add("accessible", b.accessible));
    std::string line = b.node + "  usb " + b.usb_id;
    if (!b.description.empty()) line += " \"" + b.description + "\"";
    if (!b.usb_serial.empty()) line += " serial " + b.usb_serial;
    line += std::string(", instrument USB bridge (port USB)") +
            (b.accessible ? ", you may open it" : ", NOT accessible to you");
    out.Text(line + "\n");
  }
  return ExitCode::kOk;
}

}  // namespace vk605::tool
