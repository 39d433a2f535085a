#include "command_line.h"

#include "setting_options.h"

namespace vk605::sim {

namespace {

bool IsServerOption(std::string_view name) {
  return name == "record" || name == "link" || name == "control" || name == "control-tcp";
}

bool IsServerSwitch(std::string_view name) {
  return name == "verbose" || name == "help";
}

bool TakesValue(std::string_view name) {
  if (IsServerOption(name)) return true;
  const SettingOption* option = SettingOptions::Find(name);
  return option != nullptr && !option->value_name.empty();
}

}  // namespace

std::optional<CommandLineOptions> CommandLine::Parse(const std::vector<std::string>& args,
                                                     std::string& error) {
  CommandLineOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!arg.starts_with("--")) {
      error = "unexpected argument: " + args[i];
      return std::nullopt;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(2, equals == std::string_view::npos ? arg.npos : equals - 2);
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (TakesValue(name)) {
      if (i + 1 == args.size()) {
        error = "option --" + std::string(name) + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (ApplyServerOption(options, name, value)) continue;
    if (IsServerSwitch(name) && equals != std::string_view::npos) {
      error = "option --" + std::string(name) + " takes no value";
      return std::nullopt;
    }
    if (std::optional<std::string> failure = SettingOptions::Apply(options.settings, name, value)) {
      error = "--" + std::string(name) + ": " + *failure;
      return std::nullopt;
    }
  }
  if (!options.control_path.empty() && !options.control_port_file.empty()) {
    error = "--control and --control-tcp exclude each other";
    return std::nullopt;
  }
  return options;
}

bool CommandLine::ApplyServerOption(CommandLineOptions& options, std::string_view name,
                                    std::string_view value) {
  if (name == "record") {
    options.record_path = value;
  } else if (name == "link") {
    options.link_path = value;
  } else if (name == "control") {
    options.control_path = value;
  } else if (name == "control-tcp") {
    options.control_port_file = value;
  } else if (name == "verbose" && value.empty()) {
    options.verbose = true;
  } else if (name == "help" && value.empty()) {
    options.help = true;
  } else {
    return false;
  }
  return true;
}

std::string CommandLine::Help() {
  return "Usage: vk605-sim [OPTION]...\n"
         "Simulates a VK605 spectrophotometer on a pseudo-terminal. The first line printed is the slave\n"
         "device to open as the serial port; the simulator then serves until SIGTERM or SIGINT.\n"
         "\n"
         "Front end:\n"
         "  --link PATH                also reach the device through a symbolic link at PATH\n"
         "  --record FILE              keep the received commands in FILE, one escaped command per line\n"
         "  --control SOCKET           accept control requests on a Unix socket (see sim/README.md)\n"
         "  --control-tcp FILE         accept control requests on a loopback TCP port written to FILE\n"
         "  --verbose                  trace the traffic on stderr\n"
         "  --help                     this text\n"
         "\n"
         "Instrument (CMD is a command without its CR, e.g. RM, 00SN, AT; \"\" is the bare CR):\n" +
         SettingOptions::Help();
}

}  // namespace vk605::sim
