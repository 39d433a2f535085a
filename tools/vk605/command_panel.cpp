// vk605 panel: the driver's own control panel for the configured instrument or the simulator.
#include <string>

#include "commands.h"
#include "output.h"
#include "session.h"
#include "tool_error.h"

namespace vk605::tool {

ExitCode RunPanel(const Invocation& invocation) {
  CommandArgs args("panel", invocation.args, {}, {});
  Output out(invocation.global.json);
  Session session(invocation.global);
  session.Initialize();
  const DriverApi& api = session.Api();
  // The panel's messages belong beside the panel, not in the terminal: while it is open the driver shows
  // them itself.
  api.SetUserInterfaceHandler(nullptr);
  const int result = api.ControlPanel();
  api.SetUserInterfaceHandler(session.Ui().Handler());
  if (result == -1) {
    throw ToolError(
        ExitCode::kFailure,
        "Unable to load instrument control panel. (It needs a display, DISPLAY or WAYLAND_DISPLAY, "
        "and libvk605-gtk.so beside the driver.)");
  }
  const bool profiling = api.IsCalveraEnabled() != 0;
  out.Object(JsonObject()
                 .Add("kind", "panel")
                 .Add("result", result == 1 ? "ok" : "cancel")
                 .Add("profiling_enabled", profiling));
  out.Text(std::string(result == 1 ? "Control panel closed with OK" : "Control panel cancelled") +
           "; profiling " + (profiling ? "enabled" : "disabled") + ".\n");
  return ExitCode::kOk;
}

}  // namespace vk605::tool
