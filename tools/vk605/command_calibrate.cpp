// vk605 calibrate: the driver's calibration sequence with its prompts on the terminal.
#include <array>
#include <string>

#include "commands.h"
#include "output.h"
#include "session.h"
#include "tool_error.h"

namespace vk605::tool {

ExitCode RunCalibrate(const Invocation& invocation) {
  CommandArgs args("calibrate", invocation.args, {}, {});
  Output out(invocation.global.json);
  Session session(invocation.global);
  session.Initialize();
  const DriverApi& api = session.Api();
  int result = api.PerformCalibration();
  // The export reports the connection, not the calibration: the calibration status text tells whether the
  // instrument came out calibrated.
  std::array<char, 8192> status{};
  api.GetCalibrationStatus(status.data());
  status.back() = '\0';
  std::string status_text(status.data());
  if (result != 0) {
    ResultMeaning meaning = DescribeResult(session, result);
    throw ToolError(meaning.exit, meaning.text);
  }
  if (status_text.empty() || status_text[0] != 'C') {
    const std::vector<std::string>& messages = session.Ui().Messages();
    std::string driver_message = messages.empty() ? session.ErrorMessage(2001) : messages.back();
    throw ToolError(ExitCode::kNotCalibrated, "not calibrated: " + driver_message);
  }
  std::string when = NowUtc();
  out.Object(JsonObject()
                 .Add("kind", "calibration")
                 .Add("calibrated", true)
                 .Add("time", when)
                 .Add("status", status_text));
  out.Text("Calibrated (" + when + "); the expiry period starts now.\n");
  return ExitCode::kOk;
}

}  // namespace vk605::tool
