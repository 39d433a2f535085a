#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim_settings.h"

namespace vk605::sim {

// What vk605-sim was asked to do.
struct CommandLineOptions {
  SimSettings settings;
  std::string record_path;        // --record FILE
  std::string link_path;          // --link PATH
  std::string control_path;       // --control SOCKET
  std::string control_port_file;  // --control-tcp FILE: loopback TCP control, its port written to FILE
  bool verbose = false;           // --verbose
  bool help = false;              // --help
};

class CommandLine {
 public:
  // Parses the arguments after the program name: "--name value" or "--name=value". Empty with an error text
  // when an argument is not understood.
  static std::optional<CommandLineOptions> Parse(const std::vector<std::string>& args, std::string& error);
  static std::string Help();

 private:
  static bool ApplyServerOption(CommandLineOptions& options, std::string_view name, std::string_view value);
};

}  // namespace vk605::sim
