// vk605: the command-line host of the VK605 driver.
#include <cstdio>
#include <exception>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "help_text.h"
#include "output.h"
#include "terminal_ui.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

ExitCode Dispatch(const Invocation& invocation) {
  const std::string& c = invocation.command;
  if (c == "status") return RunStatus(invocation);
  if (c == "panel") return RunPanel(invocation);
  if (c == "calibrate") return RunCalibrate(invocation);
  if (c == "measure") return RunMeasure(invocation);
  if (c == "config") return RunConfig(invocation);
  if (c == "ports") return RunPorts(invocation);
  if (c == "doctor") return RunDoctor(invocation);
  if (c == "log") return RunLog(invocation);
  throw ToolError(ExitCode::kUsage, "unknown command '" + c + "' (vk605 --help lists the commands)");
}

int Interrupted(bool json) {
  const char* message = "cancelled with Ctrl-C; the instrument was reset and the driver unloaded";
  std::fprintf(stderr, "vk605: %s\n", message);
  Output(json).Object(
      JsonObject().Add("kind", "error").Add("exit", ToInt(ExitCode::kInterrupted)).Add("message", message));
  return ToInt(ExitCode::kInterrupted);
}

int Run(int argc, char** argv) {
  bool json = false;
  try {
    Invocation invocation = ParseCommandLine(argc, argv);
    json = invocation.global.json;
    if (invocation.version) {
      std::printf("vk605 %s\n", ToolVersion());
      return 0;
    }
    if (invocation.help || invocation.command.empty()) {
      std::string help = HelpText(invocation.command);
      if (help.empty()) throw ToolError(ExitCode::kUsage, "unknown command '" + invocation.command + "'");
      std::fputs(help.c_str(), invocation.help ? stdout : stderr);
      return invocation.help ? 0 : ToInt(ExitCode::kUsage);
    }
    ExitCode code = Dispatch(invocation);
    if (TerminalUi::Interrupted()) return Interrupted(json);
    return ToInt(code);
  } catch (const ToolError& error) {
    // The command's session is gone by now: the instrument was reset and the driver unloaded.
    if (TerminalUi::Interrupted()) return Interrupted(json);
    std::fprintf(stderr, "vk605: %s\n", error.what());
    Output(json).Object(
        JsonObject().Add("kind", "error").Add("exit", ToInt(error.Code())).Add("message", error.what()));
    return ToInt(error.Code());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vk605: %s\n", error.what());
    return ToInt(ExitCode::kFailure);
  }
}

}  // namespace

}  // namespace vk605::tool

int main(int argc, char** argv) {
  return vk605::tool::Run(argc, argv);
}
