#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vk605::tool {

// Options every command accepts, before or after the command name.
struct GlobalOptions {
  std::string port;                   // --port PATH
  std::string driver;                 // --driver PATH
  std::string simulator;              // --sim PATH
  std::vector<std::string> sim_args;  // --sim-arg ARG (repeatable), handed to vk605-sim
  std::string trace;                  // --trace FILE
  bool simulate = false;              // --simulate
  bool json = false;                  // --json
  bool non_interactive = false;       // --non-interactive
  std::optional<bool> yes;            // --yes / --no
  std::optional<bool> ok;             // --answer ok|cancel (yes|no also accepted)
};

struct Invocation {
  GlobalOptions global;
  std::string command;            // empty: no command given
  std::vector<std::string> args;  // everything after the command that is not a global option
  bool help = false;              // --help / -h anywhere
  bool version = false;           // --version
};

// Throws ToolError (kUsage) for a malformed global option.
Invocation ParseCommandLine(int argc, char** argv);

// Options of one command: flags and valued options, in any order, and positional words.
class CommandArgs {
 public:
  // valued: option names that take a value ("-n", "--format"); flags: options without one.
  CommandArgs(const std::string& command, const std::vector<std::string>& args,
              const std::vector<std::string>& valued, const std::vector<std::string>& flags);
  bool Has(const std::string& name) const;
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> positional_;
};

// A whole decimal number in [low, high], or a usage error naming what.
int ParseCount(const std::string& text, int low, int high, const std::string& what);

}  // namespace vk605::tool
