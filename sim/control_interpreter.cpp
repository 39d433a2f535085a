#include "control_interpreter.h"

#include "command_text.h"

namespace vk605::sim {

namespace {

constexpr std::string_view kOk = "OK\n";

}  // namespace

std::string ControlInterpreter::Handle(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::size_t blank = line.find(' ');
  const std::string_view name = line.substr(0, blank);
  const std::string_view value =
      blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  if (name == "ping" && value.empty()) return std::string(kOk);
  if (name == "state" && value.empty()) return State();
  if (name == "commands" && value.empty()) return CommandList();
  if (name == "clear" && value.empty()) {
    model_.ClearCommands();
    return std::string(kOk);
  }
  if (name == "reset" && value.empty()) {
    model_.Reset(startup_);
    return std::string(kOk);
  }
  if ((name == "unplug" || name == "replug") && value.empty()) {
    if (!plug_) return "ERROR no line to unplug\n";
    if (std::optional<std::string> error = plug_(name == "replug")) return "ERROR " + *error + "\n";
    return std::string(kOk);
  }
  if (std::optional<std::string> error = model_.ApplyOption(name, value)) return "ERROR " + *error + "\n";
  return std::string(kOk);
}

std::string ControlInterpreter::State() const {
  return "OK calibrated=" + std::to_string(model_.IsCalibrated() ? 1 : 0) +
         " prompts=" + std::to_string(model_.CalibrationPrompts()) +
         " armed=" + std::to_string(model_.IsTriggerArmed() ? 1 : 0) +
         " commands=" + std::to_string(model_.Commands().size()) + "\n";
}

std::string ControlInterpreter::CommandList() const {
  std::string out = "OK " + std::to_string(model_.Commands().size()) + "\n";
  for (const std::string& command : model_.Commands()) out += EscapeText(command) + "\n";
  return out;
}

}  // namespace vk605::sim
