// vk605 ports: serial devices that could reach the instrument.
#include <string>

#include "commands.h"
#include "output.h"
#include "serial_candidates.h"

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
  return ExitCode::kOk;
}

}  // namespace vk605::tool
